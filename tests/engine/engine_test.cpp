#include "sim/engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "nmea/log_player.h"
#include "sim/geodesy.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::FakeCalendar;
using testing::FakePortFactory;
using testing::FakeReplay;
using testing::RecordingHost;

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : engine(host, calendar, ports)
    {
        engine.Fix.Speed = 30 / 3.6;
        for (auto& output : engine.Options.Outputs) output.Active = false;
    }

    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) engine.TimerTick();
    }
    int WritesStartingWith(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& w : ports.Log.Writes) n += w.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    RecordingHost host;
    FakeCalendar calendar;
    FakePortFactory ports;
    Engine engine;
};

TEST_F(EngineTest, PoleCrossingTurnsTheFixAroundInsteadOfAdvancing)
{
    engine.Fix = {89.9995, 20, 0, 10, 10};
    engine.State = RunState::Running;
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Latitude, 89.9995);
    EXPECT_DOUBLE_EQ(engine.Fix.Longitude, 180.0);  // 20 + 180 - 20 = 180, within the wrap
    EXPECT_DOUBLE_EQ(engine.Fix.Course, 170);
    engine.TimerTick();
    EXPECT_LT(engine.Fix.Latitude, 89.9995);  // now heading south

    SimFix south{-89.9995, 100, 0, 200, 10};
    DriveStep(south);
    EXPECT_DOUBLE_EQ(south.Longitude, -120);  // 100 + 180 - 2 × 200
    EXPECT_DOUBLE_EQ(south.Course, 340);      // 180 - 200, wrapped
}

TEST_F(EngineTest, ExactlyEastAtThePoleLimitMovesAlongTheParallel)
{
    SimFix fix{89.9995, 0, 0, 90, 10};
    DriveStep(fix);
    EXPECT_NEAR(fix.Latitude, 89.9995, 1e-12);
    EXPECT_GT(fix.Longitude, 0);
    EXPECT_EQ(fix.Course, 90);
}

TEST_F(EngineTest, OneSecondNorthAtTenMetresPerSecond)
{
    engine.Fix = {0, 0, 0, 0, 10};
    engine.State = RunState::Running;
    Ticks(50);
    EXPECT_NEAR(engine.Fix.Latitude, 50 * 10 * 1.802674594858523e-7, 1e-15);
    EXPECT_NEAR(engine.Fix.Latitude, 9.0134e-5, 1e-8);
    EXPECT_EQ(engine.Fix.Longitude, 0);
}

TEST_F(EngineTest, LongitudeWrapsAcrossTheAntimeridian)
{
    SimFix fix{0, 179.99999, 0, 90, 27777.5};
    DriveStep(fix);
    EXPECT_LT(fix.Longitude, -179.9);
    SimFix west{0, -179.99999, 0, 270, 27777.5};
    DriveStep(west);
    EXPECT_GT(west.Longitude, 179.9);
}

TEST_F(EngineTest, HeldTurnKeyWaitsTenTicksThenTurnsInTwoSpeedsAndWraps)
{
    engine.Options.KeySensitivity2 = 2;
    engine.Options.KeySensitivity3 = 5;
    engine.Fix.Course = 0;
    engine.HeldKeys = HeldTurnRight;
    Ticks(10);
    EXPECT_EQ(engine.Fix.Course, 0);
    Ticks(40);
    EXPECT_EQ(engine.Fix.Course, 80);
    Ticks(1);
    EXPECT_EQ(engine.Fix.Course, 85);

    engine.Fix.Course = 358;
    engine.RightTurnTicks = 11;
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Course, 0);  // not 360

    engine.HeldKeys = HeldTurnLeft | HeldTurnRight;  // left first, then right
    engine.LeftTurnTicks = 60;
    engine.RightTurnTicks = 20;
    engine.Fix.Course = 1;
    engine.TimerTick();
    EXPECT_EQ(engine.Fix.Course, 1 - 5 + 360 + 2);
}

TEST_F(EngineTest, TurningWhileStoppedRedrawsButSendsNothing)
{
    engine.Options.Outputs[1].Active = true;
    engine.HeldKeys = HeldTurnLeft;
    engine.LeftTurnTicks = 100;
    engine.Fix.Course = 10;
    Ticks(100);
    EXPECT_EQ(engine.Fix.Course, 10 - 100 * 5 + 2 * 360);
    EXPECT_EQ(host.Refreshes.size(), 100u);
    EXPECT_TRUE(ports.Log.Writes.empty());
    EXPECT_EQ(engine.Fix.Latitude, 0);  // stopped: no drive
}

TEST_F(EngineTest, DefaultIntervalsBuildTwiceASecond)
{
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    host.Refreshes.clear();
    Ticks(24);
    EXPECT_TRUE(host.Refreshes.empty());
    engine.TimerTick();  // output 0's 500 ms
    EXPECT_THAT(host.Refreshes, ElementsAre(1));
    EXPECT_TRUE(ports.Log.Writes.empty());  // output 1 is not due yet
    Ticks(25);           // output 1's 1000 ms: RMC, GGA, GSA, GSV
    EXPECT_EQ(host.Refreshes.size(), 2u);
    ASSERT_EQ(ports.Log.Writes.size(), 4u);
    EXPECT_THAT(ports.Log.Writes[0], HasSubstr("COM3:$GPRMC,"));
    EXPECT_THAT(ports.Log.Writes[1], HasSubstr("COM3:$GPGGA,"));
    EXPECT_THAT(ports.Log.Writes[2], HasSubstr("COM3:$GPGSA,"));
    EXPECT_THAT(ports.Log.Writes[3], HasSubstr("COM3:$GPGSV,"));
    EXPECT_EQ(ports.Log.Writes[0].substr(ports.Log.Writes[0].size() - 2), "\r\n");
}

TEST_F(EngineTest, OutputsWithTheirOwnIntervalsShareOneBuildAndGoSentenceBySentence)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.Options.Outputs[2].Interval = 500;
    engine.Options.Outputs[2].Send = {true, false, false, false, false, true};
    engine.RunCommand();
    Ticks(25);
    EXPECT_THAT(ports.Log.Writes, ElementsAre(HasSubstr("COM15:$GPRMC"), HasSubstr("COM15:$GPVTG")));
    ports.Log.Writes.clear();
    Ticks(25);
    EXPECT_THAT(ports.Log.Writes,
                ElementsAre(HasSubstr("COM3:$GPRMC"), HasSubstr("COM15:$GPRMC"), HasSubstr("COM3:$GPGGA"),
                            HasSubstr("COM3:$GPGSA"), HasSubstr("COM3:$GPGSV"), HasSubstr("COM15:$GPVTG")));
}

TEST_F(EngineTest, ReplayModesSendAllOutputsTogetherEveryStep)
{
    FakeReplay replay;
    replay.Interval = 1000;
    engine.SetReplay(&replay);
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[1].Interval = 200;
    engine.Options.Outputs[2].Active = true;
    engine.Options.Outputs[2].Interval = 5000;
    engine.RunCommand();
    Ticks(49);
    EXPECT_TRUE(ports.Log.Writes.empty());
    EXPECT_EQ(replay.Steps, 0);
    engine.TimerTick();
    EXPECT_EQ(replay.Steps, 1);
    EXPECT_EQ(WritesStartingWith("COM3:"), 4);
    EXPECT_EQ(WritesStartingWith("COM15:"), 4);
    EXPECT_EQ(engine.Fix.Latitude, 0);  // replay modes never free-drive

    replay.Busy = true;  // a busy track holds the replay but outputs go on
    Ticks(50);
    EXPECT_EQ(replay.Steps, 1);
    EXPECT_EQ(WritesStartingWith("COM3:"), 8);
}

TEST_F(EngineTest, FinishedReplayPausesAfterTheLastSentencesWereSent)
{
    FakeReplay replay;
    replay.Interval = 100;
    replay.FinishOnStep = 2;
    engine.SetReplay(&replay);
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    Ticks(5);
    EXPECT_EQ(engine.State, RunState::Running);
    Ticks(5);
    EXPECT_EQ(engine.State, RunState::Paused);
    EXPECT_EQ(WritesStartingWith("COM3:$GPRMC"), 2);
    EXPECT_EQ(engine.Fix.Speed, 0);
    EXPECT_DOUBLE_EQ(engine.SavedSpeed, 30 / 3.6);
}

// Played logs go to every output unchanged, once a program reads a virtual port, and hold while paused.
TEST_F(EngineTest, PlayedLogWaitsForAReaderAndHoldsWhilePaused)
{
    auto player = LogPlayer::FromText("$GPGGA,120000,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*14\n$XYZ\n"
                                      "$GPGGA,120001,4807.048,N,01131.000,E,1,04,1.0,1.0,M,,,,*12\n",
                                      1, false);
    ASSERT_TRUE(player);
    engine.SetPlayer(&*player);
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.RunCommand();
    Ticks(10);
    EXPECT_TRUE(ports.Log.Writes.empty());  // two virtual ports, nobody reading
    ports.Opened[1]->PeerOpen = true;
    engine.TimerTick();
    EXPECT_THAT(ports.Log.Writes,
                ElementsAre("COM3:$GPGGA,120000,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*14\n",
                            "COM15:$GPGGA,120000,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*14\n", "COM3:$XYZ\n",
                            "COM15:$XYZ\n"));
    engine.PauseCommand();
    Ticks(100);
    EXPECT_EQ(ports.Log.Writes.size(), 4u);
    engine.PauseCommand();
    Ticks(50);
    EXPECT_EQ(ports.Log.Writes.size(), 6u);
    EXPECT_EQ(player->LineNumber(), 3);
    EXPECT_TRUE(player->Finished());
    EXPECT_EQ(engine.Fix.Latitude, 0);  // the simulated fix stands still meanwhile
}

TEST_F(EngineTest, PauseReportsSpeedZeroAndResumes)
{
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    engine.PauseCommand();
    EXPECT_EQ(engine.State, RunState::Paused);
    Ticks(50);
    ASSERT_FALSE(ports.Log.Writes.empty());
    EXPECT_THAT(ports.Log.Writes[0], HasSubstr(",0.00,0.0,"));
    EXPECT_EQ(engine.Fix.Latitude, 0);
    Ticks(30);
    const int sentBefore = WritesStartingWith("COM3:$GPRMC");
    engine.PauseCommand();
    EXPECT_EQ(engine.State, RunState::Running);
    EXPECT_DOUBLE_EQ(engine.Fix.Speed, 30 / 3.6);
    EXPECT_EQ(ports.Log.Events, (std::vector<std::string>{"open COM3"}));  // pause opens nothing
    // The 1 s cadence runs on through the resume: the next sentence 20 ticks later, not 50.
    Ticks(20);
    EXPECT_EQ(WritesStartingWith("COM3:$GPRMC"), sentBefore + 1);
    Ticks(30);
    EXPECT_GT(engine.Fix.Latitude, 0);

    RecordingHost idleHost;
    FakePortFactory idlePorts;
    Engine stopped(idleHost, calendar, idlePorts);
    stopped.PauseCommand();
    EXPECT_EQ(stopped.State, RunState::Stopped);
}

TEST_F(EngineTest, StopWhilePausedWithOutputsKeptStaysPausedAtTheSavedSpeed)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.RunCommand();
    engine.PauseCommand();
    host.StopAnswer = std::array<bool, 4>{false, false, true, false};
    engine.StopCommand();
    ASSERT_EQ(host.StopChoices.size(), 1u);
    const auto& entries = host.StopChoices[0];
    EXPECT_EQ(entries[0].Label, "输出0：OziExplorer未启动");
    EXPECT_FALSE(entries[0].Enabled);
    EXPECT_EQ(entries[1].Label, "输出1：虚拟COM3");
    EXPECT_TRUE(entries[1].Checked);
    EXPECT_EQ(entries[2].Label, "输出2：虚拟COM15");
    EXPECT_EQ(entries[3].Label, "输出3：未启动");
    EXPECT_FALSE(entries[3].Enabled);
    EXPECT_EQ(engine.State, RunState::Paused);
    EXPECT_DOUBLE_EQ(engine.Fix.Speed, 30 / 3.6);
    EXPECT_TRUE(engine.Outputs[1].OpenPort);
    EXPECT_FALSE(engine.Outputs[2].OpenPort);

    host.StopAnswer.reset();  // Cancel closes nothing
    engine.Options.Outputs[2].Active = true;
    engine.RunCommand();
    engine.StopCommand();
    EXPECT_TRUE(engine.Outputs[1].OpenPort && engine.Outputs[2].OpenPort);
    EXPECT_EQ(engine.State, RunState::Running);
}

TEST_F(EngineTest, StopWithOneOutputClosesWithoutAsking)
{
    engine.Options.Outputs[1].Active = true;
    engine.RunCommand();
    engine.StopCommand();
    EXPECT_TRUE(host.StopChoices.empty());
    EXPECT_EQ(engine.State, RunState::Stopped);
    EXPECT_THAT(ports.Log.Events, ElementsAre("open COM3", "close COM3"));
    engine.StopCommand();  // stopped: nothing
    EXPECT_EQ(ports.Log.Events.size(), 2u);
}

TEST_F(EngineTest, PortClashIsRefusedWithItsMessageAndRetriedOnTheNextRun)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.Options.Outputs[2].Port = 2;       // COM3 as well
    engine.Options.Outputs[2].Virtual = false;  // a real and a virtual port of one number clash too
    engine.Options.Outputs[3].Active = true;
    engine.Options.Outputs[3].Virtual = false;
    ports.Refuse = {27};
    engine.RunCommand();
    ASSERT_EQ(host.Messages.size(), 2u);
    EXPECT_EQ(host.Messages[0].Text, "输出2与输出1的串口均为COM3，无法启动输出2 ");
    EXPECT_EQ(host.Messages[0].Caption, "端口重复");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Error);
    EXPECT_TRUE(engine.Outputs[2].StartFailed);
    EXPECT_TRUE(engine.Outputs[3].StartFailed);
    EXPECT_EQ(engine.State, RunState::Running);

    Ticks(7);
    engine.Options.Outputs[2].Port = 4;
    ports.Refuse.clear();
    engine.RunCommand();  // 1 keeps its port, 2 and 3 are tried again, counters restart
    EXPECT_THAT(ports.Log.Events, ElementsAre("open COM3", "open COM27", "open COM5", "open COM27"));
    EXPECT_FALSE(engine.Outputs[2].StartFailed);
    EXPECT_FALSE(engine.Outputs[3].StartFailed);
    for (const auto& output : engine.Outputs.Table()) EXPECT_EQ(output.TickCounter, 0);
}

TEST_F(EngineTest, ExplicitDevicesClashByPath)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[1].Virtual = false;
    engine.Options.Outputs[1].Device = "/dev/ttyUSB0";
    engine.Options.Outputs[2].Active = true;
    engine.Options.Outputs[2].Virtual = false;
    engine.Options.Outputs[2].Port = 7;
    engine.Options.Outputs[2].Device = "/dev/ttyUSB0";
    engine.Options.Outputs[3].Active = true;
    engine.Options.Outputs[3].Virtual = false;
    engine.Options.Outputs[3].Port = 2;  // another device, but COM3 like output 1
    engine.RunCommand();
    ASSERT_EQ(host.Messages.size(), 2u);
    EXPECT_EQ(host.Messages[0].Text, "输出2（COM8）与输出1（COM3）的串口均为/dev/ttyUSB0，无法启动输出2 ");
    EXPECT_EQ(host.Messages[1].Text, "输出3与输出1的串口均为COM3，无法启动输出3 ");
    EXPECT_FALSE(engine.Outputs[3].OpenPort);
}

TEST_F(EngineTest, VanishedDeviceClosesTheOutputAndMarksItFailed)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.RunCommand();
    ports.Opened[0]->NextResult = WriteResult::DeviceGone;
    host.Refreshes.clear();
    Ticks(50);
    EXPECT_FALSE(engine.Outputs[1].OpenPort);
    EXPECT_TRUE(engine.Outputs[1].StartFailed);
    EXPECT_EQ(WritesStartingWith("COM3:"), 1);   // nothing more after the failed write
    EXPECT_EQ(WritesStartingWith("COM15:"), 4);  // the other output goes on
    EXPECT_THAT(host.Refreshes, ::testing::Contains(2));

    ports.Opened[1]->NextResult = WriteResult::TimedOut;  // a time-out alone keeps the output
    Ticks(50);
    EXPECT_TRUE(engine.Outputs[2].OpenPort);
}

TEST_F(EngineTest, ExportAndReentryMakeTicksNoOps)
{
    engine.State = RunState::Running;
    engine.ExportRunning = true;
    engine.HeldKeys = HeldTurnRight;
    engine.RightTurnTicks = 100;
    Ticks(10);
    EXPECT_EQ(engine.Fix.Latitude, 0);
    EXPECT_EQ(engine.Fix.Course, 0);
    engine.ExportRunning = false;
    engine.TickInProgress = true;
    Ticks(10);
    EXPECT_EQ(engine.Fix.Course, 0);
}

TEST_F(EngineTest, CloseStopsEverythingWithoutAskingAndRemovesLeftoverPorts)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[2].Active = true;
    engine.RunCommand();
    engine.PauseCommand();
    EXPECT_DOUBLE_EQ(engine.SpeedToSave(), 30 / 3.6);
    engine.Close();
    EXPECT_EQ(engine.State, RunState::Stopped);
    EXPECT_TRUE(host.StopChoices.empty());
    EXPECT_THAT(ports.Log.Events, ElementsAre("open COM3", "open COM15", "close COM3", "close COM15", "leftovers"));
}

// One simulated hour at 100 km/h against the closed-form result of the drive model.
TEST_F(EngineTest, LongDriveMatchesTheAnalyticResult)
{
    const double speed = 100 / 3.6;
    const int ticks = 3600 * 50;
    SimFix north{0, 0, 0, 0, speed};
    SimFix east{45, 10, 0, 90, speed};
    for (int i = 0; i < ticks; ++i) {
        DriveStep(north);
        DriveStep(east);
    }
    EXPECT_NEAR(north.Latitude, ticks * speed * 1.802674594858523e-7, 1e-9);
    EXPECT_NEAR(north.Latitude * DegToRad * PolarRadius, 100000, 1.0);
    const double perTick = 1.1459155902616465 / (std::cos(45 * DegToRad) * EquatorialRadius) * speed;
    EXPECT_NEAR(east.Latitude, 45, 1e-9);
    EXPECT_NEAR(east.Longitude, 10 + ticks * perTick, 1e-8);
}

}  // namespace
}  // namespace tolvex

namespace tolvex {
namespace {

// Realism in the tick: every GSV line reaches the port in order, a bad almanac is told once and
// the nominal sky flies instead, a raised mask or a command loses the fix until undone.
TEST_F(EngineTest, RealisticReceiverSendsEveryLineAndLosesAndRegainsItsFix)
{
    engine.Options.Outputs[1].Active = true;
    engine.Options.Outputs[1].Send[static_cast<int>(Sentence::ZDA)] = true;
    engine.Options.Sky.Enabled = true;
    engine.Options.Sky.Systems = SystemBit(GnssSystem::Gps) | SystemBit(GnssSystem::Glonass);
    engine.Options.Sky.AlmanacFile = "/nonexistent/current.alm";
    engine.RunCommand();
    Ticks(100);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_THAT(host.Messages[0].Text, HasSubstr("/nonexistent/current.alm"));
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Warning);

    // Each second: RMC, GGA, a GNGSA per system, the GSV lines of both systems, ZDA last.
    EXPECT_GE(WritesStartingWith("COM3:$GPGSV,1,") + WritesStartingWith("COM3:$GPGSV,2,") +
                  WritesStartingWith("COM3:$GPGSV,3,"),
              2);
    EXPECT_GE(WritesStartingWith("COM3:$GLGSV,"), 2);
    EXPECT_EQ(WritesStartingWith("COM3:$GNRMC,"), 2);
    EXPECT_EQ(WritesStartingWith("COM3:$GNGSA,A,3,"), 4);
    EXPECT_EQ(WritesStartingWith("COM3:$GNZDA,"), 2);
    EXPECT_THAT(ports.Log.Writes.back(), HasSubstr("$GNZDA,"));
    EXPECT_TRUE(engine.Sky().View().FixValid);

    engine.Options.Sky.MaskDeg = 89;
    Ticks(50);
    EXPECT_FALSE(engine.Sky().View().FixValid);
    const auto lastRmc = std::find_if(ports.Log.Writes.rbegin(), ports.Log.Writes.rend(),
                                      [](const std::string& w) { return w.rfind("COM3:$GNRMC,", 0) == 0; });
    ASSERT_NE(lastRmc, ports.Log.Writes.rend());
    EXPECT_THAT(*lastRmc, HasSubstr(",V,,,,,,,"));
    EXPECT_EQ(WritesStartingWith("COM3:$GNGSA,A,1,"), 2);
    engine.Options.Sky.MaskDeg = 5;
    Ticks(50);
    EXPECT_TRUE(engine.Sky().View().FixValid);
    engine.SetFixLost(true);
    Ticks(50);
    EXPECT_FALSE(engine.Sky().View().FixValid);
    EXPECT_THAT(ports.Log.Writes.back(), HasSubstr("$GNZDA,"));
    EXPECT_EQ(host.Messages.size(), 1u) << "the almanac is not complained about again";
}

}  // namespace
}  // namespace tolvex
