// Output 0 and map clicks through the engine, with the API library stand-in in place of the
// mapping program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "links/ozi_api_link.h"
#include "links/ozi_double/ozi_double.h"
#include "sim/engine.h"
#include "sim/geodesy.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using tolvex::testing::FakeCalendar;
using tolvex::testing::FakePortFactory;
using tolvex::testing::FakeReplay;
using tolvex::testing::OziDouble;
using tolvex::testing::RecordingHost;

const std::vector<std::string> FreshStart = {"oziGetExePath", "oziMapSingleClickON", "oziMapDblClickON",
                                             "oziStartMMapi", "oziStartMMapi"};

Settings LinkSettings(const char* library)
{
    Settings settings;
    settings.OziApiLibrary = library;
    return settings;
}

class OziEngineTest : public ::testing::Test {
protected:
    explicit OziEngineTest(const char* library = OZI_DOUBLE)
        : link(MakeOziApiLink(LinkSettings(library))), engine(host, calendar, ports, link.get())
    {
        engine.Options.OziApiLibrary = library;
        for (auto& output : engine.Options.Outputs) output.Active = false;
        engine.Options.Outputs[0].Active = true;
    }

    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) engine.TimerTick();
    }
    std::vector<std::string> Sent() const
    {
        std::vector<std::string> sent;
        for (const auto& call : dbl.Calls())
            if (call.rfind("oziSendMMstring ", 0) == 0) sent.push_back(call.substr(16));
        return sent;
    }
    // Runs with the link up and the start's calls forgotten.
    void RunUp()
    {
        engine.RunCommand();
        ASSERT_TRUE(engine.Outputs[0].LinkUp);
        dbl.Reset();
    }

    OziDouble dbl;
    RecordingHost host;
    FakeCalendar calendar;
    FakePortFactory ports;
    std::unique_ptr<OziLink> link;
    Engine engine;
};

TEST_F(OziEngineTest, FreshRunStartsTheMovingMapTwiceAndEachRunAgain)
{
    engine.RunCommand();
    EXPECT_EQ(dbl.Calls(), FreshStart);
    EXPECT_TRUE(engine.Outputs[0].LinkUp);
    EXPECT_FALSE(engine.Outputs[0].StartFailed);
    EXPECT_THAT(host.Messages, IsEmpty());

    // Still up although no longer active: a Run only restarts the moving map.
    dbl.Reset();
    engine.Options.Outputs[0].Active = false;
    engine.RunCommand();
    EXPECT_THAT(dbl.Calls(), ElementsAre("oziStartMMapi"));

    // Leaving a pause opens nothing.
    dbl.Reset();
    engine.PauseCommand();
    engine.PauseCommand();
    EXPECT_EQ(engine.State, RunState::Running);
    EXPECT_THAT(dbl.Calls(), IsEmpty());
}

TEST_F(OziEngineTest, InactiveOutputZeroLeavesTheLibraryAlone)
{
    engine.Options.Outputs[0].Active = false;
    engine.RunCommand();
    Ticks(100);
    EXPECT_THAT(dbl.Calls(), IsEmpty());
    EXPECT_FALSE(engine.Outputs[0].StartFailed);
}

TEST_F(OziEngineTest, SendsOnlyTheCheckedSentencesInOrderWithoutLineEnds)
{
    auto& ozi = engine.Options.Outputs[0];
    ozi.Send = {true, true, false, false, false, false};
    ozi.Interval = 100;
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[1].Interval = 100;
    engine.Options.Outputs[1].Send = ozi.Send;
    engine.RunCommand();

    Ticks(4);
    EXPECT_EQ(dbl.Calls(), FreshStart);
    engine.TimerTick();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].rfind("$GPRMC,", 0), 0u) << sent[0];
    EXPECT_EQ(sent[1].rfind("$GPGGA,", 0), 0u) << sent[1];
    // The serial output receives the same texts of the same tick with CR LF.
    EXPECT_THAT(ports.Log.Writes, ElementsAre("COM3:" + sent[0] + "\r\n", "COM3:" + sent[1] + "\r\n"));
    for (const auto& text : sent) EXPECT_EQ(text[text.size() - 3], '*') << text;

    Ticks(5);
    EXPECT_EQ(Sent().size(), 4u);
}

TEST_F(OziEngineTest, OutputZeroKeepsItsOwnInterval)
{
    engine.Options.Outputs[0].Interval = 500;  // every 25th tick, the default four sentences
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[1].Interval = 100;
    RunUp();
    Ticks(24);
    EXPECT_THAT(Sent(), IsEmpty());
    EXPECT_FALSE(ports.Log.Writes.empty());
    engine.TimerTick();
    EXPECT_EQ(Sent().size(), 4u);
    Ticks(75);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 16u);
    const char* order[] = {"$GPRMC,", "$GPGGA,", "$GPGSA,", "$GPGSV,"};
    for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i].rfind(order[i % 4], 0), 0u) << sent[i];
}

TEST_F(OziEngineTest, NoNmeaKeepsTheLinkForClicksOnly)
{
    engine.Options.Outputs[0].NoNMEA = true;
    engine.Options.Outputs[0].Interval = 100;
    engine.RunCommand();
    EXPECT_EQ(dbl.Calls(), FreshStart);
    dbl.Reset();
    Ticks(50);
    EXPECT_THAT(dbl.Calls(), IsEmpty());

    ASSERT_TRUE(dbl.FireClick(true, 12.5, 34.5));
    engine.TimerTick();
    EXPECT_NEAR(engine.Fix.Latitude, 12.5, 1e-9);
    EXPECT_THAT(Sent(), IsEmpty());

    // Clearing NoNMEA takes effect on the next sending tick.
    engine.Options.Outputs[0].NoNMEA = false;
    Ticks(5);
    EXPECT_EQ(Sent().size(), 4u);
}

TEST_F(OziEngineTest, ReplaySendsOnEveryStepWhateverTheInterval)
{
    FakeReplay replay;
    replay.CurrentMode = TrackMode::M;
    replay.Interval = 200;
    engine.SetReplay(&replay);
    engine.Options.Outputs[0].Interval = 60000;
    RunUp();
    Ticks(20);
    EXPECT_EQ(replay.Steps, 2);
    EXPECT_EQ(Sent().size(), 8u);
}

TEST_F(OziEngineTest, DoubleClickInFreeDrivingMovesOnlyThePosition)
{
    engine.Fix = {10, 20, 123.5, 45, 10};
    RunUp();
    ASSERT_TRUE(dbl.FireClick(true, -33.875, 151.125));
    EXPECT_EQ(engine.Fix.Latitude, 10);  // nothing happens before the tick

    SimFix expected{-33.875, 151.125, 123.5, 45, 10};
    DriveStep(expected);  // the same tick drives on from the clicked place
    host.Refreshes.clear();
    engine.TimerTick();
    EXPECT_DOUBLE_EQ(engine.Fix.Latitude, expected.Latitude);
    EXPECT_DOUBLE_EQ(engine.Fix.Longitude, expected.Longitude);
    EXPECT_EQ(engine.Fix.Altitude, 123.5);
    EXPECT_EQ(engine.Fix.Course, 45);
    EXPECT_EQ(engine.Fix.Speed, 10);
    EXPECT_FALSE(host.Refreshes.empty());
}

TEST_F(OziEngineTest, SingleClickInFreeDrivingTurnsTowardsThePoint)
{
    engine.Fix = {10, 20, 0, 45, 0};
    engine.RunCommand();
    ASSERT_TRUE(dbl.FireClick(false, 9, 21));
    engine.TimerTick();
    EXPECT_DOUBLE_EQ(engine.Fix.Course, GeoBearing(10, 20, 9, 21));
    EXPECT_GT(engine.Fix.Course, 90);
    EXPECT_LT(engine.Fix.Course, 180);
    EXPECT_EQ(engine.Fix.Latitude, 10);
    EXPECT_EQ(engine.Fix.Longitude, 20);

    // A click on the vehicle itself gives no direction: the course stays.
    const double course = engine.Fix.Course;
    ASSERT_TRUE(dbl.FireClick(false, 10, 20));
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Course, course);
}

TEST_F(OziEngineTest, ClicksAlsoReachAStoppedSimulator)
{
    engine.RunCommand();
    engine.Fix.Speed = 0;
    ASSERT_TRUE(engine.Outputs.Stop(false));
    engine.State = RunState::Stopped;
    // The link is down now: nothing arrives any more.
    EXPECT_FALSE(dbl.FireClick(true, 1, 2));

    engine.RunCommand();
    ASSERT_TRUE(dbl.FireClick(true, 1, 2));
    engine.State = RunState::Stopped;
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Latitude, 1);
    EXPECT_EQ(engine.Fix.Longitude, 2);
}

TEST_F(OziEngineTest, ReplayDoubleClickSnapsToTheTrackAndSingleClickDoesNothing)
{
    FakeReplay replay;
    replay.CurrentMode = TrackMode::S;
    engine.SetReplay(&replay);
    engine.Fix = {10, 20, 5, 45, 3};
    RunUp();

    ASSERT_TRUE(dbl.FireClick(false, 11, 21));
    engine.TimerTick();
    EXPECT_THAT(replay.Snaps, IsEmpty());
    EXPECT_EQ(engine.Fix.Course, 45);

    ASSERT_TRUE(dbl.FireClick(true, 11.5, 21.5));
    engine.TimerTick();
    ASSERT_EQ(replay.Snaps.size(), 1u);
    EXPECT_EQ(replay.Snaps[0], std::make_pair(11.5, 21.5));
    // The replay places the fix; the click itself never does.
    EXPECT_EQ(engine.Fix.Latitude, 10);
    EXPECT_EQ(engine.Fix.Longitude, 20);
}

TEST_F(OziEngineTest, ClickFromAnotherThreadWaitsForTheNextTick)
{
    engine.Fix = {0, 0, 0, 0, 0};
    RunUp();
    ASSERT_TRUE(dbl.FireClickFromThread(true, 48.25, 11.75));
    ASSERT_TRUE(dbl.FireClickFromThread(false, 49.25, 11.75));
    EXPECT_EQ(engine.Fix.Latitude, 0);
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Latitude, 48.25);
    EXPECT_EQ(engine.Fix.Longitude, 11.75);
    EXPECT_NEAR(engine.Fix.Course, 0, 1e-9);  // then turned due north
}

TEST_F(OziEngineTest, StopUnregistersBothClicksAndAStartFollowsAfresh)
{
    engine.Options.Outputs[1].Active = true;
    RunUp();
    host.StopAnswer = std::array<bool, 4>{true, false, false, false};
    engine.StopCommand();
    ASSERT_EQ(host.StopChoices.size(), 1u);
    EXPECT_EQ(host.StopChoices[0][0].Label, "输出0：OziExplorer");
    EXPECT_THAT(dbl.Calls(), ElementsAre("oziMapSingleClickOFF", "oziMapDblClickOFF"));
    EXPECT_FALSE(engine.Outputs[0].LinkUp);
    EXPECT_FALSE(link->IsUp());
    EXPECT_EQ(engine.State, RunState::Running);  // output 1 still runs

    dbl.Reset();
    Ticks(50);
    EXPECT_THAT(dbl.Calls(), IsEmpty());
    engine.RunCommand();
    EXPECT_EQ(dbl.Calls(), FreshStart);
}

std::vector<std::string> CloseCalls;
void RecordCloseCall(const char* call) { CloseCalls.emplace_back(call); }

TEST_F(OziEngineTest, CloseUnregistersBeforeUnloading)
{
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    CloseCalls.clear();
    dbl.SetSink(&RecordCloseCall);
    dbl.Release();
    engine.Close();
    EXPECT_THAT(CloseCalls, ElementsAre("oziMapSingleClickOFF", "oziMapDblClickOFF", "unload"));
    EXPECT_FALSE(engine.Outputs.AnyOpen());
    EXPECT_THAT(host.StopChoices, IsEmpty());  // closing never asks
}

struct StartFailure {
    const char* name;
    const char* library;
    bool running;
    const char* message;
};

class OziEngineStartFailure : public OziEngineTest, public ::testing::WithParamInterface<StartFailure> {
protected:
    OziEngineStartFailure() : OziEngineTest(GetParam().library) { dbl.SetRunning(GetParam().running); }
};

TEST_P(OziEngineStartFailure, MarksOutputZeroAndStartsTheSerialOutputs)
{
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, GetParam().message);
    EXPECT_EQ(host.Messages[0].Caption, "错误");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Error);
    EXPECT_TRUE(engine.Outputs[0].StartFailed);
    EXPECT_FALSE(engine.Outputs[0].LinkUp);
    ASSERT_NE(engine.Outputs[1].OpenPort, nullptr);
    EXPECT_EQ(engine.State, RunState::Running);

    Ticks(50);
    EXPECT_THAT(Sent(), IsEmpty());
    EXPECT_FALSE(ports.Log.Writes.empty());

    // Each Run tries again and tells again.
    engine.RunCommand();
    EXPECT_EQ(host.Messages.size(), 2u);
    EXPECT_TRUE(engine.Outputs[0].StartFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, OziEngineStartFailure,
    ::testing::Values(StartFailure{"LibraryAbsent", "tolvex-no-such-oziapi.so", true, "未找到 tolvex-no-such-oziapi.so "},
                      StartFailure{"OldLibrary", OZI_DOUBLE_OLD, true, OZI_DOUBLE_OLD " 版本太低 "},
                      StartFailure{"ProgramNotRunning", OZI_DOUBLE, false, "OziExplorer 尚未运行 "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tolvex
