// gpsbabel as the independent peer: it writes the .plt we read and reads the NMEA we write.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;

struct TrackPointSpec {
    double lat, lon, ele;
    const char* time;
};

constexpr TrackPointSpec GpxPoints[] = {
    {31.230400, 121.473700, 12.3, "2009-10-11T12:00:00Z"},
    {31.231000, 121.474500, 13.0, "2009-10-11T12:00:10Z"},
    {31.232200, 121.475100, 14.0, "2009-10-11T12:00:20Z"},
    {31.233000, 121.476900, 15.0, "2009-10-11T12:00:30Z"},
    {31.234100, 121.477300, 16.0, "2009-10-11T12:00:40Z"},
    {31.234100, 121.479000, 16.5, "2009-10-11T12:00:50Z"},
};

struct CommandResult {
    int Status = -1;
    std::string Output;
};

CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.Output.append(buffer, n);
    const int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

using tolvex::e2e::ReadFile;

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

class ExportThroughGpsbabel : public testing::Test {
protected:
    void SetUp() override
    {
        if (RunCommand("command -v gpsbabel >/dev/null 2>&1").Status != 0)
            GTEST_SKIP() << "gpsbabel is not installed";
        char pattern[] = "/tmp/tolvex-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;

        std::string gpx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<gpx version=\"1.1\" creator=\"tolvex-test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                          "<trk><name>e2e</name><trkseg>\n";
        for (const TrackPointSpec& p : GpxPoints) {
            char line[256];
            std::snprintf(line, sizeof line, "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%.1f</ele><time>%s</time></trkpt>\n",
                          p.lat, p.lon, p.ele, p.time);
            gpx += line;
        }
        gpx += "</trkseg></trk></gpx>\n";
        if (std::FILE* f = std::fopen((m_dir / "in.gpx").c_str(), "wb")) {
            std::fputs(gpx.c_str(), f);
            std::fclose(f);
        }
        const auto made = RunCommand("gpsbabel -t -i gpx -f " + (m_dir / "in.gpx").string() + " -o ozi -F " +
                                     Plt().string() + " 2>&1");
        ASSERT_EQ(made.Status, 0) << made.Output;
        ASSERT_TRUE(fs::exists(Plt()));
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    fs::path Plt() const { return m_dir / "x.plt"; }
    CommandResult Export(const std::string& arguments)
    {
        return RunCommand(std::string(TOLVEX_BINARY) + " export " + Plt().string() + " --config " +
                          (m_dir / "none.ini").string() + " " + arguments + " 2>&1");
    }

    fs::path m_dir;
};

TEST_F(ExportThroughGpsbabel, OneGroupPerPointInModeP)
{
    const fs::path out = m_dir / "x.nmea";
    const auto result = Export("-o " + out.string() + " --mode P --start-time 2009-10-11T12:00:00Z");
    ASSERT_EQ(result.Status, 0) << result.Output;
    const auto lines = Split(ReadFile(out), '\n');
    const std::size_t n = std::size(GpxPoints);
    ASSERT_EQ(lines.size(), 4 * n);  // RMC, GGA, GSA, GSV per step
    const char* const order[] = {"$GPRMC", "$GPGGA", "$GPGSA", "$GPGSV"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, 6), order[i % 4]) << i;
        EXPECT_EQ(lines[i].back(), '\r') << i;
    }
    EXPECT_EQ(lines[0].substr(0, 17), "$GPRMC,120001.000");
    EXPECT_EQ(lines[4 * (n - 1)].substr(0, 17), "$GPRMC,120006.000");
}

TEST_F(ExportThroughGpsbabel, GpsbabelReadsThePointsBack)
{
    const fs::path out = m_dir / "rmc.nmea";
    const auto result = Export("-o " + out.string() + " --mode P --sentences RMC --start-time 2009-10-11T12:00:00Z");
    ASSERT_EQ(result.Status, 0) << result.Output;

    const auto csv = RunCommand("gpsbabel -t -i nmea -f " + out.string() + " -o unicsv -F - 2>&1");
    ASSERT_EQ(csv.Status, 0) << csv.Output;
    auto rows = Split(csv.Output, '\n');
    ASSERT_FALSE(rows.empty());
    const auto header = Split(rows[0], ',');
    rows.erase(rows.begin());
    ASSERT_EQ(rows.size(), std::size(GpxPoints)) << csv.Output;
    int latColumn = -1, lonColumn = -1, timeColumn = -1;
    for (std::size_t c = 0; c < header.size(); ++c) {
        if (header[c] == "Latitude")
            latColumn = static_cast<int>(c);
        if (header[c] == "Longitude")
            lonColumn = static_cast<int>(c);
        if (header[c].rfind("Time", 0) == 0)
            timeColumn = static_cast<int>(c);
    }
    ASSERT_GE(latColumn, 0);
    ASSERT_GE(lonColumn, 0);
    // Four decimals of minutes: 1/600000 degree.
    constexpr double Precision = 1.0 / 600000;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto fields = Split(rows[i], ',');
        EXPECT_NEAR(std::stod(fields[latColumn]), GpxPoints[i].lat, Precision) << rows[i];
        EXPECT_NEAR(std::stod(fields[lonColumn]), GpxPoints[i].lon, Precision) << rows[i];
        if (timeColumn >= 0) {
            char expected[16];
            std::snprintf(expected, sizeof expected, "12:00:%02zu", i + 1);
            EXPECT_EQ(fields[timeColumn].substr(0, 8), expected) << rows[i];
        }
    }
}

// A timed GPX comes back through gpsbabel with its own times: each point at its time and place.
TEST_F(ExportThroughGpsbabel, TrackTimesBringTheGpxBackWithItsTimes)
{
    const fs::path out = m_dir / "times.nmea";
    const auto result = RunCommand(std::string(TOLVEX_BINARY) + " export " + (m_dir / "in.gpx").string() + " -o " +
                                   out.string() + " --mode S --track-times --sentences RMC --config " +
                                   (m_dir / "none.ini").string() + " 2>&1");
    ASSERT_EQ(result.Status, 0) << result.Output;
    const auto csv = RunCommand("gpsbabel -t -i nmea -f " + out.string() + " -o unicsv,utc=0 -F - 2>&1");
    ASSERT_EQ(csv.Status, 0) << csv.Output;
    auto rows = Split(csv.Output, '\n');
    for (std::string& row : rows)
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
    ASSERT_GT(rows.size(), 2u) << csv.Output;
    const auto header = Split(rows[0], ',');
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::size_t lat = column("Latitude"), lon = column("Longitude"), date = column("Date"), time = column("Time");
    ASSERT_LT(std::max({lat, lon, date, time}), header.size()) << rows[0];
    std::size_t matched = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto fields = Split(rows[r], ',');
        EXPECT_EQ(fields[date], "2009/10/11") << rows[r];
        for (const TrackPointSpec& p : GpxPoints) {
            if (fields[time].substr(0, 8) != std::string(p.time).substr(11, 8)) continue;
            EXPECT_NEAR(std::stod(fields[lat]), p.lat, 1.0 / 600000) << rows[r];
            EXPECT_NEAR(std::stod(fields[lon]), p.lon, 1.0 / 600000) << rows[r];
            ++matched;
        }
    }
    EXPECT_EQ(matched, std::size(GpxPoints)) << csv.Output;
    EXPECT_EQ(rows.size(), 1u + 51u) << "one record a second from 12:00:00 to 12:00:50";
    EXPECT_EQ(Split(rows[1], ',')[time].substr(0, 8), "12:00:00") << "no one-step shift";
}

TEST_F(ExportThroughGpsbabel, FailuresExitNonZeroWithMessage)
{
    struct Case {
        const char* name;
        std::string arguments;
        const char* message;
    } cases[] = {
        {"unwritable output", "-o /nonexistent-dir/x.nmea --mode P", "无法写入文件：\n/nonexistent-dir/x.nmea"},
        {"full device", "-o /dev/full --mode P", "无法写入文件：\n/dev/full"},
        {"M with speed 0", "-o " + (m_dir / "m.nmea").string() + " --mode M --speed 0",
         "手控速度航迹模式（M模式），且速度为0时，无法产生NMEA文件！"},
        {"segment beyond the track", "-o " + (m_dir / "s.nmea").string() + " --segment 2", "--segment 2"},
        {"unknown sentence", "-o " + (m_dir / "u.nmea").string() + " --sentences RMC,XYZ", "--sentences"},
    };
    for (const Case& c : cases) {
        const auto result = Export(c.arguments);
        EXPECT_NE(result.Status, 0) << c.name;
        EXPECT_NE(result.Output.find(c.message), std::string::npos) << c.name << ": " << result.Output;
    }
    EXPECT_FALSE(fs::exists(m_dir / "m.nmea"));
}

TEST_F(ExportThroughGpsbabel, InfoListsTheSegment)
{
    const auto result = RunCommand(std::string(TOLVEX_BINARY) + " info " + Plt().string() + " --format 1 --config " +
                                   (m_dir / "none.ini").string() + " 2>&1");
    ASSERT_EQ(result.Status, 0) << result.Output;
    const auto lines = Split(result.Output, '\n');
    ASSERT_EQ(lines.size(), 2u) << result.Output;
    EXPECT_EQ(lines[0].rfind("  1: 6 points, ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" km, from  31°13.8240'  121°28.4220'"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("1 segment, 6 points, ", 0), 0u) << lines[1];
}

// The export, its NMEA log read back as a track, and gpsbabel's own NMEA writer: three writers,
// one track; info says what the log reader skipped.
TEST_F(ExportThroughGpsbabel, NmeaLogsFromBothWritersLoadBack)
{
    const fs::path ours = m_dir / "ours.nmea";
    ASSERT_EQ(Export("-o " + ours.string() + " --mode P --sentences GGA,GLL,VTG").Status, 0);
    const fs::path theirs = m_dir / "theirs.log";
    ASSERT_EQ(RunCommand("gpsbabel -i gpx -f " + (m_dir / "in.gpx").string() + " -o nmea -F " + theirs.string()).Status,
              0);
    for (const fs::path& log : {ours, theirs}) {
        const auto result = RunCommand(std::string(TOLVEX_BINARY) + " info " + log.string() + " --format 1 --config " +
                                       (m_dir / "none.ini").string() + " 2>&1");
        ASSERT_EQ(result.Status, 0) << result.Output;
        const auto lines = Split(result.Output, '\n');
        ASSERT_GE(lines.size(), 2u) << result.Output;
        EXPECT_NE(lines[0].find("6 points"), std::string::npos) << log << ": " << lines[0];
        EXPECT_NE(lines[0].find("from  31°13.8240'  121°28.4220'"), std::string::npos) << lines[0];
    }
    const auto multi = RunCommand(std::string(TOLVEX_BINARY) + " info " + TOLVEX_TEST_DATA +
                                  "/nmea/multi_talker.nmea --config " + (m_dir / "none.ini").string() + " 2>&1");
    EXPECT_NE(multi.Output.find("\n3 segments, 11 points, "), std::string::npos) << multi.Output;
    EXPECT_NE(multi.Output.find("skipped: 1 line with a missing or wrong checksum, 4 lines without a valid fix, "
                                "1 unreadable fix line\n"),
              std::string::npos)
        << multi.Output;
}

}  // namespace
