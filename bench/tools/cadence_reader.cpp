// Holds a virtual port open and time-stamps every RMC sentence on the system clock. The runner
// sends each group just after the moment it carries (its schedule is aligned to the system
// clock), so the schedule's own grid is the time in the sentence: lateness is the arrival time
// less that time. Prints the groups received, the spacing of the carried times, the median and
// worst lateness, and fails only on a real miss: groups lost, carried times off the interval, a
// median lateness beyond a few milliseconds, or one group so late that a 5 Hz client would see
// it in the next group's slot. A busy machine delaying one wake-up by a tick is not a miss.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double DayMs = 86400000.0;
constexpr double MedianLimitMs = 10.0;  // "within a few milliseconds" of the time carried
constexpr double WorstLimitMs = 100.0;  // half a 5 Hz period

// "hhmmss.sss" of an RMC sentence in milliseconds of the day; negative when it does not parse.
double CarriedMs(const std::string& rmc)
{
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(rmc.c_str(), "$GPRMC,%2d%2d%lf,", &h, &m, &s) != 3) return -1;
    return (h * 3600.0 + m * 60.0 + s) * 1000.0;
}

double NowMsOfDay()
{
    using namespace std::chrono;
    const double ms = duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
    return std::fmod(ms, DayMs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: cadence_reader PORT SECONDS [INTERVAL_MS]\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const double interval = argc > 3 ? std::atof(argv[3]) : 1000.0;
    const int fd = open(argv[1], O_RDONLY | O_NOCTTY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<double> carried, lateness;
    std::string pending;
    char buffer[4096];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const int left = static_cast<int>(std::chrono::duration<double, std::milli>(end - Clock::now()).count());
        if (poll(&p, 1, std::max(left, 1)) <= 0) continue;
        const double arrived = NowMsOfDay();
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at, eol; (at = pending.find("$GPRMC")) != std::string::npos &&
                                  (eol = pending.find('\n', at)) != std::string::npos;) {
            const double t = CarriedMs(pending.substr(at, eol - at));
            pending.erase(0, eol + 1);
            if (t < 0) continue;
            double late = arrived - t;
            if (late < -DayMs / 2) late += DayMs;  // midnight between the two
            carried.push_back(t);
            lateness.push_back(late);
        }
    }
    close(fd);
    if (carried.size() < 2) {
        std::printf("cadence: %zu groups received\n", carried.size());
        return 1;
    }
    double worstSpacing = 0;
    for (std::size_t i = 1; i < carried.size(); ++i) {
        double step = carried[i] - carried[i - 1];
        if (step < 0) step += DayMs;
        worstSpacing = std::max(worstSpacing, std::fabs(step - interval));
    }
    std::vector<double> sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const double worst = sorted.back();
    const double earliest = sorted.front();
    const std::size_t n = carried.size();
    const long expected = std::lround(seconds * 1000 / interval);
    const bool ok = static_cast<long>(n) >= expected - 1 && worstSpacing < 1.0 && median <= MedianLimitMs &&
                    worst <= WorstLimitMs && earliest >= 0;
    std::printf("cadence: %zu groups in %.0f s (target %ld), carried times %.0f ms apart (worst off by %.3f ms), "
                "lateness against the carried time: median %.3f ms, worst %.3f ms, earliest %.3f ms: %s\n",
                n, seconds, expected, interval, worstSpacing, median, worst, earliest,
                ok ? "meets the targets" : "MISSES the targets");
    return ok ? 0 : 1;
}
