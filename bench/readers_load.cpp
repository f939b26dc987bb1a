// Loading GPX, KML, .plt and .trk files at scale. With "--write DIR" the program only writes the large
// files (a million points each) that bench/readers_vs_gpsbabel.sh feeds to tolvex and to gpsbabel.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "quiet_host.h"
#include "scratch.h"
#include "sim/host.h"
#include "tracks/reader.h"

namespace {

using bench::QuietHost;

constexpr long long StartTime = 1255262400;  // 2009-10-11T12:00:00Z

// A wavy line northwards, one point a second, about a metre apart: a million points stay well off
// the pole (at ten metres apart they would pass it and be dropped).
double Latitude(int i) { return 48.1 + i * 1e-5; }
double Longitude(int i) { return 11.5 + 0.01 * std::sin(i * 1e-3); }
double Altitude(int i) { return 500 + std::fmod(i * 0.1, 100.0); }

// lat, lon, ele and time for each point, in as many trk elements as asked.
void WriteGpx(const std::string& path, int points, int tracks)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n",
               f);
    const int perTrack = points / tracks;
    for (int t = 0; t < tracks; ++t) {
        std::fprintf(f, "<trk><name>Track %d</name><trkseg>\n", t + 1);
        for (int k = 0; k < perTrack; ++k) {
            const int i = t * perTrack + k;
            const long long s = StartTime + i;
            const long long day = 11 + (s - StartTime + 43200) / 86400;
            std::fprintf(f,
                         "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele>"
                         "<time>2009-10-%02lldT%02lld:%02lld:%02lldZ</time></trkpt>\n",
                         Latitude(i), Longitude(i), Altitude(i), day, s % 86400 / 3600, s % 3600 / 60, s % 60);
        }
        std::fputs("</trkseg></trk>\n", f);
    }
    std::fputs("</gpx>\n", f);
    std::fclose(f);
}

void WriteKml(const std::string& path, int points)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">"
               "<Document><Placemark><name>Bench</name><LineString><coordinates>\n",
               f);
    for (int i = 0; i < points; ++i)
        std::fprintf(f, "%.7f,%.7f,%.1f\n", Longitude(i), Latitude(i), Altitude(i));
    std::fputs("</coordinates></LineString></Placemark></Document></kml>\n", f);
    std::fclose(f);
}

// OziExplorer's header, then "lat,lon,break,feet,daynumber,date,time" per point.
void WritePlt(const std::string& path, int points)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
                    "0,2,255,Bench,0,0,2,8421376\r\n%d\r\n", points);
    constexpr double DayNumberOfStart = 40097.5;  // StartTime as days since 1899-12-30
    for (int i = 0; i < points; ++i)
        std::fprintf(f, "%.7f,%.7f,0,%.1f,%.7f,,\r\n", Latitude(i), Longitude(i), Altitude(i) / 0.3048,
                     DayNumberOfStart + i / 86400.0);
    std::fclose(f);
}

void Put(std::string& out, std::int64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(i < 8 ? static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF) : '\0');
}

// Blocks of one full record and 999 deltas: 1 m north and 1 s per delta.
void WriteTrk(const std::string& path, int points)
{
    constexpr int BlockPoints = 1000;
    std::string bytes;
    for (char c : std::string("SMG_TRACK"))
        bytes += {c, '\0'};
    bytes += std::string(2, '\0');
    Put(bytes, 258, 2);
    Put(bytes, 0, 2);
    for (int first = 0; first < points; first += BlockPoints) {
        const int count = std::min(BlockPoints, points - first);
        Put(bytes, 0, 4);
        Put(bytes, 11650000, 4);
        Put(bytes, 3990000 + first, 4);
        Put(bytes, 0, 4);
        for (int v : {2009, 5, 1, 8 + first / 3600 % 16, first / 60 % 60, first % 60})
            Put(bytes, v, 2);
        Put(bytes, 0, 4);
        Put(bytes, 50, 4);
        Put(bytes, 0, 4);
        Put(bytes, count, 4);
        Put(bytes, 0, 10);
        for (int k = 1; k < count; ++k) {
            for (int v : {0, 1, 0, 1000, 0})
                Put(bytes, v, 2);
        }
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string BenchFile(const std::string& name, void (*write)(const std::string&))
{
    const std::string path = bench::ScratchFolder() + "/" + name;
    if (access(path.c_str(), R_OK) != 0)
        write(path);
    return path;
}

void Load(benchmark::State& state, tolvex::TrackReader read, const std::string& path, int points)
{
    tolvex::Settings settings;
    QuietHost host;
    for (auto _ : state) {
        tolvex::ReadResult result = read(path, tolvex::ReaderContext{settings, host});
        if (!result || result.Track->Points.size() != static_cast<std::size_t>(points))
            state.SkipWithError("the file did not load whole");
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * points);
}

void LoadGpx(benchmark::State& state)
{
    Load(state, tolvex::ReadGpxFile, BenchFile("100k.gpx", [](const std::string& p) { WriteGpx(p, 100000, 10); }),
         100000);
}
BENCHMARK(LoadGpx)->Unit(benchmark::kMillisecond);

void LoadKml(benchmark::State& state)
{
    Load(state, tolvex::ReadKmlFile, BenchFile("100k.kml", [](const std::string& p) { WriteKml(p, 100000); }),
         100000);
}
BENCHMARK(LoadKml)->Unit(benchmark::kMillisecond);

void LoadPlt(benchmark::State& state)
{
    Load(state, tolvex::ReadPltFile, BenchFile("100k.plt", [](const std::string& p) { WritePlt(p, 100000); }),
         100000);
}
BENCHMARK(LoadPlt)->Unit(benchmark::kMillisecond);

void LoadTrk(benchmark::State& state)
{
    Load(state, tolvex::ReadTrkFile, BenchFile("1m.trk", [](const std::string& p) { WriteTrk(p, 1000000); }),
         1000000);
}
BENCHMARK(LoadTrk)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        const std::string dir = argv[2];
        WriteGpx(dir + "/big.gpx", 1000000, 10);
        WriteKml(dir + "/big.kml", 1000000);
        WritePlt(dir + "/big.plt", 1000000);
        WriteTrk(dir + "/big.trk", 1000000);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
