#pragma once
// The six sentences of a receiver with a 3-D fix from four satellites.

#include <array>
#include <cstdint>
#include <optional>

#include "config/settings.h"
#include "sim/clock.h"
#include "sim/sim_fix.h"

namespace tolvex {

inline constexpr int SentenceBufferSize = 96;

// Shared by every builder for the life of the process: the live outputs and the file export.
struct FixClock {
    std::optional<std::int64_t> FixClockStart;  // seconds since 1970, set by the first build
    int ExportSentenceCount = 0;                // builds made while the export runs
};

class NmeaBuilder {
public:
    // Fills all six texts, each ending in "*" and its two checksum digits.
    void BuildSentences(const SimFix& fix, RunState runState, const Settings& settings, FixClock& clock,
                        const CalendarClock& calendar, bool exportRunning);
    // The same for a fix time given in milliseconds since 1970 UTC (a track's own time).
    void BuildSentencesAt(const SimFix& fix, RunState runState, const Settings& settings, std::int64_t fixMilliseconds);
    // Appends CR LF to all six texts.
    void AppendLineEnds();

    const char* Text(Sentence s) const { return m_text[static_cast<int>(s)].data(); }
    const char* Text(int i) const { return m_text[i].data(); }
    int Length(Sentence s) const { return m_length[static_cast<int>(s)]; }
    int Length(int i) const { return m_length[i]; }

private:
    std::array<std::array<char, SentenceBufferSize>, SentenceCount> m_text{};
    std::array<int, SentenceCount> m_length{};
};

struct UtcTime {
    int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};
// Seconds since 1970-01-01 UTC broken into the calendar, without the C library's time zone state.
UtcTime BreakUtc(std::int64_t t);

// The speed the sentences report (m/s): 0 while paused, otherwise Speed within the GPS limits.
double ReportedSpeed(const SimFix& fix, RunState runState, const Settings& settings);

// Writes the XOR checksum of text (after "$", up to "*") behind its "*"; returns the new length
// (position of "*" plus 3), or -1 when the text holds no "*" or no room for the digits.
int NmeaChecksum(char* text, int bufferSize);

}  // namespace tolvex
