// Holds a virtual port open and time-stamps every RMC sentence on the steady clock; prints the
// groups received, the mean interval, the worst lateness of one group and the drift at the end,
// and whether they meet the cadence targets.
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
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    std::vector<double> stamps;  // ms since start
    std::string pending;
    char buffer[4096];
    while (Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        const int left = static_cast<int>(std::chrono::duration<double, std::milli>(end - Clock::now()).count());
        if (poll(&p, 1, std::max(left, 1)) <= 0) continue;
        const auto now = Clock::now();
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at; (at = pending.find("$GPRMC")) != std::string::npos;) {
            stamps.push_back(std::chrono::duration<double, std::milli>(now - start).count());
            pending.erase(0, at + 6);
        }
        if (pending.size() > 8) pending.erase(0, pending.size() - 8);
    }
    close(fd);
    if (stamps.size() < 2) {
        std::printf("cadence: %zu groups received\n", stamps.size());
        return 1;
    }
    double worstLate = 0, worstEarly = 0;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        // Lateness against the grid the first group set.
        const double off = stamps[i] - stamps[0] - static_cast<double>(i) * interval;
        worstLate = std::max(worstLate, off);
        worstEarly = std::min(worstEarly, off);
    }
    const std::size_t n = stamps.size();
    const double mean = (stamps.back() - stamps.front()) / static_cast<double>(n - 1);
    const double drift = stamps.back() - stamps.front() - static_cast<double>(n - 1) * interval;
    const long expected = std::lround(seconds * 1000 / interval);
    const bool ok = static_cast<long>(n) >= expected && std::fabs(mean - interval) < 1.0 && worstLate <= 5.0 &&
                    std::fabs(drift) < 2.0;
    std::printf("cadence: %zu groups in %.0f s (target %ld), mean interval %.3f ms, worst lateness %.3f ms, "
                "earliest %.3f ms, drift at the end %.3f ms: %s\n",
                n, seconds, expected, mean, worstLate, worstEarly, drift, ok ? "meets the targets" : "MISSES the targets");
    return ok ? 0 : 1;
}
