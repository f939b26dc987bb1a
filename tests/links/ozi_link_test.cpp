#include "links/ozi_api_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "links/ozi_double/ozi_double.h"
#include "sim/host.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using tolvex::testing::OziDouble;
using tolvex::testing::RecordingHost;

std::vector<std::string> Unloads;
void RecordForUnload(const char* call) { Unloads.emplace_back(call); }

struct FailureCase {
    const char* name;
    const char* library;  // null: the stand-in, told that the program is not running
    OziStartResult result;
    const char* message;
};

class OziStartFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(OziStartFailure, ReportsOnceAndStaysDown)
{
    const FailureCase& c = GetParam();
    OziDouble dbl(c.library ? OZI_DOUBLE_OLD : OZI_DOUBLE);
    dbl.SetRunning(false);
    OziApiLink link(c.library ? c.library : OZI_DOUBLE);
    RecordingHost host;

    EXPECT_FALSE(link.Start(host));
    EXPECT_FALSE(link.IsUp());
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, c.message);
    EXPECT_EQ(host.Messages[0].Caption, "错误");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Error);
    EXPECT_EQ(link.StartOziLink(), c.result);

    // A down link makes no calls, whatever it is asked.
    const auto callsBefore = dbl.Calls();
    link.StartMMapi();
    link.Send("$GPRMC*00");
    link.Stop();
    EXPECT_EQ(dbl.Calls(), callsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Link, OziStartFailure,
    ::testing::Values(
        FailureCase{"LibraryAbsent", "tolvex-no-such-oziapi.so", OziStartResult::LibraryMissing, "未找到 tolvex-no-such-oziapi.so "},
        FailureCase{"LibraryPathAbsent", "/nonexistent/oziapi.so", OziStartResult::LibraryMissing, "未找到 /nonexistent/oziapi.so "},
        FailureCase{"EntryPointMissing", OZI_DOUBLE_OLD, OziStartResult::EntryPointMissing, OZI_DOUBLE_OLD " 版本太低 "},
        FailureCase{"ProgramNotRunning", nullptr, OziStartResult::NotRunning, "OziExplorer 尚未运行 "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OziLink, OldLibraryIsRejectedBeforeAnyCall)
{
    OziDouble old(OZI_DOUBLE_OLD);
    OziApiLink link(OZI_DOUBLE_OLD);
    EXPECT_EQ(link.StartOziLink(), OziStartResult::EntryPointMissing);
    EXPECT_THAT(old.Calls(), IsEmpty());
}

TEST(OziLink, NotRunningAsksOnlyForThePath)
{
    OziDouble dbl;
    ::setenv("OZI_DOUBLE_NOT_RUNNING", "1", 1);
    OziApiLink link(OZI_DOUBLE);
    const OziStartResult result = link.StartOziLink();
    ::unsetenv("OZI_DOUBLE_NOT_RUNNING");
    EXPECT_EQ(result, OziStartResult::NotRunning);
    EXPECT_THAT(dbl.Calls(), ElementsAre("oziGetExePath"));

    // Once the program runs, the next attempt succeeds.
    RecordingHost host;
    EXPECT_TRUE(link.Start(host));
    EXPECT_THAT(host.Messages, IsEmpty());
}

TEST(OziLink, FreshStartRegistersBothClicksThenStartsTheMovingMap)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    EXPECT_TRUE(link.IsUp());
    EXPECT_THAT(host.Messages, IsEmpty());
    EXPECT_THAT(dbl.Calls(), ElementsAre("oziGetExePath", "oziMapSingleClickON", "oziMapDblClickON", "oziStartMMapi"));

    // Starting again while up reloads nothing; StartMMapi is the caller's to repeat.
    EXPECT_TRUE(link.Start(host));
    link.StartMMapi();
    EXPECT_EQ(dbl.Calls().size(), 5u);
    EXPECT_EQ(dbl.Calls().back(), "oziStartMMapi");
}

TEST(OziLink, FindsTheLibraryBesideTheExecutable)
{
    const std::filesystem::path full(OZI_DOUBLE);
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    ASSERT_FALSE(error);
    ASSERT_EQ(exe.parent_path(), full.parent_path()) << "the stand-in is built beside the test program";

    OziDouble dbl;
    OziApiLink link(full.filename().string());
    RecordingHost host;
    EXPECT_TRUE(link.Start(host));
    EXPECT_THAT(host.Messages, IsEmpty());
    EXPECT_EQ(dbl.Calls().size(), 4u);  // the same library the test holds, not a copy
}

TEST(OziLink, SendsEachSentenceVerbatim)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    dbl.Reset();
    char text[] = "$GPRMC,120000.00,A,0000.0000,N,00000.0000,E,0.00,0.0,010124,,A*6B";
    link.Send(text);
    link.Send("$GPGGA,1*00");
    link.Send(nullptr);
    EXPECT_THAT(dbl.Calls(), ElementsAre(std::string("oziSendMMstring ") + text, "oziSendMMstring $GPGGA,1*00"));
}

TEST(OziLink, StopSwitchesBothClicksOffOnce)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    dbl.Reset();
    link.Stop();
    EXPECT_FALSE(link.IsUp());
    link.Stop();
    EXPECT_THAT(dbl.Calls(), ElementsAre("oziMapSingleClickOFF", "oziMapDblClickOFF"));
    EXPECT_FALSE(dbl.FireClick(true, 1, 2));
}

TEST(OziLink, ClicksAreSwitchedOffBeforeTheLibraryUnloads)
{
    for (const bool byDestructor : {false, true}) {
        Unloads.clear();
        {
            OziDouble dbl;
            auto link = std::make_unique<OziApiLink>(OZI_DOUBLE);
            RecordingHost host;
            ASSERT_TRUE(link->Start(host));
            dbl.SetSink(&RecordForUnload);
            dbl.Release();  // the link now holds the only reference
            if (byDestructor)
                link.reset();
            else
                link->Stop();
        }
        EXPECT_THAT(Unloads, ElementsAre("oziMapSingleClickOFF", "oziMapDblClickOFF", "unload"))
            << (byDestructor ? "destroyed while up" : "stopped");
    }
}

TEST(OziLink, ClicksAreQueuedInOrderAndTakenOnce)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    OziClick click;
    EXPECT_FALSE(link.TakeClick(click));
    ASSERT_TRUE(link.Start(host));

    ASSERT_TRUE(dbl.FireClick(false, 45.5, -73.25));
    ASSERT_TRUE(dbl.FireClickFromThread(true, -33.875, 151.125));
    ASSERT_TRUE(link.TakeClick(click));
    EXPECT_FALSE(click.Double);
    EXPECT_EQ(click.Latitude, 45.5);
    EXPECT_EQ(click.Longitude, -73.25);
    ASSERT_TRUE(link.TakeClick(click));
    EXPECT_TRUE(click.Double);
    EXPECT_EQ(click.Latitude, -33.875);
    EXPECT_EQ(click.Longitude, 151.125);
    EXPECT_FALSE(link.TakeClick(click));
}

TEST(OziLink, ClicksOffTheMapAreDropped)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double bad[][2] = {{nan, 0}, {0, nan}, {inf, 0}, {0, -inf}, {90.0001, 0}, {-91, 0}, {0, 180.5}, {0, -181}};
    for (const auto& p : bad) dbl.FireClick(true, p[0], p[1]);
    dbl.FireClick(true, -90, 180);  // the edges are on the map
    OziClick click;
    ASSERT_TRUE(link.TakeClick(click));
    EXPECT_EQ(click.Latitude, -90);
    EXPECT_EQ(click.Longitude, 180);
    EXPECT_FALSE(link.TakeClick(click));
}

TEST(OziLink, AFloodOfClicksKeepsTheNewest)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    const int fired = static_cast<int>(OziApiLink::MaxQueuedClicks) + 10;
    for (int i = 0; i < fired; ++i) dbl.FireClick(false, 0, i);
    OziClick click;
    std::vector<double> taken;
    while (link.TakeClick(click)) taken.push_back(click.Longitude);
    ASSERT_EQ(taken.size(), OziApiLink::MaxQueuedClicks);
    EXPECT_EQ(taken.front(), 10);
    EXPECT_EQ(taken.back(), fired - 1);
}

TEST(OziLink, ClicksFromAnotherThreadMeetTheTickSafely)
{
    OziDouble dbl;
    OziApiLink link(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(link.Start(host));
    constexpr int Fired = 500;
    std::atomic<bool> done = false;
    std::thread library([&] {
        for (int i = 0; i < Fired; ++i) dbl.FireClick(i % 2 == 0, 0, i / 10.0);
        done = true;
    });
    std::vector<double> taken;
    OziClick click;
    while (!done)
        if (link.TakeClick(click)) taken.push_back(click.Longitude);
    library.join();
    while (link.TakeClick(click)) taken.push_back(click.Longitude);

    ASSERT_FALSE(taken.empty());
    EXPECT_TRUE(std::is_sorted(taken.begin(), taken.end()));
    EXPECT_EQ(taken.back(), (Fired - 1) / 10.0);  // the newest click is never the one given up
    EXPECT_GE(taken.size(), OziApiLink::MaxQueuedClicks);
}

TEST(OziLink, OnlyTheLinkThatIsUpReceivesClicks)
{
    OziDouble dbl;
    OziApiLink first(OZI_DOUBLE);
    OziApiLink second(OZI_DOUBLE);
    RecordingHost host;
    ASSERT_TRUE(first.Start(host));
    first.Stop();
    ASSERT_TRUE(second.Start(host));
    dbl.FireClick(true, 1, 2);
    OziClick click;
    EXPECT_FALSE(first.TakeClick(click));
    EXPECT_TRUE(second.TakeClick(click));
}

}  // namespace
}  // namespace tolvex
