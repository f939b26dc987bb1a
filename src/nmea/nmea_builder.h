#pragma once
// The sentences of the receiver: by default those of a 3-D fix from four satellites; with the sky
// model, those of the satellites it sees, with their DOP, the noise and the loss of the fix.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "config/settings.h"
#include "sim/clock.h"
#include "sim/sim_fix.h"

namespace tolvex {

class SkyModel;

inline constexpr int SentenceBufferSize = 96;
// Every line one build can make: GSV for four systems of up to nine messages each, GSA per system.
inline constexpr int MaxSentenceLines = 48;

// Shared by every builder for the life of the process: the live outputs and the file export.
struct FixClock {
    std::optional<std::int64_t> FixClockStart;  // seconds since 1970, set by the first build
    int ExportSentenceCount = 0;                // builds made while the export runs
};

struct UtcTime {
    int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

class NmeaBuilder {
public:
    // Fills every sentence, each line ending in "*" and its two checksum digits. With a sky, GSA and
    // GSV may take several lines and the sky is observed at the fix time.
    void BuildSentences(const SimFix& fix, RunState runState, const Settings& settings, FixClock& clock,
                        const CalendarClock& calendar, bool exportRunning, SkyModel* sky = nullptr);
    // The same for a fix time given in milliseconds since 1970 UTC (a track's own time).
    void BuildSentencesAt(const SimFix& fix, RunState runState, const Settings& settings, std::int64_t fixMilliseconds,
                          SkyModel* sky = nullptr);
    // Appends CR LF to every line.
    void AppendLineEnds();
    // The sentences the next builds make (all unless told); the others get no line, and the
    // ones made keep their order and text.
    void SetWanted(const std::array<bool, SentenceCount>& wanted) { m_wanted = wanted; }

    // The first (for most sentences the only) line of a sentence.
    const char* Text(Sentence s) const { return Text(static_cast<int>(s)); }
    const char* Text(int i) const { return m_text[m_first[i]].data(); }
    int Length(Sentence s) const { return Length(static_cast<int>(s)); }
    int Length(int i) const { return m_length[m_first[i]]; }
    // Every line of a sentence.
    int LineCount(int i) const { return m_count[i]; }
    const char* Text(int i, int line) const { return m_text[m_first[i] + line].data(); }
    int Length(int i, int line) const { return m_length[m_first[i] + line]; }

private:
    std::array<std::array<char, SentenceBufferSize>, MaxSentenceLines> m_text{};
    std::array<int, MaxSentenceLines> m_length{};
    std::array<int, SentenceCount> m_first{};
    std::array<int, SentenceCount> m_count{};
    int m_lines = 0;
    std::array<bool, SentenceCount> m_wanted = AllSentences();
    std::int64_t m_day = -1;  // days since 1970 of the last build, and its date
    UtcTime m_dayDate;

    static constexpr std::array<bool, SentenceCount> AllSentences()
    {
        std::array<bool, SentenceCount> all{};
        all.fill(true);
        return all;
    }
};

// The fix time (milliseconds since 1970) of the next record of an export on a started clock, as
// BuildSentences gives it while an export runs; the record is counted.
std::int64_t NextExportMilliseconds(FixClock& clock, const Settings& settings);

// Seconds since 1970-01-01 UTC broken into the calendar, without the C library's time zone state.
UtcTime BreakUtc(std::int64_t t);

// The speed the sentences report (m/s): 0 while paused, otherwise Speed within the GPS limits.
double ReportedSpeed(const SimFix& fix, RunState runState, const Settings& settings);

// value as printf's "%.*f" writes it, into out (at least 32 bytes for the quick path); the length,
// 0 when it does not fit.
std::size_t FormatFixed(double value, int decimals, char* out, std::size_t size);

// Writes the XOR checksum of text (after "$", up to "*") behind its "*"; returns the new length
// (position of "*" plus 3), or -1 when the text holds no "*" or no room for the digits.
int NmeaChecksum(char* text, int bufferSize);

}  // namespace tolvex
