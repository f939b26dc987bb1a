// The control channel's commands on a whole simulator without a window: each line through the
// parser and the dispatcher, checked on the fix and the replay. A refused line changes nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "control/operator.h"
#include "nmea/log_player.h"
#include "remote/host_relay.h"
#include "remote/remote_control.h"
#include "remote/script.h"
#include "sim/engine_simulator.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;

// Five points due north, 0.001° (about 111 m) and 10 s apart.
constexpr const char* TrackGpx =
    R"(<?xml version="1.0"?><gpx><trk><trkseg>)"
    R"(<trkpt lat="10.000" lon="20"><ele>5</ele><time>2020-01-01T00:00:00Z</time></trkpt>)"
    R"(<trkpt lat="10.001" lon="20"><ele>6</ele><time>2020-01-01T00:00:10Z</time></trkpt>)"
    R"(<trkpt lat="10.002" lon="20"><ele>7</ele><time>2020-01-01T00:00:20Z</time></trkpt>)"
    R"(<trkpt lat="10.003" lon="20"><ele>8</ele><time>2020-01-01T00:00:30Z</time></trkpt>)"
    R"(<trkpt lat="10.004" lon="20"><ele>9</ele><time>2020-01-01T00:00:40Z</time></trkpt>)"
    R"(</trkseg></trk></gpx>)";

struct FrontEnd final : RemoteFrontEnd {
    void TrackLoaded(const LoadOutcome&) override { ++Loads; }
    void RequestQuit() override { ++Quits; }
    int Loads = 0;
    int Quits = 0;
};

enum class Start { Free, Paused, TrackP, TrackM, TrackS, TrackHeld, Sky, SkyLost };

struct Rig {
    explicit Rig(const fs::path& track, Start start)
    {
        Engine& e = sim.Core;
        e.Fix = SimFix{10, 20, 50, 90, 30 / 3.6};
        e.Options.Favorites[1] = FavoritePoint{"港口", 31.2, 121.5, 10, 270};
        e.RunCommand();
        if (start == Start::Paused) e.PauseCommand();
        e.Options.Sky.Enabled = start == Start::Sky || start == Start::SkyLost;
        e.SetFixLost(start == Start::SkyLost);
        if (start >= Start::TrackP && start <= Start::TrackHeld) {
            e.Options.LastTrackMode = start == Start::TrackHeld ? 2 : static_cast<int>(start) - static_cast<int>(Start::TrackP) + 1;
            EXPECT_TRUE(LoadTrackFile(track.string(), sim.Track, sim.TrackReplay, e.Options, relay).Loaded);
            // A position dialog open in the window.
            if (start == Start::TrackHeld) sim.TrackReplay.SetTrackBusy(true);
        }
    }

    testing::RecordingHost host;
    HostRelay relay{host};
    testing::FakeCalendar calendar;
    testing::FakePortFactory ports;
    Simulator sim{relay, calendar, ports};
    Operator op{sim.Core, &sim.TrackReplay};
    FrontEnd front;
    RemoteControl control{sim, op, relay, front};
};

// What a refused command must leave as it was.
struct Snapshot {
    explicit Snapshot(const Simulator& s)
        : Fix(s.Core.Fix), State(s.Core.State), Mode(s.TrackReplay.Mode()), Point(s.TrackReplay.Point()),
          Loop(s.TrackReplay.Loop()), Reversed(s.TrackReplay.Reversed()), Offset(s.TrackReplay.LateralOffset()),
          Ratio(s.TrackReplay.SpeedRatio()), Active1(s.Core.Options.Outputs[1].Active),
          Mask(s.Core.Options.Sky.MaskDeg), FixLost(s.Core.Sky().FixLost())
    {
    }
    bool operator==(const Snapshot& o) const
    {
        return Fix.Latitude == o.Fix.Latitude && Fix.Longitude == o.Fix.Longitude && Fix.Altitude == o.Fix.Altitude &&
               Fix.Course == o.Fix.Course && Fix.Speed == o.Fix.Speed && State == o.State && Mode == o.Mode &&
               Point == o.Point && Loop == o.Loop && Reversed == o.Reversed && Offset == o.Offset && Ratio == o.Ratio &&
               Active1 == o.Active1 && Mask == o.Mask && FixLost == o.FixLost;
    }
    SimFix Fix;
    RunState State;
    TrackMode Mode;
    int Point;
    LoopMode Loop;
    bool Reversed;
    double Offset;
    double Ratio;
    bool Active1;
    double Mask;
    bool FixLost;
};

// The fix state of the sentences built after a second of ticks.
bool FixAfterASecond(Rig& r)
{
    for (int i = 0; i < 50; ++i) r.sim.Core.TimerTick();
    return r.sim.Core.Sky().View().FixValid;
}

struct Case {
    const char* Name;
    Start From;
    const char* Line;
    const char* Reply;  // the reply starts with this ("ok", "error ...")
    std::function<void(Rig&)> Check = nullptr;
};

const Case Cases[] = {
    // Lines that are no command.
    {"EmptyLine", Start::Free, "   ", "error empty line"},
    {"UnknownCommand", Start::Free, "fly 3", "error unknown command 'fly'"},
    {"MissingNumber", Start::Free, "speed", "error speed: missing argument"},
    {"MalformedNumber", Start::Free, "speed 12km", "error speed: KMH '12km' is not a number"},
    {"NotANumber", Start::Free, "goto nan 11", "error goto: LAT must be a finite number"},
    {"Infinity", Start::Free, "turn -inf", "error turn: DEG must be a finite number"},
    {"BeyondDouble", Start::Free, "alt 1e400", "error alt: M '1e400' is not a number"},
    {"TooManyArguments", Start::Free, "goto 1 2 3 4", "error goto: too many arguments"},
    {"UnterminatedQuote", Start::Free, "load \"/tmp/a b.gpx", "error unterminated quote"},
    {"BadDirection", Start::Free, "step Q", "error step: the direction must be n, s, e or w"},
    {"FractionalCount", Start::Free, "step N 1.5", "error step: COUNT '1.5' is not a whole number"},
    {"CountBeyondLimit", Start::Free, "step N 10001", "error step: COUNT must be 1 to 10000"},
    {"BadMode", Start::Free, "mode X", "error mode: the mode must be f, p, m or s"},
    {"WaitOutsideScript", Start::TrackM, "wait-end", "error wait-end works in scenario scripts only"},
    {"WatchWithoutConnection", Start::Free, "watch", "error watch needs a connection"},
    // The ranges of the position dialog.
    {"SpeedAboveDialogRange", Start::Free, "speed 100000", "error speed: KMH must be 0 to 99999"},
    {"NegativeSpeed", Start::Free, "speed -1", "error speed: KMH must be 0 to 99999"},
    {"LatitudeBeyondPole", Start::Free, "goto 90.5 0", "error goto: LAT must be -90 to 90"},
    {"LongitudeBeyond180", Start::Free, "goto 0 -180.01", "error goto: LON must be -180 to 180"},
    {"CourseAbove360", Start::Free, "course 360.5", "error course: DEG must be 0 to 360"},
    {"AltitudeBeyondRange", Start::Free, "alt 300000", "error alt: M must be"},
    {"FavouriteSlot21", Start::Free, "favourite 21", "error favourite: N must be 1 to 20"},
    {"SaveFavouriteSlot0", Start::Free, "save-favourite 0 x", "error save-favourite: N must be 1 to 20"},
    {"Output4", Start::Free, "output 4 on", "error output: N must be 0 to 3"},
    {"RatioAbove100", Start::TrackS, "ratio 101", "error ratio: R must be 0 to 100"},
    {"MaskAbove90", Start::Sky, "mask 90.5", "error mask: DEG must be 0 to 90"},
    {"FixNeitherLostNorOk", Start::Sky, "fix gone", "error fix: the state must be ok or lost"},
    // Without realism the receiver has nothing to lose.
    {"FixLossWithoutRealism", Start::Free, "fix lost", "error fix: realism is off"},
    {"MaskWithoutRealism", Start::Free, "mask 30", "error mask: realism is off"},
    // Commands whose mode or track is missing, as the greyed menu entries and the Free-only keys.
    {"ReplayModeWithoutTrack", Start::Free, "mode M", "error mode needs a track"},
    {"ReverseWithoutTrack", Start::Free, "reverse on", "error reverse needs a track"},
    {"LoopInFree", Start::Free, "loop file", "error loop needs a track"},
    {"SegmentWithoutTrack", Start::Free, "segment 1", "error segment needs a track"},
    {"SegmentBeyondTrack", Start::TrackM, "segment 2", "error segment: N must be 1 to 1"},
    {"PointBeyondTrack", Start::TrackM, "point 6", "error point: N must be 1 to 5"},
    {"CourseInReplay", Start::TrackM, "course 90", "error course works in free driving only (mode M"},
    {"StepInReplay", Start::TrackP, "step N", "error step works in free driving only (mode P"},
    {"AltitudeOfGotoInReplay", Start::TrackM, "goto 10.002 20 5", "error goto: ALT comes from the track"},
    {"PointWhileADialogHoldsTheTrack", Start::TrackHeld, "point 3", "error point: the track is held by an open dialog"},
    {"SpeedInModeP", Start::TrackP, "speed 50", "error speed: mode P takes its speed from the track"},
    {"SpeedInModeS", Start::TrackS, "speed 50", "error speed: mode S follows the track's times"},
    {"MissingTrackFile", Start::Free, "load /nonexistent/track.gpx", "error load: cannot load /nonexistent/track.gpx"},
    {"UnknownTrackType", Start::Free, "load /etc/hostname", "error load: cannot load /etc/hostname; 错误: 未知的航迹文件类型"},

    // Free driving.
    {"GotoSetsThePosition", Start::Free, "goto 48.1 11.5", "ok",
     [](const Rig& r) {
         EXPECT_EQ(r.sim.Core.Fix.Latitude, 48.1);
         EXPECT_EQ(r.sim.Core.Fix.Longitude, 11.5);
         EXPECT_EQ(r.sim.Core.Fix.Altitude, 50);
     }},
    {"GotoWithAltitude", Start::Free, "goto -33.9 +18.4 120", "ok",
     [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Altitude, 120); }},
    {"SpeedInKmh", Start::Free, "speed 80", "ok", [](const Rig& r) { EXPECT_DOUBLE_EQ(r.sim.Core.Fix.Speed, 80 / 3.6); }},
    {"SpeedWhilePausedWaitsForTheResume", Start::Paused, "speed 80", "ok",
     [](const Rig& r) {
         EXPECT_EQ(r.sim.Core.Fix.Speed, 0);
         EXPECT_DOUBLE_EQ(r.sim.Core.SavedSpeed, 80 / 3.6);
     }},
    {"TurnWrapsPast360", Start::Free, "turn 300", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Course, 30); }},
    {"TurnWrapsBelow0", Start::Free, "turn -100", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Course, 350); }},
    {"TurnOfManyRevolutions", Start::Free, "turn 1090", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Course, 100); }},
    {"CourseExactly360Stands", Start::Free, "course 360", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Course, 360); }},
    {"Altitude", Start::Free, "alt -20.5", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Altitude, -20.5); }},
    {"StepNorthThreeTimes", Start::Free, "step N 3", "ok",
     [](const Rig& r) { EXPECT_NEAR(r.sim.Core.Fix.Latitude, 10.00003, 1e-12); }},
    {"StepIgnoresHeldModifiers", Start::Free, "STEP w", "ok",
     [](const Rig& r) { EXPECT_NEAR(r.sim.Core.Fix.Longitude, 19.99999, 1e-12); }},
    {"FavouriteRestoresThePose", Start::Free, "favourite 2", "ok",
     [](const Rig& r) {
         EXPECT_EQ(r.sim.Core.Fix.Latitude, 31.2);
         EXPECT_EQ(r.sim.Core.Fix.Course, 270);
         EXPECT_DOUBLE_EQ(r.sim.Core.Fix.Speed, 30 / 3.6);
     }},
    {"SaveFavouriteCleansTheName", Start::Free, "save-favourite 4   home, north ", "ok {\"favourite\":4,\"name\":\"home- north\"}",
     [](const Rig& r) {
         EXPECT_EQ(r.sim.Core.Options.Favorites[3].Latitude, 10);
         EXPECT_EQ(r.sim.Core.Options.Favorites[3].Course, 90);
     }},
    {"SaveFavouriteKeepsTheSlotsName", Start::Free, "save-favourite 2", "ok {\"favourite\":2,\"name\":\"港口\"}"},
    {"PauseToggles", Start::Free, "pause", "ok {\"state\":\"paused\"", [](const Rig& r) { EXPECT_EQ(r.sim.Core.Fix.Speed, 0); }},
    {"RunResumesAPause", Start::Paused, "run", "ok {\"state\":\"running\"",
     [](const Rig& r) { EXPECT_DOUBLE_EQ(r.sim.Core.Fix.Speed, 30 / 3.6); }},
    {"StopClosesEveryOutputWithoutAsking", Start::Free, "stop", "ok {\"state\":\"stopped\"",
     [](const Rig& r) { EXPECT_TRUE(r.host.StopChoices.empty()); }},
    {"OutputOnStartsItWhileRunning", Start::Free, "output 2 on", "ok {\"output\":2,\"state\":\"open\"}",
     [](const Rig& r) { EXPECT_TRUE(r.sim.Core.Outputs[1].OpenPort != nullptr); }},
    {"OutputOffClosesIt", Start::Free, "output 1 off", "ok {\"output\":1,\"state\":\"closed\"}",
     [](const Rig& r) {
         EXPECT_FALSE(r.sim.Core.Options.Outputs[1].Active);
         EXPECT_EQ(r.sim.Core.State, RunState::Running);
     }},
    {"LoadStartsInTheModeUsedLast", Start::Free, "load TRACK", "ok {\"segments\":1,\"points\":5,\"mode\":\"P\"}",
     [](const Rig& r) { EXPECT_EQ(r.front.Loads, 1); }},
    {"FixLostOnRequest", Start::Sky, "fix LOST", "ok {\"fix\":\"lost\"}", [](Rig& r) { EXPECT_FALSE(FixAfterASecond(r)); }},
    {"FixBackOnRequest", Start::SkyLost, "fix ok", "ok {\"fix\":\"ok\"}", [](Rig& r) { EXPECT_TRUE(FixAfterASecond(r)); }},
    {"MaskAboveTheSkyLosesTheFix", Start::Sky, "mask 89", "ok {\"mask\":89.0}",
     [](Rig& r) {
         EXPECT_FALSE(FixAfterASecond(r));
         EXPECT_EQ(r.sim.Core.Options.Sky.MaskDeg, 89);
     }},
    {"MaskLeavesALossOnRequest", Start::SkyLost, "mask 0", "ok", [](Rig& r) { EXPECT_FALSE(FixAfterASecond(r)); }},
    {"Quit", Start::Free, "quit", "ok", [](const Rig& r) { EXPECT_EQ(r.front.Quits, 1); }},

    // Replay.
    {"GotoSnapsToTheTrack", Start::TrackM, "goto 10.00301 20.001", "ok",
     [](const Rig& r) { EXPECT_EQ(r.sim.TrackReplay.Point(), 4); }},
    {"PointNumber", Start::TrackM, "point 3", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.TrackReplay.Point(), 3); }},
    {"OffsetHeldTo1000", Start::TrackM, "offset -5000", "ok {\"offset\":-1000.0}"},
    {"ReverseOn", Start::TrackM, "reverse on", "ok", [](const Rig& r) { EXPECT_TRUE(r.sim.TrackReplay.Reversed()); }},
    {"ReverseOffWhenOffDoesNothing", Start::TrackM, "reverse off", "ok",
     [](const Rig& r) { EXPECT_FALSE(r.sim.TrackReplay.Reversed()); }},
    {"LoopSegment", Start::TrackM, "loop segment", "ok",
     [](const Rig& r) { EXPECT_EQ(r.sim.TrackReplay.Loop(), LoopMode::SegmentLoop); }},
    {"SpeedInModeM", Start::TrackM, "speed 80", "ok", [](const Rig& r) { EXPECT_DOUBLE_EQ(r.sim.Core.Fix.Speed, 80 / 3.6); }},
    {"RatioInModeSSetsTheSpeed", Start::TrackS, "ratio 2", "ok",
     [](const Rig& r) { EXPECT_NEAR(r.sim.Core.Fix.Speed, 2 * 111.1 / 10, 0.5); }},
    {"RatioInModeMWaitsForS", Start::TrackM, "ratio 2", "ok",
     [](const Rig& r) {
         EXPECT_EQ(r.sim.TrackReplay.SpeedRatio(), 2);
         EXPECT_DOUBLE_EQ(r.sim.Core.Fix.Speed, 30 / 3.6);
     }},
    {"ModeFreeKeepsThePose", Start::TrackM, "mode f", "ok {\"state\":\"running\",\"mode\":\"F\"}"},
    {"ModeSwitchKeepsThePoint", Start::TrackP, "mode S", "ok", [](const Rig& r) { EXPECT_EQ(r.sim.TrackReplay.Point(), 1); }},
};

class CommandTable : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        folder = fs::temp_directory_path() / ("tolvex-remote-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::ofstream(folder / "track.gpx") << TrackGpx;
    }
    static void TearDownTestSuite() { fs::remove_all(folder); }
    static inline fs::path folder;
};

TEST_P(CommandTable, RepliesAndActs)
{
    const Case& c = GetParam();
    Rig rig(folder / "track.gpx", c.From);
    std::string line = c.Line;
    if (const auto at = line.find("TRACK"); at != std::string::npos) line.replace(at, 5, (folder / "track.gpx").string());
    const Snapshot before(rig.sim);
    const std::string reply = rig.control.Execute(line).Line();
    EXPECT_EQ(reply.substr(0, std::string(c.Reply).size()), c.Reply) << reply;
    if (reply.rfind("error", 0) == 0) {
        EXPECT_TRUE(Snapshot(rig.sim) == before) << "a refused command changed the simulator";
        EXPECT_EQ(reply.find('\n'), std::string::npos);
    }
    if (c.Check) c.Check(rig);
    EXPECT_TRUE(rig.host.Messages.empty()) << "a message reached the window: " << rig.host.Messages.front().Text;
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandTable, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(StatusTest, ReportsFixTrackAndOutputs)
{
    const fs::path folder = fs::temp_directory_path() / ("tolvex-status-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "track.gpx") << TrackGpx;
    Rig rig(folder / "track.gpx", Start::TrackM);
    ASSERT_TRUE(rig.control.Execute("point 2").Ok);
    rig.sim.Core.TimerTick();  // one build of the sentences, so the time is known
    for (int i = 1; i < 50; ++i) rig.sim.Core.TimerTick();
    const auto status = nlohmann::json::parse(rig.control.StatusJson());
    fs::remove_all(folder);

    EXPECT_EQ(status["state"], "running");
    EXPECT_EQ(status["mode"], "M");
    EXPECT_NEAR(status["fix"]["lat"].get<double>(), rig.sim.Core.Fix.Latitude, 1e-12);
    EXPECT_NEAR(status["fix"]["speed_kmh"].get<double>(), 30, 1e-9);
    EXPECT_EQ(status["fix"]["time"], "2009-06-15T08:30:05Z");  // the RMC's own time and date
    EXPECT_EQ(status["track"]["points"], 5);
    EXPECT_EQ(status["track"]["segment"], 1);
    EXPECT_EQ(status["track"]["loop"], "none");
    EXPECT_EQ(status["track"]["reverse"], false);
    EXPECT_EQ(status["track"]["file"], (folder / "track.gpx").string());
    ASSERT_EQ(status["outputs"].size(), 4u);
    EXPECT_EQ(status["outputs"][0]["kind"], "ozi");
    EXPECT_EQ(status["outputs"][1]["state"], "open");
    EXPECT_EQ(status["outputs"][1]["port"], "COM3");
    EXPECT_EQ(status["outputs"][2]["state"], "closed");
    EXPECT_TRUE(status["sky"].is_null());
    EXPECT_FALSE(status.contains("play"));
}

// With realism on, the sky of the last build; while a log plays, the number of the last line sent.
TEST(StatusTest, ReportsTheSkyAndTheLinePlayed)
{
    Rig rig("", Start::Sky);
    auto player = LogPlayer::FromText("$GPRMC,120000.00,A,4807.038,N,01131.000,E,0.5,45.0,111009,,,A*63\r\n"
                                      "$GPGSA,A,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1*3F\r\n"
                                      "$GPRMC,120000.40,A,4807.039,N,01131.000,E,0.5,45.0,111009,,,A*66\r\n",
                                      1, false);
    ASSERT_TRUE(player);
    ASSERT_TRUE(rig.control.Execute("mask 20").Ok);
    for (int i = 0; i < 50; ++i) rig.sim.Core.TimerTick();
    auto status = nlohmann::json::parse(rig.control.StatusJson());
    EXPECT_EQ(status["sky"]["mask"], 20.0);
    EXPECT_EQ(status["sky"]["fix"], true);
    EXPECT_EQ(status["sky"]["satellites"], rig.sim.Core.Sky().View().Satellites.size());
    EXPECT_GE(status["sky"]["used"].get<int>(), 4);
    EXPECT_NEAR(status["sky"]["hdop"].get<double>(), rig.sim.Core.Sky().View().Dop.HDOP, 1e-12);

    std::string sent;
    rig.sim.Core.MirrorOutput1 = [&sent](const char* text, int length) { sent.append(text, static_cast<std::size_t>(length)); };
    rig.sim.Core.SetPlayer(&*player);
    rig.sim.Core.TimerTick();
    status = nlohmann::json::parse(rig.control.StatusJson());
    EXPECT_EQ(status["play"]["line"], 2);
    EXPECT_EQ(status["play"]["finished"], false);
    for (int i = 0; i < 20; ++i) rig.sim.Core.TimerTick();
    status = nlohmann::json::parse(rig.control.StatusJson());
    EXPECT_EQ(status["play"]["line"], 3);
    EXPECT_EQ(status["play"]["finished"], true);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), '\n'), 3);
}

// A port that fails to open while a command runs: the message comes back in the reply, not in a box.
TEST(StatusTest, MessagesOfACommandGoToItsReply)
{
    Rig rig("", Start::Free);
    rig.ports.Refuse = {15};
    const Reply reply = rig.control.Execute("output 2 on");
    EXPECT_TRUE(reply.Ok);
    EXPECT_NE(reply.Body.find("\"state\":\"failed\""), std::string::npos) << reply.Body;
    EXPECT_NE(reply.Body.find("无法打开串口 COM15"), std::string::npos) << reply.Body;
    EXPECT_TRUE(rig.host.Messages.empty());
}

struct ScriptCase {
    const char* Name;
    const char* Text;
    const char* Error;  // empty: the script parses
};

const ScriptCase ScriptCases[] = {
    {"TimesAndComments", "# drive\n@0 speed 80   # fast\n+2.5 turn 90\nstatus\n\n@10 quit\n", ""},
    {"UnknownCommandNamesItsLine", "speed 80\n\nfly\n", "s.txt:3: unknown command 'fly'"},
    {"BadTime", "@soon speed 80\n", "s.txt:1: '@soon' is not a time"},
    {"NegativeDelay", "+-1 speed 80\n", "s.txt:1: '+-1' is not a time"},
    {"TimeWithoutCommand", "@5\n", "s.txt:1: a command must follow the time"},
    {"TimeGoingBack", "@10 run\n@5 pause\n", "s.txt:2: @5 is earlier than an @ time above it"},
    {"WatchHasNoReader", "watch 1\n", "s.txt:1: watch has no reader"},
    {"WaitPointZero", "wait-point 0\n", "s.txt:1: wait-point: N must be 1 or more"},
    {"MissingTrack", "load nowhere.gpx\n", "s.txt:1: load: nowhere.gpx is not a readable file"},
    {"BadArgumentAfterTime", "+1 speed NaN\n", "s.txt:1: speed: KMH must be a finite number"},
};

class ScriptTable : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptTable, ParsesOrNamesTheLine)
{
    const ScriptCase& c = GetParam();
    const ScriptParse parsed = ParseScript(c.Text, "s.txt");
    if (c.Error[0] == 0) {
        ASSERT_TRUE(std::holds_alternative<Script>(parsed)) << std::get<std::string>(parsed);
    } else {
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
        EXPECT_EQ(std::get<std::string>(parsed).substr(0, std::string(c.Error).size()), c.Error)
            << std::get<std::string>(parsed);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTable, ::testing::ValuesIn(ScriptCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// @ from the start, + from the line before, a bare line with it; a failing line stops the script.
TEST(ScriptRunnerTest, RunsEachLineOnTheSimulatorsClock)
{
    Rig rig("", Start::Free);
    auto parsed = ParseScript("@0.1 speed 10\n+0.5 speed 20\nspeed 30\n@1 course 400\n", "s.txt");
    ScriptRunner runner(std::get<Script>(parsed), rig.control);
    std::vector<std::pair<int, double>> changes;  // tick, km/h
    double speed = rig.sim.Core.Fix.Speed;
    ScriptRunner::Progress progress = ScriptRunner::Progress::Running;
    int tick = 0;
    for (; tick < 100 && progress == ScriptRunner::Progress::Running; ++tick) {
        progress = runner.Advance(tick * 0.02);
        if (rig.sim.Core.Fix.Speed != speed) changes.emplace_back(tick, std::round(rig.sim.Core.Fix.Speed * 3.6));
        speed = rig.sim.Core.Fix.Speed;
    }
    EXPECT_EQ(changes, (std::vector<std::pair<int, double>>{{5, 10}, {30, 30}}));
    EXPECT_EQ(progress, ScriptRunner::Progress::Failed);
    EXPECT_EQ(tick - 1, 50);
    EXPECT_EQ(runner.Message(), "s.txt:4: course: DEG must be 0 to 360");
}

}  // namespace
}  // namespace tolvex
