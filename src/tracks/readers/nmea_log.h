#pragma once
// NMEA-0183 logs as tracks, and the pieces of sentence reading that the log player shares.

#include <cstdint>
#include <optional>
#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// The sentence of a log line: from its "$" or "!" to the end of the line, blanks trimmed. A
// logger's time stamp ("2024-05-01T10:00:00.123Z ", "1714557600.123 ") or an NMEA 4 tag block
// ("\s:rx1,c:1714557600*5B\") may come first; anything else before the sentence makes the line
// no sentence at all.
std::optional<std::string_view> FindSentence(std::string_view line);

// The sentence ends in "*hh" and hh is the XOR of every byte between the "$" or "!" and the "*".
bool HasGoodChecksum(std::string_view sentence);

// "hhmmss" or "hhmmss.sss" as seconds of the day; nothing for anything else.
std::optional<double> ParseTimeOfDay(std::string_view field);

// Seconds from one time of day to another, the short way round midnight (-43200 < step <= 43200).
double TimeOfDayStep(double from, double to);

// The time of day a log line stamps: the time of an RMC, GGA or GLL of any talker with a good
// checksum. What the player paces by.
std::optional<double> LineTimeOfDay(std::string_view line);

// What a log holds besides its fixes, for `tolvex info`.
struct NmeaLogCounts {
    int Sentences = 0;      // lines that hold a sentence of any kind
    int BadChecksum = 0;    // fix sentences with a missing or wrong checksum
    int InvalidFix = 0;     // RMC or GLL status V, RMC mode N, GGA quality 0
    int Unparsable = 0;     // fix sentences whose time, date or position cannot be read
    bool NoFixClaimed = false;  // no sentence claims a fix: the positions were read as they stand
};

// ReadNmeaLogFile on text in memory. fileTime (seconds since 1970 UTC) dates a log that has no
// RMC: its last fix is taken as recorded on the last day that puts it before that time.
ReadResult ReadNmeaLogText(std::string_view text, const ReaderContext& context, std::int64_t fileTime,
                           NmeaLogCounts* counts = nullptr);

}  // namespace tolvex
