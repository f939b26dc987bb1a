// Loading a log of a million fixes (RMC and GGA each, 141 MB): the processor time of the best of
// three loads (the wall time too, which other programs on a busy machine stretch), and the heap a
// point needs at the peak of loading (everything the reader holds: pieces of text, lines, points)
// and once loaded. Targets: under 1 s, within 100 bytes a point at the peak.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "quiet_host.h"
#include "tracks/reader.h"

namespace {

std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void Count(void* p)
{
    const long long now = g_live += static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak;
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

constexpr int Fixes = 1000000;

// One fix a second heading north-east at 36 km/h, its checksums computed as a receiver would.
void WriteLog(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    char body[128];
    auto sentence = [&](int length) {
        unsigned sum = 0;
        for (int i = 0; i < length; ++i) sum ^= static_cast<unsigned char>(body[i]);
        std::fprintf(f, "$%s*%02X\r\n", body, sum);
    };
    for (int i = 0; i < Fixes; ++i) {
        const long long s = 1255262400LL + i;
        const int day = static_cast<int>(s / 86400 - 14528 + 11);  // 2009-10-11 onwards, within October
        const int hms = static_cast<int>(s % 86400);
        const double minutes = 7.038 + i * 0.0003;
        const int lat = 4800 + static_cast<int>(minutes / 60) * 100;
        const double latMinutes = std::fmod(minutes, 60);
        char time[16];
        std::snprintf(time, sizeof time, "%02d%02d%02d.00", hms / 3600, hms % 3600 / 60, hms % 60);
        sentence(std::snprintf(body, sizeof body, "GPRMC,%s,A,%04d.%04d,N,01131.0000,E,19.4,45.0,%02d1009,,,A", time,
                               lat + static_cast<int>(latMinutes), static_cast<int>(std::fmod(latMinutes, 1) * 1e4),
                               std::min(day, 31)));
        sentence(std::snprintf(body, sizeof body, "GPGGA,%s,%04d.%04d,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,",
                               time, lat + static_cast<int>(latMinutes),
                               static_cast<int>(std::fmod(latMinutes, 1) * 1e4)));
    }
    std::fclose(f);
}

}  // namespace

void* operator new(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    Count(p);
    return p;
}
void operator delete(void* p) noexcept
{
    if (p) g_live -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

int main()
{
    const std::string path = "/tmp/tolvex-bench-1m.nmea";
    if (access(path.c_str(), R_OK) != 0) WriteLog(path);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long long fileBytes = std::ftell(f);
    std::fclose(f);

    tolvex::Settings settings;
    bench::QuietHost host;
    double best = 1e9, bestWall = 1e9;
    long long peak = 0, kept = 0;
    std::size_t points = 0;
    for (int run = 0; run < 3; ++run) {
        const long long before = g_live;
        g_peak = before;
        timespec cpuStart{}, cpuEnd{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
        const auto start = std::chrono::steady_clock::now();
        tolvex::ReadResult result = tolvex::ReadNmeaLogFile(path, {settings, host});
        bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
        best = std::min(best, static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) +
                                  static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) * 1e-9);
        if (!result) {
            std::printf("nmea log: the file did not load\n");
            return 1;
        }
        points = result.Track->Points.size();
        peak = g_peak - before;
        kept = g_live - before;
    }
    const double peakPerPoint = static_cast<double>(peak) / static_cast<double>(points);
    const double keptPerPoint = static_cast<double>(kept) / static_cast<double>(points);
    std::printf("nmea log, %zu fixes, %.0f MB: %.3f s processor, %.3f s wall (target < 1 s); peak %.1f bytes a "
                "point while loading (target <= 100, ratio %.2f), %.1f kept\n",
                points, static_cast<double>(fileBytes) / 1e6, best, bestWall, peakPerPoint, peakPerPoint / 100,
                keptPerPoint);
    bool missed = false;
    if (points != static_cast<std::size_t>(Fixes)) {
        std::printf("MISSED: %zu points instead of %d\n", points, Fixes);
        missed = true;
    }
    if (best >= 1) {
        std::printf("MISSED: loading took 1 s or more\n");
        missed = true;
    }
    if (peakPerPoint > 100) {
        std::printf("MISSED: more than 100 bytes a point\n");
        missed = true;
    }
    return missed ? 1 : 0;
}
