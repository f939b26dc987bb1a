#include "tracks/replay.h"

#include <gtest/gtest.h>

#include <cmath>

#include "testing/fakes.h"
#include "sim/geodesy.h"

namespace tolvex {
namespace {

using FakeHost = testing::RecordingHost;

constexpr double Spacing = 0.001;  // degrees of longitude between points on the equator
const double Leg = GeoDistance(0, 0, 0, Spacing);

struct PointSpec {
    double lon;
    double time = -1;  // no time when negative
    double alt = 0;
    double lat = 0;
};

// Segments of points on the equator; every point has altitude 10 × its number in the file.
BuiltTrack MakeTrack(const std::vector<std::vector<PointSpec>>& segments)
{
    SegmentBuilder b(2, 0);
    int number = 0;
    for (const auto& segment : segments) {
        for (std::size_t i = 0; i < segment.size(); ++i) {
            TrackPoint p;
            p.Longitude = segment[i].lon;
            p.Latitude = segment[i].lat;
            p.Altitude = 10.0 * ++number;
            p.Flags = HasAltitude | (i == 0 ? SegmentStart : 0);
            if (segment[i].time >= 0) {
                p.Time = segment[i].time;
                p.Flags |= HasTime;
            }
            b.AddTrackPoint(p);
        }
        b.CloseSegment();
    }
    return *b.CommitTrack();
}

std::vector<PointSpec> Line(int count, double startLon = 0, double dt = 10, double spacing = Spacing)
{
    std::vector<PointSpec> points;
    for (int i = 0; i < count; ++i)
        points.push_back({startLon + i * spacing, dt < 0 ? -1 : 1000 + i * dt});
    return points;
}

class FakePort : public SerialPort {
public:
    int Number() const override { return 1; }
    bool IsVirtual() const override { return true; }
    std::string Describe() const override { return "COM1"; }
    WriteResult Write(const char*, std::size_t) override { return WriteResult::Written; }
    void Close() override {}
};

class ReplayTest : public ::testing::Test {
protected:
    void Load(BuiltTrack track, TrackMode mode)
    {
        settings.LastTrackMode = static_cast<int>(mode);
        store.Install(std::move(track));
        replay.StartNewTrack();
    }
    bool Step(bool stopAtSegmentEnd = false)
    {
        bool finished = false;
        replay.ReplayStep(finished, stopAtSegmentEnd);
        return finished;
    }
    void ExpectOnPoint(int n)
    {
        EXPECT_EQ(replay.Point(), n);
        const TrackPoint& p = store.ActivePoints()[n - 1];
        EXPECT_DOUBLE_EQ(replay.TrackLongitude(), p.Longitude);
        EXPECT_DOUBLE_EQ(fix.Longitude, p.Longitude);
        EXPECT_DOUBLE_EQ(fix.Altitude, p.Altitude);
    }

    SimFix fix;
    Settings settings;
    OutputTable outputs{};
    FakeHost host;
    TrackStore store;
    bool exportRunning = false;
    Replay replay{fix, settings, outputs, host, store, exportRunning};
};

TEST_F(ReplayTest, LoadStartsOnFirstPointInLastModeAndHoldsOneStep)
{
    Load(MakeTrack({Line(10)}), TrackMode::S);
    EXPECT_EQ(replay.Mode(), TrackMode::S);
    EXPECT_EQ(replay.StepInterval(), 1000);
    EXPECT_TRUE(replay.PositionHold());
    ExpectOnPoint(1);
    EXPECT_FALSE(Step());
    ExpectOnPoint(1);
    EXPECT_FALSE(replay.PositionHold());
}

TEST_F(ReplayTest, PModeOnePointPerStepWithLegSpeeds)
{
    // Segment 2 has legs twice as long: its first point reports the leg ahead.
    Load(MakeTrack({Line(4), Line(3, 0.01, 10, 2 * Spacing)}), TrackMode::P);
    EXPECT_NEAR(fix.Speed, Leg, 1e-9);
    EXPECT_DOUBLE_EQ(fix.Course, 90);
    Step();  // the hold
    for (int n = 2; n <= 4; ++n) {
        EXPECT_FALSE(Step());
        ExpectOnPoint(n);
        EXPECT_NEAR(fix.Speed, Leg, 1e-9);
    }
    EXPECT_FALSE(Step());  // segment end: next segment
    EXPECT_EQ(replay.Track(), 2);
    EXPECT_EQ(replay.PointInTrack(), 1);
    ExpectOnPoint(5);
    EXPECT_NEAR(fix.Speed, 2 * Leg, 1e-6);
}

struct LoopCase {
    const char* name;
    LoopMode loop;
    bool finished;
    int track;
    int point;
};

class ReplayLoops : public ReplayTest, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(ReplayLoops, EndOfLastSegment)
{
    const LoopCase& c = GetParam();
    Load(MakeTrack({Line(3), Line(3, 0.01)}), TrackMode::P);
    replay.SetLoop(c.loop);
    replay.GoToTrackPoint(2, 3);
    Step();  // the hold on the last point
    EXPECT_EQ(Step(), c.finished);
    EXPECT_EQ(replay.Track(), c.track);
    ExpectOnPoint(c.point);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplayLoops,
                         ::testing::Values(LoopCase{"NoLoopFinishesOnLastPoint", LoopMode::NoLoop, true, 2, 6},
                                         LoopCase{"FileLoopGoesToFirstSegment", LoopMode::FileLoop, false, 1, 1},
                                         LoopCase{"SegmentLoopRestartsSegment", LoopMode::SegmentLoop, false, 2, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, MModeTravelsDistanceAcrossPoints)
{
    Load(MakeTrack({Line(6)}), TrackMode::M);
    settings.Outputs[1].Interval = 500;
    replay.UpdateStepInterval();
    fix.Speed = 10;
    Step();  // the hold
    Step();
    EXPECT_EQ(replay.Point(), 1);
    EXPECT_NEAR(GeoDistance(0, 0, 0, replay.TrackLongitude()), 5, 1e-6);
    EXPECT_DOUBLE_EQ(fix.Speed, 10);  // never set by M

    // 1.5 legs per step from point 1 + 5 m: the remaining distance continues on the next leg.
    fix.Speed = 1.5 * Leg / 0.5;
    Step();
    EXPECT_EQ(replay.Point(), 2);
    EXPECT_EQ(replay.PointInTrack(), 2);
    EXPECT_NEAR(GeoDistance(0, 0, 0, replay.TrackLongitude()), 1.5 * Leg + 5, 1e-6);
    EXPECT_DOUBLE_EQ(fix.Course, 90);
    EXPECT_DOUBLE_EQ(fix.Altitude, 20);  // the last point passed
}

TEST_F(ReplayTest, MModeStopsOnSegmentEndThenMovesOn)
{
    Load(MakeTrack({Line(3), Line(3, 0.01)}), TrackMode::M);
    fix.Speed = 0.75 * Leg;  // per 1000 ms step
    Step();
    Step();
    Step();
    EXPECT_EQ(replay.Point(), 2);
    EXPECT_FALSE(Step());  // would pass point 3, which ends the segment: stops on it
    ExpectOnPoint(3);
    EXPECT_FALSE(Step());
    EXPECT_EQ(replay.Track(), 2);
    ExpectOnPoint(4);
}

TEST_F(ReplayTest, MModeExportStopsAtSegmentEnd)
{
    Load(MakeTrack({Line(3), Line(3, 0.01)}), TrackMode::M);
    exportRunning = true;
    fix.Speed = 0.75 * Leg;
    bool finished = false;
    int steps = 0;
    while (!finished && steps < 100) {
        replay.ReplayStep(finished, true);
        ++steps;
    }
    EXPECT_EQ(steps, 4);
    ExpectOnPoint(3);
}

TEST_F(ReplayTest, MModeZeroLengthLegDoesNotProduceNaN)
{
    Load(MakeTrack({{{0, -1}, {Spacing, -1}, {Spacing, -1}, {2 * Spacing, -1}}}), TrackMode::M);
    fix.Speed = 1.5 * Leg;
    Step();  // the hold
    Step();  // passes point 2 and its twin, half a leg beyond
    EXPECT_EQ(replay.Point(), 3);
    EXPECT_TRUE(std::isfinite(replay.TrackLongitude()));
    EXPECT_NEAR(replay.TrackLongitude(), 1.5 * Spacing, 1e-12);
}

struct LongLegCase {
    const char* name;
    PointSpec from;
    PointSpec to;
};

class MModeLongLegs : public ReplayTest, public ::testing::WithParamInterface<LongLegCase> {};

// On legs of tens of degrees consecutive positions are still speed × step apart, and the replay
// arrives at the leg's end after about as many steps as its length gives.
TEST_P(MModeLongLegs, MovesAsFastAsItReports)
{
    const LongLegCase& c = GetParam();
    Load(MakeTrack({{c.from, c.to}}), TrackMode::M);
    const double length = GeoDistance(c.from.lat, c.from.lon, c.to.lat, c.to.lon);
    Step();  // the hold
    fix.Speed = 0.5 / 3.6;
    for (int i = 0; i < 50; ++i) {
        const GeoPoint before{replay.TrackLatitude(), replay.TrackLongitude()};
        Step();
        EXPECT_NEAR(GeoDistance(before.Latitude, before.Longitude, replay.TrackLatitude(), replay.TrackLongitude()),
                    fix.Speed, 1e-9);
    }
    fix.Speed = length / 1000;
    int steps = 0;
    while (replay.Point() == 1 && steps < 2000) {
        const GeoPoint before{replay.TrackLatitude(), replay.TrackLongitude()};
        Step();
        ++steps;
        if (replay.Point() == 1) {
            EXPECT_NEAR(GeoDistance(before.Latitude, before.Longitude, replay.TrackLatitude(), replay.TrackLongitude()),
                        fix.Speed, 1e-6 * fix.Speed);
        }
    }
    EXPECT_NEAR(steps, 1000, 30);
    ExpectOnPoint(2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MModeLongLegs,
    ::testing::Values(LongLegCase{"FortyDegreesNorthward", {0, -1, 0, -40}, {0, -1, 0, 0}},
                      LongLegCase{"ThousandKilometresNorthward", {121, -1, 0, 20}, {121, -1, 0, 29}},
                      LongLegCase{"DiagonalAcrossFiftyDegrees", {-20, -1, 0, 10}, {40, -1, 0, 60}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, SModeFollowsTimeScaledByRatio)
{
    Load(MakeTrack({Line(6)}), TrackMode::S);
    replay.SetSpeedRatio(2);
    replay.UpdateReplaySpeed();
    EXPECT_NEAR(replay.TrackSpeed(), Leg / 10, 1e-9);
    EXPECT_NEAR(fix.Speed, 2 * Leg / 10, 1e-9);
    Step();  // the hold
    EXPECT_DOUBLE_EQ(replay.TrackTime().value_or(-1), 1000);
    Step();
    EXPECT_EQ(replay.Point(), 1);
    EXPECT_NEAR(replay.TrackLongitude(), 0.2 * Spacing, 1e-12);
    EXPECT_NEAR(replay.TrackTime().value_or(-1), 1002, 1e-9);
    for (int i = 0; i < 5; ++i)
        Step();
    EXPECT_EQ(replay.Point(), 2);
    EXPECT_NEAR(replay.TrackLongitude(), 1.2 * Spacing, 1e-9);
    EXPECT_NEAR(replay.TrackTime().value_or(-1), 1012, 1e-9);
    EXPECT_DOUBLE_EQ(fix.Altitude, 20);
    EXPECT_TRUE(host.Messages.empty()) << "a timed track gives no warning";
}

TEST_F(ReplayTest, SModeRatioZeroStandsStillWithSpeedZero)
{
    Load(MakeTrack({Line(6)}), TrackMode::S);
    replay.SetSpeedRatio(0);
    Step();
    Step();
    Step();
    ExpectOnPoint(1);
    EXPECT_EQ(fix.Speed, 0);
}

struct PointwiseCase {
    const char* name;
    std::vector<PointSpec> points;
    bool untimed = false;  // the user is told once that mode S cannot follow the track's time
};

class SModePointByPoint : public ReplayTest, public ::testing::WithParamInterface<PointwiseCase> {};

TEST_P(SModePointByPoint, AdvancesOnePointPerStep)
{
    Load(MakeTrack({GetParam().points}), TrackMode::S);
    Step();
    Step();
    ExpectOnPoint(2);
    EXPECT_TRUE(replay.PositionHold() == false);
    replay.SetTrackMode(TrackMode::S);  // chosen again: said once already
    ASSERT_EQ(host.Messages.size(), GetParam().untimed ? 1u : 0u);
    if (GetParam().untimed) {
        EXPECT_EQ(host.Messages[0].Caption, "警告");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SModePointByPoint,
    ::testing::Values(PointwiseCase{"LegOf4000Seconds", {{0, 0}, {Spacing, 4000}, {2 * Spacing, 4010}, {3 * Spacing, 4020}}},
                    PointwiseCase{"NoTimes", Line(4, 0, -1), true},
                    PointwiseCase{"TimeStepBelowMinimum", {{0, 0}, {Spacing, 0.05}, {2 * Spacing, 10}, {3 * Spacing, 20}}},
                    PointwiseCase{"LegShorterThanOneCentimetre",
                                  {{0, 0}, {1e-8, 10}, {2 * Spacing, 20}, {3 * Spacing, 30}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, SModeReplaysTheLastLegOfASegmentOnItsTime)
{
    Load(MakeTrack({Line(3), Line(3, 0.01)}), TrackMode::S);
    replay.SetSpeedRatio(3);
    replay.GoToTrackPoint(1, 2);
    Step();  // the hold
    for (double f : {0.3, 0.6, 0.9}) {  // 3 s per step into the segment's last 10 s leg
        EXPECT_FALSE(Step());
        EXPECT_EQ(replay.Point(), 2);
        EXPECT_NEAR(replay.TrackLongitude(), (1 + f) * Spacing, 1e-12);
        EXPECT_NEAR(fix.Speed, 3 * Leg / 10, 1e-9);
    }
    EXPECT_FALSE(Step());  // past the leg's end time: lands on the segment's last point
    ExpectOnPoint(3);
    EXPECT_FALSE(Step());
    EXPECT_EQ(replay.Track(), 2);
    ExpectOnPoint(4);
}

TEST_F(ReplayTest, ToggleReverseInPOnPointKeepsThePoint)
{
    Load(MakeTrack({Line(10)}), TrackMode::P);
    replay.GoToTrackPoint(1, 3);
    replay.SetLateralOffset(5);
    replay.ToggleReverse();
    EXPECT_TRUE(replay.Reversed());
    EXPECT_EQ(replay.Point(), 8);
    EXPECT_EQ(replay.PointInTrack(), 8);
    EXPECT_DOUBLE_EQ(store.ActivePoints()[7].Longitude, 2 * Spacing);
    EXPECT_EQ(replay.LateralOffset(), -5);
    EXPECT_DOUBLE_EQ(fix.Course, 270);
    EXPECT_EQ(host.Refreshes.back(), 1);
}

TEST_F(ReplayTest, ToggleReverseInMBetweenPointsTakesPointBehind)
{
    Load(MakeTrack({Line(10)}), TrackMode::M);
    replay.GoToTrackPoint(1, 3);
    fix.Speed = 0.5 * Leg;
    Step();
    Step();
    ASSERT_EQ(replay.Point(), 3);
    const double lon = replay.TrackLongitude();
    fix.Course = 180;
    replay.ToggleReverse();
    EXPECT_EQ(replay.Point(), 7);
    EXPECT_EQ(replay.PointInTrack(), 7);
    EXPECT_EQ(replay.TrackLongitude(), lon);
    EXPECT_EQ(fix.Course, 360);
    Step();  // half a leg on: reaches forward point 3, which is reversed point 8
    EXPECT_NEAR(replay.TrackLongitude(), 2 * Spacing, 1e-12);
}

TEST_F(ReplayTest, ToggleReverseOnLastPointOfInnerSegmentStaysOnIt)
{
    Load(MakeTrack({Line(5), Line(3, 0.01)}), TrackMode::M);
    replay.GoToTrackPoint(1, 5);
    replay.ToggleReverse();
    EXPECT_EQ(replay.Track(), 2);
    EXPECT_EQ(replay.PointInTrack(), 1);
    EXPECT_EQ(replay.Point(), 4);
    EXPECT_EQ(store.ActiveSegments()[1].FirstPoint, 4);
}

TEST_F(ReplayTest, SnapByPointOrByLeg)
{
    Load(MakeTrack({Line(5), Line(3, 0.0065)}), TrackMode::P);
    replay.SnapToTrack(0.0002, 3.1 * Spacing);
    EXPECT_EQ(replay.Point(), 4);
    EXPECT_DOUBLE_EQ(replay.TrackLatitude(), 0);
    EXPECT_DOUBLE_EQ(replay.TrackLongitude(), 3 * Spacing);
    EXPECT_FALSE(replay.TrackBusy());

    settings.LastTrackMode = 2;
    replay.SnapToTrack(0.0002, 3.5 * Spacing);
    EXPECT_EQ(replay.Point(), 4);
    EXPECT_DOUBLE_EQ(replay.TrackLongitude(), 3.5 * Spacing);
    EXPECT_DOUBLE_EQ(replay.TrackLatitude(), 0);

    // Between the segments: the gap from point 5 to point 6 is no leg.
    replay.SnapToTrack(0, 0.0051);
    EXPECT_EQ(replay.Point(), 4);
    EXPECT_DOUBLE_EQ(replay.TrackLongitude(), 4 * Spacing);
}

TEST_F(ReplayTest, ModeFromFreeSnapsByPreviousModeAndRecordsIt)
{
    Load(MakeTrack({Line(10)}), TrackMode::P);
    replay.SetTrackMode(TrackMode::Free);
    EXPECT_EQ(replay.Mode(), TrackMode::Free);
    EXPECT_EQ(settings.LastTrackMode, 1);
    fix.Latitude = 0.0001;
    fix.Longitude = 5.4 * Spacing;
    replay.SetTrackMode(TrackMode::M);
    EXPECT_EQ(replay.Mode(), TrackMode::M);
    EXPECT_EQ(settings.LastTrackMode, 2);
    EXPECT_EQ(replay.Point(), 6);  // nearest point, not the projection
    EXPECT_DOUBLE_EQ(replay.TrackLongitude(), 5 * Spacing);
}

TEST_F(ReplayTest, CommandsDoNothingWithoutTrackOrInFree)
{
    replay.SetTrackMode(TrackMode::P);
    EXPECT_EQ(replay.Mode(), TrackMode::Free);
    replay.SelectSegment();
    bool finished = false;
    replay.ReplayStep(finished, false);
    replay.SnapToTrack(1, 1);
    Load(MakeTrack({Line(3)}), TrackMode::P);
    replay.SetTrackMode(TrackMode::Free);
    replay.ToggleReverse();
    replay.SetLoopMode(LoopMode::FileLoop);
    EXPECT_FALSE(replay.Reversed());
    EXPECT_EQ(replay.Loop(), LoopMode::NoLoop);
    EXPECT_TRUE(host.Messages.empty());
}

TEST_F(ReplayTest, LateralOffsetIsToTheRightOfCourse)
{
    Load(MakeTrack({Line(2)}), TrackMode::P);
    replay.SetLateralOffset(10);
    fix.Course = 0;
    replay.ApplyLateralOffset();
    EXPECT_NEAR(fix.Latitude, 0, 1e-15);
    EXPECT_NEAR(GeoDistance(0, replay.TrackLongitude(), 0, fix.Longitude), 10, 1e-6);
    EXPECT_GT(fix.Longitude, replay.TrackLongitude());
}

struct SegmentMoveCase {
    const char* name;
    LoopMode loop;
    bool next;
    int from;
    int to;
};

class SegmentMoves : public ReplayTest, public ::testing::WithParamInterface<SegmentMoveCase> {};

TEST_P(SegmentMoves, GoToFirstPointOfTarget)
{
    const SegmentMoveCase& c = GetParam();
    Load(MakeTrack({Line(3), Line(3, 0.01), Line(3, 0.02)}), TrackMode::P);
    replay.SetLoop(c.loop);
    replay.GoToTrackPoint(c.from, 2);
    c.next ? replay.NextSegment() : replay.PreviousSegment();
    EXPECT_EQ(replay.Track(), c.to);
    EXPECT_EQ(replay.PointInTrack(), c.from == c.to ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SegmentMoves,
                         ::testing::Values(SegmentMoveCase{"NextNoLoop", LoopMode::NoLoop, true, 1, 2},
                                         SegmentMoveCase{"NextNoLoopAtLastStays", LoopMode::NoLoop, true, 3, 3},
                                         SegmentMoveCase{"NextFileLoopWraps", LoopMode::FileLoop, true, 3, 1},
                                         SegmentMoveCase{"NextSegmentLoopAtLastStays", LoopMode::SegmentLoop, true, 3, 3},
                                         SegmentMoveCase{"PreviousNoLoopAtFirstStays", LoopMode::NoLoop, false, 1, 1},
                                         SegmentMoveCase{"PreviousFileLoopWraps", LoopMode::FileLoop, false, 1, 3},
                                         SegmentMoveCase{"PreviousSegmentLoop", LoopMode::SegmentLoop, false, 3, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, SelectSegmentInFreeMovesFixToSegmentStart)
{
    Load(MakeTrack({Line(3), {{0.01, -1}, {0.01, -1}, {0.011, -1}}}), TrackMode::P);
    replay.SetTrackMode(TrackMode::Free);
    fix.Course = 33;
    host.SegmentAnswer = 1;
    replay.SelectSegment();
    EXPECT_EQ(replay.Mode(), TrackMode::Free);
    EXPECT_EQ(replay.Track(), 2);
    EXPECT_DOUBLE_EQ(fix.Longitude, 0.01);
    EXPECT_DOUBLE_EQ(fix.Altitude, 40);
    EXPECT_DOUBLE_EQ(fix.Course, 33);  // first leg has two equal points
    EXPECT_EQ(host.SegmentRows.size(), 2u);
    EXPECT_EQ(host.SegmentSummary, "2段航迹，共6点，0.3Km");
    EXPECT_FALSE(replay.TrackBusy());

    host.SegmentAnswer.reset();  // Cancel
    const auto refreshes = host.Refreshes.size();
    replay.GoToTrackPoint(1, 2);
    replay.SelectSegment();
    EXPECT_EQ(replay.Track(), 1);
    EXPECT_EQ(host.Refreshes.size(), refreshes);
}

struct IntervalCase {
    const char* name;
    std::array<bool, 4> active;
    std::array<int, 4> interval;
    std::array<bool, 4> open;
    int expected;
};

class StepIntervalRules : public ReplayTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(StepIntervalRules, FirstRuleThatApplies)
{
    const IntervalCase& c = GetParam();
    for (int k = 0; k < 4; ++k) {
        settings.Outputs[k].Active = c.active[k];
        settings.Outputs[k].Interval = c.interval[k];
        if (c.open[k] && k == 0)
            outputs[0].LinkUp = true;
        else if (c.open[k])
            outputs[k].OpenPort = std::make_unique<FakePort>();
    }
    replay.UpdateStepInterval();
    EXPECT_EQ(replay.StepInterval(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepIntervalRules,
    ::testing::Values(
        IntervalCase{"OpenSerialFirst", {true, true, false, false}, {300, 500, 200, 700}, {true, false, true, false}, 200},
        IntervalCase{"OpenLinkNext", {true, true, false, false}, {300, 500, 200, 700}, {true, false, false, false}, 300},
        IntervalCase{"ActiveSerial", {true, false, false, true}, {300, 500, 200, 700}, {false, false, false, false}, 700},
        IntervalCase{"ActiveLink", {true, false, false, false}, {400, 500, 200, 700}, {false, false, false, false}, 400},
        IntervalCase{"Default", {false, false, false, false}, {400, 500, 200, 700}, {false, false, false, false}, 1000},
        IntervalCase{"ZeroFromBadFileIsRaised", {false, true, false, false}, {400, 0, 200, 700}, {}, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, BadIndexIsReportedAndReplayLeftOnValidPoint)
{
    Load(MakeTrack({Line(10)}), TrackMode::M);
    EXPECT_EQ(replay.GetTrackPointArray(10), nullptr);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "GetTrackPointArray(10)\nm_nPoint=1, m_nPoints=10\nm_nPointInTrack=1, "
                                     "m_nPointsInTrack=10\nm_nTrack=1, m_nTracks=1");

    ReplaySnapshot broken = replay.Save();
    broken.Point = 20;
    broken.PointInTrack = 3;
    broken.PositionHold = false;
    replay.Restore(broken);
    fix.Speed = 1;
    EXPECT_NO_THROW(Step());
    EXPECT_EQ(host.Messages.size(), 2u);
    EXPECT_EQ(host.Messages[1].Text.rfind("GetTrackPointArray(20)", 0), 0u);
    ExpectOnPoint(3);
    EXPECT_FALSE(replay.TrackBusy());
}

struct ProjectCase {
    const char* name;
    double lat, lon;
    double pLat, pLon, qLat, qLon;
    double xLat, xLon;
};

class ProjectOnLegCases : public ::testing::TestWithParam<ProjectCase> {};

TEST_P(ProjectOnLegCases, Projects)
{
    const ProjectCase& c = GetParam();
    TrackPoint p, q;
    p.Latitude = c.pLat;
    p.Longitude = c.pLon;
    q.Latitude = c.qLat;
    q.Longitude = c.qLon;
    const GeoPoint x = ProjectOnLeg(c.lat, c.lon, p, q);
    EXPECT_NEAR(x.Latitude, c.xLat, 1e-12);
    EXPECT_NEAR(x.Longitude, c.xLon, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProjectOnLegCases,
                         ::testing::Values(ProjectCase{"EastWestInside", 1, 0.5, 0, 0, 0, 1, 0, 0.5},
                                         ProjectCase{"EastWestClamped", 1, 2, 0, 0, 0, 1, 0, 1},
                                         ProjectCase{"NorthSouthClamped", -3, 5, 0, 5, 1, 5, 0, 5},
                                         ProjectCase{"DiagonalInside", 0, 1, 0, 0, 1, 1, 0.5, 0.5},
                                         ProjectCase{"DiagonalBeyondQ", 3, 3, 0, 0, 1, 1, 1, 1},
                                         ProjectCase{"DiagonalBeforeP", -2, -1, 0, 0, 1, 1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tolvex
