// NMEA-0183 logs: RMC gives date, time and position, GGA of the same time adds the altitude, GLL
// stands in where neither is there. Sentences of one time stamp make one point; a gap of more
// than a minute, time running backwards or a stretch without a fix starts a new segment.

#include "tracks/readers/nmea_log.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "tracks/readers/civil_time.h"
#include "tracks/text_file.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr double SecondsPerDay = 86400;
constexpr double HalfDay = SecondsPerDay / 2;
constexpr double MaxGapSeconds = 60;
constexpr double ClockSkew = 3600;
constexpr std::size_t MaxFields = 32;
// Set on points whose day is not known yet while the file is read; cleared before the track leaves.
constexpr std::uint32_t TimeOfDayOnly = 1u << 31;

using Fields = std::array<std::string_view, MaxFields>;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text)
{
    for (char c : text)
        if (!IsDigit(c))
            return false;
    return !text.empty();
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// What loggers put before a sentence: a time stamp of digits and separators, or a tag block.
bool IsLoggerPrefix(std::string_view prefix)
{
    prefix = TrimBlanks(prefix);
    if (prefix.empty())
        return true;
    if (prefix.size() >= 2 && prefix.front() == '\\' && prefix.back() == '\\')
        return true;
    for (char c : prefix)
        if (!IsDigit(c) && std::string_view("-:.TZ+/,; \t").find(c) == std::string_view::npos)
            return false;
    return true;
}

// Splits the part between the address and the "*" into fields; the count, or 0 when too many.
// Fields are short: a plain loop beats a library search per field.
std::size_t SplitSentence(std::string_view sentence, Fields& fields)
{
    const std::size_t star = sentence.rfind('*');
    const std::string_view body = sentence.substr(0, star);
    std::size_t n = 0, begin = 0;
    for (std::size_t i = 0; i <= body.size(); ++i) {
        if (i < body.size() && body[i] != ',')
            continue;
        if (n == MaxFields)
            return 0;
        fields[n++] = body.substr(begin, i - begin);
        begin = i + 1;
    }
    return n;
}

enum class FixKind { None, Rmc, Gga, Gll };

// "$GPRMC", "$GNGGA", "$BDGLL": any two-letter talker.
FixKind KindOf(std::string_view address)
{
    if (address.size() != 6 || address[0] != '$')
        return FixKind::None;
    const std::string_view type = address.substr(3);
    if (type == "RMC")
        return FixKind::Rmc;
    if (type == "GGA")
        return FixKind::Gga;
    if (type == "GLL")
        return FixKind::Gll;
    return FixKind::None;
}

// A plain decimal ("-12.5", "07.0380") as the nearest double: digits over a power of ten is
// exact for up to 15 digits, and the library reads longer ones.
bool ParseNumber(std::string_view text, double& value)
{
    static constexpr double Pow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    std::uint64_t digits = 0;
    int count = 0, decimals = -1;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++count;
            decimals += decimals >= 0 ? 1 : 0;
        } else if (text[i] == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (count == 0)
        return false;
    if (count > 15) {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        return result.ec == std::errc() && std::isfinite(value);
    }
    value = static_cast<double>(digits) / Pow10[std::max(decimals, 0)];
    if (text[0] == '-')
        value = -value;
    return true;
}

// "ddmm.mmmm" / "dddmm.mmmm" and its hemisphere letter; the result stays on the globe.
bool ParseCoordinate(std::string_view value, std::string_view hemisphere, char positive, char negative, double limit,
                     double& degrees)
{
    std::size_t point = value.find('.');
    if (point == std::string_view::npos)
        point = value.size();
    if (point < 3 || !AllDigits(value.substr(0, point)))
        return false;
    const std::string_view fraction = value.substr(std::min(point + 1, value.size()));
    if (point < value.size() && !fraction.empty() && !AllDigits(fraction))
        return false;
    double whole = 0, minutes = 0;
    if (!ParseNumber(value.substr(0, point - 2), whole) || !ParseNumber(value.substr(point - 2), minutes) ||
        minutes >= 60)
        return false;
    degrees = whole + minutes / 60;
    if (degrees > limit || hemisphere.size() != 1)
        return false;
    if (hemisphere[0] == negative)
        degrees = -degrees;
    else if (hemisphere[0] != positive)
        return false;
    return true;
}

// "ddmmyy" as days since 1970; two-digit years 80..99 are 1980..1999, the rest 2000..2079.
std::optional<std::int64_t> ParseDate(std::string_view field)
{
    if (field.size() != 6 || !AllDigits(field))
        return std::nullopt;
    const int day = (field[0] - '0') * 10 + (field[1] - '0');
    const int month = (field[2] - '0') * 10 + (field[3] - '0');
    const int yy = (field[4] - '0') * 10 + (field[5] - '0');
    const int year = yy >= 80 ? 1900 + yy : 2000 + yy;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    return DaysFromCivil(year, month, day);
}

double TimeOfDayOf(double time) { return time - std::floor(time / SecondsPerDay) * SecondsPerDay; }

// One fix sentence read from its fields.
struct FixSentence {
    FixKind Kind = FixKind::None;
    double TimeOfDay = 0;
    bool Valid = false;          // the receiver claims a fix
    bool HasPosition = false;
    double Latitude = 0, Longitude = 0;
    std::optional<double> Altitude;
    std::optional<std::int64_t> Day;
};

enum class ParseOutcome { Read, Unparsable };

// Field numbers of the time, the position pair and the validity of each sentence.
ParseOutcome ParseFix(FixKind kind, const Fields& f, std::size_t n, FixSentence& out)
{
    out.Kind = kind;
    std::size_t latField = 0, timeField = 0;
    switch (kind) {
    case FixKind::Rmc:  // time, status, lat, N/S, lon, E/W, knots, course, date, var, E/W[, mode[, nav status]]
        if (n < 10)
            return ParseOutcome::Unparsable;
        timeField = 1;
        latField = 3;
        out.Valid = f[2] == "A" && !(n > 12 && f[12] == "N");
        if (!(out.Day = ParseDate(f[9])))
            return ParseOutcome::Unparsable;
        break;
    case FixKind::Gga:  // time, lat, N/S, lon, E/W, quality, satellites, hdop, altitude, M, ...
        if (n < 10)
            return ParseOutcome::Unparsable;
        timeField = 1;
        latField = 2;
        out.Valid = AllDigits(f[6]) && f[6] != "0";
        if (!f[9].empty()) {
            double altitude = 0;
            if (!ParseNumber(f[9], altitude))
                return ParseOutcome::Unparsable;
            out.Altitude = altitude;
        }
        break;
    case FixKind::Gll:  // lat, N/S, lon, E/W, time, status[, mode]
        if (n < 7)
            return ParseOutcome::Unparsable;
        timeField = 5;
        latField = 1;
        out.Valid = f[6] == "A" && !(n > 7 && f[7] == "N");
        break;
    case FixKind::None:
        return ParseOutcome::Unparsable;
    }
    const auto time = ParseTimeOfDay(f[timeField]);
    if (!time)
        return ParseOutcome::Unparsable;
    out.TimeOfDay = *time;
    const bool empty = f[latField].empty() && f[latField + 2].empty();
    if (empty)
        return ParseOutcome::Read;  // no position: only a no-fix sentence may say so
    if (!ParseCoordinate(f[latField], f[latField + 1], 'N', 'S', 90, out.Latitude) ||
        !ParseCoordinate(f[latField + 2], f[latField + 3], 'E', 'W', 180, out.Longitude))
        return ParseOutcome::Unparsable;
    out.HasPosition = true;
    return ParseOutcome::Read;
}

// The sentences of one time stamp, joined into one point.
struct Epoch {
    bool Open = false;
    double TimeOfDay = 0;
    std::array<bool, 4> Seen{};
    bool Invalid = false;
    int PositionRank = 0;  // 3 RMC, 2 GGA, 1 GLL: the best source wins
    double Latitude = 0, Longitude = 0;
    std::optional<double> Altitude;
    std::optional<std::int64_t> Day;
};

class LogReader {
public:
    LogReader(const ReaderContext& context, bool takeUnclaimedFixes, NmeaLogCounts& counts)
        : m_builder(context.Config), m_takeUnclaimed(takeUnclaimedFixes), m_counts(counts)
    {
    }

    void Reserve(std::size_t points) { m_builder.Reserve(points); }

    void Line(std::string_view line)
    {
        const auto sentence = FindSentence(line);
        if (!sentence)
            return;
        ++m_counts.Sentences;
        const FixKind kind = sentence->size() > 6 && (*sentence)[6] == ',' ? KindOf(sentence->substr(0, 6))
                                                                          : FixKind::None;
        if (kind == FixKind::None)
            return;
        if (!HasGoodChecksum(*sentence)) {
            ++m_counts.BadChecksum;
            return;
        }
        Fields fields;
        const std::size_t n = SplitSentence(*sentence, fields);
        FixSentence fix;
        if (ParseFix(kind, fields, n, fix) == ParseOutcome::Unparsable) {
            ++m_counts.Unparsable;
            return;
        }
        Add(fix);
    }

    std::optional<BuiltTrack> Finish()
    {
        Flush();
        return m_builder.CommitTrack();
    }

    int ClaimedFixes() const { return m_claimed; }
    int UnclaimedPositions() const { return m_unclaimed; }

private:
    void Add(const FixSentence& fix)
    {
        const auto kind = static_cast<std::size_t>(fix.Kind);
        // A new time, or the same sentence again (a log written twice a second), is a new point.
        if (m_epoch.Open && (fix.TimeOfDay != m_epoch.TimeOfDay || m_epoch.Seen[kind]))
            Flush();
        if (!m_epoch.Open) {
            m_epoch = Epoch{};
            m_epoch.Open = true;
            m_epoch.TimeOfDay = fix.TimeOfDay;
        }
        m_epoch.Seen[kind] = true;
        if (fix.Day)
            m_epoch.Day = fix.Day;
        if (fix.Valid)
            ++m_claimed;
        else if (fix.HasPosition)
            ++m_unclaimed;
        if (!fix.HasPosition || !(fix.Valid || m_takeUnclaimed)) {
            ++m_counts.InvalidFix;
            m_epoch.Invalid = true;
            return;
        }
        const int rank = fix.Kind == FixKind::Rmc ? 3 : fix.Kind == FixKind::Gga ? 2 : 1;
        if (rank > m_epoch.PositionRank) {
            m_epoch.PositionRank = rank;
            m_epoch.Latitude = fix.Latitude;
            m_epoch.Longitude = fix.Longitude;
        }
        if (fix.Altitude)
            m_epoch.Altitude = fix.Altitude;
    }

    void Flush()
    {
        if (!m_epoch.Open)
            return;
        m_epoch.Open = false;
        if (m_epoch.Invalid || m_epoch.PositionRank == 0) {
            m_breakPending = true;
            return;
        }

        TrackPoint point;
        point.Latitude = m_epoch.Latitude;
        point.Longitude = m_epoch.Longitude;
        point.Flags = HasTime;
        if (m_epoch.Altitude) {
            point.Altitude = *m_epoch.Altitude;
            point.Flags |= HasAltitude;
        }
        // The day: the sentence's own date, or the last one known carried over midnight.
        if (m_epoch.Day) {
            m_day = *m_epoch.Day;
        } else if (m_day && m_hasPrevious) {
            const double reached = m_previousTimeOfDay + TimeOfDayStep(m_previousTimeOfDay, m_epoch.TimeOfDay);
            *m_day += reached >= SecondsPerDay ? 1 : reached < 0 ? -1 : 0;
        }
        if (m_day) {
            point.Time = static_cast<double>(*m_day) * SecondsPerDay + m_epoch.TimeOfDay;
        } else {
            point.Time = m_epoch.TimeOfDay;
            point.Flags |= TimeOfDayOnly;
        }

        if (m_hasPrevious) {
            const bool bothDated = !(point.Flags & TimeOfDayOnly) && m_previousDated;
            const double step = bothDated ? point.Time - m_previousTime
                                          : TimeOfDayStep(m_previousTimeOfDay, m_epoch.TimeOfDay);
            if (m_breakPending || step < 0 || step > MaxGapSeconds)
                m_builder.CloseSegment();
        }
        if (m_builder.OpenPointCount() == 0)
            point.Flags |= SegmentStart;
        m_builder.AddTrackPoint(point);
        m_breakPending = false;
        m_hasPrevious = true;
        m_previousTime = point.Time;
        m_previousTimeOfDay = m_epoch.TimeOfDay;
        m_previousDated = !(point.Flags & TimeOfDayOnly);
    }

    SegmentBuilder m_builder;
    bool m_takeUnclaimed;
    NmeaLogCounts& m_counts;
    Epoch m_epoch;
    std::optional<std::int64_t> m_day;
    bool m_breakPending = false;
    bool m_hasPrevious = false;
    bool m_previousDated = false;
    double m_previousTime = 0;
    double m_previousTimeOfDay = 0;
    int m_claimed = 0;
    int m_unclaimed = 0;
};

// Points read before the first date take their day from the first dated point after them,
// counted back over midnight; without any date, from the file's time.
void DateLeadingPoints(std::vector<TrackPoint>& points, std::int64_t fileTime)
{
    std::size_t first = 0;
    while (first < points.size() && (points[first].Flags & TimeOfDayOnly))
        ++first;
    if (first == 0)
        return;
    double next = 0;
    std::size_t from = first;
    if (first < points.size()) {
        next = points[first].Time;
    } else {
        // The last fix was written before the file was last changed (allowing an hour of clock skew).
        const double tod = points.back().Time;
        const double day = std::floor((static_cast<double>(fileTime) + ClockSkew - tod) / SecondsPerDay);
        points.back().Time = day * SecondsPerDay + tod;
        points.back().Flags &= ~TimeOfDayOnly;
        next = points.back().Time;
        from = points.size() - 1;
    }
    for (std::size_t i = from; i-- > 0;) {
        TrackPoint& p = points[i];
        p.Time = next - TimeOfDayStep(p.Time, TimeOfDayOf(next));
        p.Flags &= ~TimeOfDayOnly;
        next = p.Time;
    }
}

// The largest number of fix sentences of one kind: the number of points, for an ordinary log.
std::size_t EstimatePoints(std::string_view text)
{
    std::array<std::size_t, 4> count{};
    std::size_t at = 0;
    while ((at = text.find('$', at)) != std::string_view::npos) {
        if (at + 7 <= text.size() && text[at + 6] == ',')
            ++count[static_cast<std::size_t>(KindOf(text.substr(at, 6)))];
        ++at;
    }
    return std::max({count[1], count[2], count[3]});
}

std::string Remarks(const NmeaLogCounts& counts)
{
    std::string text;
    auto add = [&text](int n, const char* what) {
        if (n == 0)
            return;
        text += text.empty() ? "skipped: " : ", ";
        text += std::to_string(n) + " " + what;
    };
    add(counts.BadChecksum, counts.BadChecksum == 1 ? "line with a missing or wrong checksum"
                                                    : "lines with a missing or wrong checksum");
    add(counts.InvalidFix, counts.InvalidFix == 1 ? "line without a valid fix" : "lines without a valid fix");
    add(counts.Unparsable, counts.Unparsable == 1 ? "unreadable fix line" : "unreadable fix lines");
    if (counts.NoFixClaimed)
        text += std::string(text.empty() ? "" : "; ") + "no line claims a fix: positions read as they stand";
    return text;
}

// Reads the log that feed hands line by line to a reader (false when it cannot be read). A log
// in which no line claims a fix is read a second time, its positions taken as they stand.
template <typename Feed>
ReadResult ReadLog(Feed feed, std::size_t pointHint, const ReaderContext& context, std::int64_t fileTime,
                   NmeaLogCounts* countsOut)
{
    NmeaLogCounts counts;
    std::optional<BuiltTrack> track;
    int claimed = 0, unclaimed = 0;
    auto read = [&](bool takeUnclaimed) {
        counts = NmeaLogCounts{};
        track.reset();  // the first pass's points go before the second pass takes its own
        LogReader reader(context, takeUnclaimed, counts);
        reader.Reserve(pointHint);
        if (!feed(reader))
            return false;
        track = reader.Finish();
        claimed = reader.ClaimedFixes();
        unclaimed = reader.UnclaimedPositions();
        return true;
    };
    if (!read(false))
        return ReadResult::Failure();
    // A track converted to NMEA by a program that had no fix status to copy says "no fix" on
    // every line: its positions are all it has, so they are taken as they stand.
    if (claimed == 0 && unclaimed > 0) {
        if (!read(true))
            return ReadResult::Failure();
        counts.NoFixClaimed = true;
    }
    if (countsOut)
        *countsOut = counts;
    if (counts.Sentences == 0)
        return ReadResult::Failure();
    if (!track)
        return ReadResult::FromCommit(std::nullopt);
    DateLeadingPoints(track->Points, fileTime);
    track->Remarks = Remarks(counts);
    return ReadResult::Success(std::move(*track));
}

// The points of a log file judged from its first piece and its size, so that the point array
// is allocated once. Nothing when the file cannot be read.
std::optional<std::size_t> EstimateFilePoints(const std::string& path)
{
    constexpr std::size_t ProbeBytes = 256 * 1024;
    TextFileReader probe(ProbeBytes);
    std::string_view piece;
    if (!probe.Open(path))
        return std::nullopt;
    if (!probe.Next(piece))
        return probe.Failed() ? std::nullopt : std::optional<std::size_t>(0);
    const std::size_t sample = EstimatePoints(piece);
    const auto fileBytes = static_cast<double>(probe.FileBytes());
    if (fileBytes <= static_cast<double>(piece.size()))
        return sample;
    // A little more than the sample's share: growing the array once costs three times its size.
    return static_cast<std::size_t>(static_cast<double>(sample) * fileBytes / static_cast<double>(piece.size()) * 1.02) + 16;
}

}  // namespace

double TimeOfDayStep(double from, double to)
{
    double step = to - from;
    if (step <= -HalfDay)
        step += SecondsPerDay;
    else if (step > HalfDay)
        step -= SecondsPerDay;
    return step;
}

std::optional<std::string_view> FindSentence(std::string_view line)
{
    const std::size_t start = line.find_first_of("$!");
    if (start == std::string_view::npos || !IsLoggerPrefix(line.substr(0, start)))
        return std::nullopt;
    const std::string_view sentence = TrimBlanks(line.substr(start));
    if (sentence.size() < 2)
        return std::nullopt;
    return sentence;
}

bool HasGoodChecksum(std::string_view sentence)
{
    if (sentence.size() < 4 || sentence[sentence.size() - 3] != '*')
        return false;
    const int high = HexValue(sentence[sentence.size() - 2]);
    const int low = HexValue(sentence[sentence.size() - 1]);
    if (high < 0 || low < 0)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i + 3 < sentence.size(); ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    return sum == static_cast<unsigned>(high * 16 + low);
}

std::optional<double> ParseTimeOfDay(std::string_view field)
{
    if (field.size() < 6 || !AllDigits(field.substr(0, 6)))
        return std::nullopt;
    const int hour = (field[0] - '0') * 10 + (field[1] - '0');
    const int minute = (field[2] - '0') * 10 + (field[3] - '0');
    const int second = (field[4] - '0') * 10 + (field[5] - '0');
    if (hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    double fraction = 0;
    if (field.size() > 6) {
        if (field[6] != '.' || !(field.size() == 7 || AllDigits(field.substr(7))))
            return std::nullopt;
        if (field.size() > 7 && !ParseNumber(field.substr(6), fraction))
            return std::nullopt;
    }
    return hour * 3600.0 + minute * 60.0 + second + fraction;
}

std::optional<double> LineTimeOfDay(std::string_view line)
{
    const auto sentence = FindSentence(line);
    if (!sentence)
        return std::nullopt;
    const std::size_t comma = sentence->find(',');
    const FixKind kind = KindOf(sentence->substr(0, comma));
    if (kind == FixKind::None || !HasGoodChecksum(*sentence))
        return std::nullopt;
    Fields fields;
    const std::size_t n = SplitSentence(*sentence, fields);
    const std::size_t timeField = kind == FixKind::Gll ? 5 : 1;
    if (n <= timeField)
        return std::nullopt;
    return ParseTimeOfDay(fields[timeField]);
}

ReadResult ReadNmeaLogText(std::string_view text, const ReaderContext& context, std::int64_t fileTime,
                           NmeaLogCounts* counts)
{
    auto feed = [text](LogReader& reader) {
        LineReader lines(text);
        std::string_view line;
        while (lines.Next(line))
            reader.Line(line);
        return true;
    };
    return ReadLog(feed, EstimatePoints(text), context, fileTime, counts);
}

ReadResult ReadNmeaLogFile(const std::string& path, const ReaderContext& context)
{
    // The file streams through in pieces: what loading holds is the points and one piece.
    const std::optional<std::size_t> hint = EstimateFilePoints(path);
    if (!hint)
        return ReadResult::Failure();
    auto feed = [&path](LogReader& reader) {
        FileLines lines;
        if (!lines.Open(path))
            return false;
        std::string_view line;
        while (lines.Next(line))
            reader.Line(line);
        return !lines.Failed();
    };
    struct stat status {};
    const std::int64_t fileTime = stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_mtime) : 0;
    NmeaLogCounts counts;
    ReadResult result = ReadLog(feed, *hint, context, fileTime, &counts);
    // .txt and .log are names many files share: one that holds no NMEA is not a track at all.
    if (!result && counts.Sentences == 0 && !EndsWithNoCase(path, ".nmea") && !EndsWithNoCase(path, ".nma"))
        result.Message.Text = Texts::tr("未知的航迹文件类型：\n") + path;
    return result;
}

}  // namespace tolvex
