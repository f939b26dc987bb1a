#include "nmea/export.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/fakes.h"
#include "tracks/reader.h"
#include "tracks/temp_file.h"

namespace tolvex {
namespace {

using FakeHost = testing::RecordingHost;
using test::TempFile;

// Segments of points 0.001 degrees apart going north from (30, 120), 10 s apart.
BuiltTrack MakeTrack(const std::vector<int>& segmentSizes)
{
    SegmentBuilder b(2, 0);
    int n = 0;
    for (int size : segmentSizes) {
        for (int i = 0; i < size; ++i, ++n) {
            TrackPoint p;
            p.Latitude = 30 + 0.001 * n;
            p.Longitude = 120;
            p.Altitude = n;
            p.Time = 1000 + 10.0 * n;
            p.Flags = HasTime | HasAltitude | (i == 0 ? SegmentStart : 0);
            b.AddTrackPoint(p);
        }
        b.CloseSegment();
    }
    return *b.CommitTrack();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string Field(const std::string& sentence, int index)
{
    std::size_t start = 0;
    for (int i = 0; i < index; ++i)
        start = sentence.find(',', start) + 1;
    return sentence.substr(start, sentence.find_first_of(",*", start) - start);
}

int Seconds(const std::string& rmc)  // seconds of the day in the time field
{
    const std::string t = Field(rmc, 1);
    return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(2, 2)) * 60 + std::stoi(t.substr(4, 2));
}

class Export : public ::testing::Test {
protected:
    void Load(const std::vector<int>& sizes, TrackMode mode = TrackMode::P)
    {
        settings.LastTrackMode = static_cast<int>(mode);
        store.Install(MakeTrack(sizes));
        replay.StartNewTrack();
    }
    std::vector<std::string> Run(const ExportOptions& options)
    {
        TempFile file(".nmea");
        const auto status = exporter.SaveAs(file.Path(), options);
        EXPECT_EQ(status, "已存为" + file.Path());
        return Lines(test::ReadAll(file.Path()));
    }
    static ExportOptions RmcOnly(int segment = 0)
    {
        ExportOptions options;
        options.Sentences = {true, false, false, false, false, false};
        options.Segment = segment;
        return options;
    }

    SimFix fix;
    Settings settings;
    OutputTable outputs{};
    FakeHost host;
    TrackStore store;
    bool exportRunning = false;
    RunState runState = RunState::Running;
    FixClock clock;
    testing::FakeCalendar calendar;  // 2009-06-15 08:30:05 UTC
    Replay replay{fix, settings, outputs, host, store, exportRunning};
    NmeaExport exporter{replay, fix, settings, runState, clock, calendar, exportRunning, host};
};

TEST_F(Export, PModeGivesOneRmcPerPointOneSecondApart)
{
    Load({10});
    const auto lines = Run(RmcOnly());
    ASSERT_EQ(lines.size(), 10u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("$GPRMC,", 0), 0u) << lines[i];
        EXPECT_EQ(Seconds(lines[i]), 8 * 3600 + 30 * 60 + 5 + 1 + static_cast<int>(i)) << lines[i];
    }
    EXPECT_EQ(Field(lines[0], 3), "3000.0000");
    EXPECT_EQ(Field(lines[9], 3), "3000.5400");  // 30.009 degrees
    EXPECT_EQ(clock.ExportSentenceCount, 10);
    EXPECT_FALSE(exportRunning);
}

// The log reader takes our own logs back: every selection with RMC or GGA gives the track's
// points again, at the precision the sentences print (4 decimals of a minute, 0.1 m).
TEST_F(Export, EveryLogWithRmcOrGgaLoadsBackAsTheTrack)
{
    Load({10});
    const std::vector<TrackPoint> want(store.ForwardPoints().begin(), store.ForwardPoints().end());
    for (int mask = 1; mask < 1 << SentenceCount; ++mask) {
        ExportOptions options;
        for (int s = 0; s < SentenceCount; ++s)
            options.Sentences[static_cast<std::size_t>(s)] = (mask >> s & 1) != 0;
        const bool rmc = options.Sentences[0], gga = options.Sentences[1];
        if (!rmc && !gga)
            continue;
        TempFile file(".nmea");
        ASSERT_TRUE(exporter.SaveAs(file.Path(), options));
        const ReadResult back = ReadNmeaLogFile(file.Path(), {settings, host});
        ASSERT_TRUE(back) << "selection " << mask;
        const auto& got = back.Track->Points;
        ASSERT_EQ(got.size(), want.size()) << "selection " << mask;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].Latitude, want[i].Latitude, 1e-6) << "selection " << mask << " point " << i;
            EXPECT_NEAR(got[i].Longitude, want[i].Longitude, 1e-6) << "selection " << mask << " point " << i;
            EXPECT_EQ((got[i].Flags & HasAltitude) != 0, gga) << "selection " << mask;
            if (gga) {
                EXPECT_NEAR(got[i].Altitude, want[i].Altitude, 0.05) << "selection " << mask << " point " << i;
            }
            if (i > 0) {
                EXPECT_EQ(got[i].Time - got[i - 1].Time, 1) << "selection " << mask;
            }
        }
    }
}

TEST_F(Export, SentencesInFixedOrderPerStep)
{
    Load({3});
    ExportOptions all;
    all.Sentences = {true, true, true, true, true, true};
    const auto lines = Run(all);
    ASSERT_EQ(lines.size(), 18u);
    const char* const order[] = {"$GPRMC", "$GPGGA", "$GPGSA", "$GPGSV", "$GPGLL", "$GPVTG"};
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, 6), order[i % 6]) << i;
}

TEST_F(Export, SingleSegmentRunStartsAtItsFirstPointAndStopsAtItsEnd)
{
    Load({4, 3, 5});
    const auto lines = Run(RmcOnly(2));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Field(lines[0], 3), "3000.2400");  // point 5: 30.004
    EXPECT_EQ(Field(lines[2], 3), "3000.3600");  // point 7: 30.006
}

TEST_F(Export, AllSegmentsInOrder)
{
    Load({4, 3, 5});
    const auto lines = Run(RmcOnly());
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(Field(lines[11], 3), "3000.6600");
}

TEST_F(Export, ReversedExportFollowsReversedTrack)
{
    Load({4, 3});
    replay.ToggleReverse();
    const auto lines = Run(RmcOnly(1));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Field(lines[0], 3), "3000.3600");  // the last point of the file first
    EXPECT_EQ(Field(lines[0], 8), "180.0");
}

TEST_F(Export, SecondExportContinuesTheClock)
{
    Load({3});
    const auto first = Run(RmcOnly());
    const auto second = Run(RmcOnly());
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(Seconds(second[0]), Seconds(first.back()) + 1);
}

TEST_F(Export, StartTimeAndTimeSettingsShapeTheStamps)
{
    Load({4});
    clock.FixClockStart = 1255262400;  // 2009-10-11 12:00:00
    settings.GPSTimeFactor = 0.5;
    settings.GPSTimeOffset = 8;
    const auto lines = Run(RmcOnly());
    ASSERT_EQ(lines.size(), 4u);
    const int expected[] = {20 * 3600, 20 * 3600 + 1, 20 * 3600 + 1, 20 * 3600 + 2};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Seconds(lines[i]), expected[i]) << lines[i];
    EXPECT_EQ(Field(lines[0], 9), "111009");
}

TEST_F(Export, StateIsRestoredAfterwards)
{
    Load({4, 3, 5}, TrackMode::M);
    fix.Speed = 30;
    replay.SetLoop(LoopMode::SegmentLoop);
    replay.SetLateralOffset(3);
    replay.GoToTrackPoint(2, 2);
    bool finished = false;
    replay.ReplayStep(finished, false);
    replay.ReplayStep(finished, false);  // between two points
    const ReplaySnapshot before = replay.Save();
    const SimFix fixBefore = fix;

    const auto lines = Run(RmcOnly());
    EXPECT_GT(lines.size(), 12u);

    const ReplaySnapshot after = replay.Save();
    EXPECT_EQ(fix.Latitude, fixBefore.Latitude);
    EXPECT_EQ(fix.Longitude, fixBefore.Longitude);
    EXPECT_EQ(fix.Altitude, fixBefore.Altitude);
    EXPECT_EQ(fix.Course, fixBefore.Course);
    EXPECT_EQ(fix.Speed, fixBefore.Speed);
    EXPECT_EQ(after.Point, before.Point);
    EXPECT_EQ(after.PointInTrack, before.PointInTrack);
    EXPECT_EQ(after.Track, before.Track);
    EXPECT_EQ(after.TrackLatitude, before.TrackLatitude);
    EXPECT_EQ(after.StepInterval, before.StepInterval);
    EXPECT_EQ(after.Loop, LoopMode::SegmentLoop);
    EXPECT_FALSE(exportRunning);
}

TEST_F(Export, LongRunReportsProgressOnTheWay)
{
    Load({40000});
    std::vector<int> points;
    exporter.Progress = [&](int point, int total) {
        EXPECT_EQ(total, 40000);
        points.push_back(point);
        return true;
    };
    Run(RmcOnly());
    EXPECT_EQ(points, (std::vector<int>{16384, 32768}));
}

TEST_F(Export, PausedExportReportsSpeedZero)
{
    Load({3});
    runState = RunState::Paused;
    const auto lines = Run(RmcOnly());
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines)
        EXPECT_EQ(Field(line, 7), "0.00");
}

struct SpeedCase {
    const char* name;
    TrackMode mode;
    double speedKmh;
    double ratio;
    bool answer;
    bool allowed;
    const char* message;   // shown, or empty
    bool asked;
};

class ExportSpeedChecks : public Export, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(ExportSpeedChecks, RefuseOrAsk)
{
    const SpeedCase& c = GetParam();
    Load({3}, c.mode);
    fix.Speed = c.speedKmh / KmhPerMps;
    replay.SetSpeedRatio(c.ratio);
    host.YesNoAnswer = c.answer;
    EXPECT_EQ(exporter.CheckSpeed(), c.allowed);
    EXPECT_EQ(host.Messages.size(), *c.message ? 1u : 0u);
    if (*c.message) {
        EXPECT_EQ(host.Messages[0].Text, c.message);
    }
    EXPECT_EQ(host.Questions.size(), c.asked ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportSpeedChecks,
    ::testing::Values(
        SpeedCase{"MSpeedZero", TrackMode::M, 0, 1, true, false,
                  "手控速度航迹模式（M模式），且速度为0时，无法产生NMEA文件！", false},
        SpeedCase{"MSlowDeclined", TrackMode::M, 0.5, 1, false, false, "", true},
        SpeedCase{"MSlowAccepted", TrackMode::M, 0.5, 1, true, true, "", true},
        SpeedCase{"MOneKmh", TrackMode::M, 1, 1, false, true, "", false},
        SpeedCase{"PSpeedZero", TrackMode::P, 0, 1, false, true, "", false},
        SpeedCase{"SRatioZero", TrackMode::S, 10, 0, true, false,
                  "时间驱动航迹模式（S模式），且速度比例为0时，无法产生NMEA文件！", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Export, FileThatCannotBeCreatedIsReported)
{
    Load({3});
    const ReplaySnapshot before = replay.Save();
    EXPECT_FALSE(exporter.SaveAs("/nonexistent-dir/x.nmea", RmcOnly()));
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "无法写入文件：\n/nonexistent-dir/x.nmea");
    EXPECT_EQ(host.Messages[0].Caption, "错误");
    EXPECT_EQ(replay.Save().Point, before.Point);
    EXPECT_FALSE(clock.FixClockStart.has_value());
}

TEST_F(Export, FullDeviceIsReportedNotSaved)
{
    Load({3000});
    EXPECT_FALSE(exporter.SaveAs("/dev/full", RmcOnly()));
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "无法写入文件：\n/dev/full");
    struct stat info {};
    EXPECT_EQ(stat("/dev/full", &info), 0);  // a device is never removed
    EXPECT_FALSE(exportRunning);
}

// Files beside the given path that an export may have left ("<path>.XXXXXX").
std::vector<std::string> Leftovers(const std::string& path)
{
    std::vector<std::string> found;
    const std::filesystem::path p(path);
    for (const auto& entry : std::filesystem::directory_iterator(p.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(p.filename().string() + ".", 0) == 0) found.push_back(name);
    }
    return found;
}

TEST_F(Export, WriteFailureKeepsTheOlderFileAndLeavesNoPartialOne)
{
    Load({5000});
    TempFile file(".nmea", "older records\n");
    // A file size limit makes the writes fail part-way, as a full disk would.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto status = exporter.SaveAs(file.Path(), RmcOnly());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(status);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "无法写入文件：\n" + file.Path());
    EXPECT_EQ(test::ReadAll(file.Path()), "older records\n");
    EXPECT_TRUE(Leftovers(file.Path()).empty());
}

TEST_F(Export, CancelKeepsTheOlderFileAndSuccessReplacesIt)
{
    Load({40000});
    TempFile file(".nmea", "older records\n");
    int calls = 0;
    exporter.Progress = [&](int, int) { return ++calls < 2; };
    EXPECT_FALSE(exporter.SaveAs(file.Path(), RmcOnly()));
    EXPECT_TRUE(exporter.Cancelled());
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(host.Messages.empty());  // the user asked for it: nothing to report
    EXPECT_EQ(test::ReadAll(file.Path()), "older records\n");
    EXPECT_TRUE(Leftovers(file.Path()).empty());
    EXPECT_FALSE(exportRunning);

    exporter.Progress = nullptr;
    ASSERT_TRUE(exporter.SaveAs(file.Path(), RmcOnly()));
    EXPECT_FALSE(exporter.Cancelled());
    const std::string written = test::ReadAll(file.Path());
    EXPECT_EQ(written.rfind("$GPRMC,", 0), 0u);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 40000);
    EXPECT_TRUE(Leftovers(file.Path()).empty());
}

TEST_F(Export, AReplacedFileKeepsItsModeAndAFolderWithoutRoomIsWrittenInPlace)
{
    Load({20});
    char folderName[] = "/tmp/tolvex-export-XXXXXX";
    ASSERT_NE(::mkdtemp(folderName), nullptr);
    const std::string folder = folderName;
    const std::string path = folder + "/track.nmea";
    std::ofstream(path) << "older records\n";
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(exporter.SaveAs(path, RmcOnly()));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // The folder refuses new files (root is made nobody for that); the file itself takes writes.
    ::chmod(path.c_str(), 0666);
    ::chmod(folder.c_str(), 0555);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(exporter.SaveAs(path, RmcOnly()) && host.Messages.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    const std::string written = test::ReadAll(path);
    std::filesystem::remove_all(folder);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop root here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(written.rfind("$GPRMC,", 0), 0u);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 20);
}

}  // namespace
}  // namespace tolvex
