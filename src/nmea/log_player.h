#pragma once
// A recorded NMEA log sent again as it was recorded: its own lines, byte for byte, in bursts
// paced by the log's RMC, GGA and GLL time stamps. The tick drives it; it never waits.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex {

class LogPlayer {
public:
    // The lines of one time stamp, with whatever came between it and the next one.
    struct Burst {
        std::size_t Begin = 0, End = 0;  // byte range in the log
        int FirstLine = 0;               // 1-based line number of its first line
        double Due = 0;                  // ms after the first burst, on the log's clock
    };

    // Reads the log at path; rate > 0 speeds it up. Nothing, with error set, when the file cannot
    // be read or holds no time stamp to pace it by.
    static std::optional<LogPlayer> Open(const std::string& path, double rate, bool loop, std::string& error);
    // The same for a log already in memory; nothing when it holds no time stamp.
    static std::optional<LogPlayer> FromText(std::string text, double rate, bool loop);

    // Hands every line now due to send, each with its own line end, then moves the play clock on
    // by elapsedMs of real time. The first call sends the first burst.
    void Advance(double elapsedMs, const std::function<void(std::string_view line)>& send);
    // Real ms from the last Advance to the next burst's due time; nothing before the first Advance
    // or after the end. A burst due before the next Advance may be sent early by SendDueBy.
    std::optional<double> MsToNextBurst() const;
    // Sends the bursts due within msSinceAdvance of real time after the last Advance, so that a
    // burst between two ticks leaves at its own time rather than on the tick after it.
    void SendDueBy(double msSinceAdvance, const std::function<void(std::string_view line)>& send);

    // The last line has gone and the log does not loop.
    bool Finished() const { return m_finished; }
    // 1-based number of the last line sent; 0 before the first.
    int LineNumber() const { return m_lineNumber; }
    const std::vector<Burst>& Bursts() const { return m_bursts; }
    // The file it was opened from; empty for a log given as text.
    const std::string& Path() const { return m_path; }

private:
    LogPlayer(std::string text, double rate, bool loop);
    void SendBurst(const Burst& burst, const std::function<void(std::string_view line)>& send);
    void SendDue(double clock, const std::function<void(std::string_view line)>& send);

    std::string m_text;
    std::string m_path;
    std::vector<Burst> m_bursts;
    double m_rate;
    bool m_loop;
    double m_clock = 0;      // ms of the log played so far
    double m_advancedAt = 0;  // log ms of the last Advance
    bool m_advanced = false;
    double m_cycleBase = 0;  // log ms at which the current pass through the log began
    double m_cycleLength = 0;
    std::size_t m_next = 0;  // next burst to send
    int m_lineNumber = 0;
    bool m_finished = false;
};

}  // namespace tolvex
