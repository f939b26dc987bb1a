#include "nmea/nmea_builder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "sim/copy_short.h"
#include "sim/geodesy.h"
#include "sky/sky_model.h"

namespace tolvex {
namespace {

// A sentence that never changes, with its checksum made once by the compiler.
template <std::size_t N>
struct FixedSentence {
    std::array<char, N + 2> Text{};  // up to "*", the two checksum digits and the end
    int Length = 0;
};
template <std::size_t N>
constexpr FixedSentence<N> WithChecksum(const char (&text)[N])
{
    FixedSentence<N> sentence;
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        sentence.Text[i] = text[i];
        if (i > 0 && i + 2 < N) sum ^= static_cast<unsigned char>(text[i]);
    }
    constexpr char Hex[] = "0123456789ABCDEF";
    sentence.Text[N - 1] = Hex[sum >> 4];
    sentence.Text[N] = Hex[sum & 0x0F];
    sentence.Length = static_cast<int>(N) + 1;
    return sentence;
}

constexpr auto GsaLine = WithChecksum("$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*");
constexpr auto GsvLine = WithChecksum("$GPGSV,1,1,04,01,30,000,35,02,40,090,40,03,50,180,45,04,60,270,50*");
static_assert(GsaLine.Text[GsaLine.Length - 3] == '*' && GsaLine.Length + 3 <= SentenceBufferSize);
static_assert(GsvLine.Text[GsvLine.Length - 3] == '*' && GsvLine.Length + 3 <= SentenceBufferSize);

// The UTC conversion covers 1970-01-01 to 3000-12-31; a fix time outside is held at the nearest end
// so that the fields stay well formed.
constexpr std::int64_t EarliestFixTime = 0;
constexpr std::int64_t LatestFixTime = 32535215999;  // 3000-12-31 23:59:59

// Toward zero (seconds or milliseconds), kept within a range no calendar time can leave.
std::int64_t TruncWhole(double seconds)
{
    if (!std::isfinite(seconds)) return 0;
    return static_cast<std::int64_t>(std::clamp(seconds, -1e15, 1e15));
}

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

constexpr std::int64_t Pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
constexpr int MaxFastDecimals = 6;
constexpr std::int64_t MinuteUnitsPerDegree = 60 * 10000;  // ten-thousandths of a minute

// |value| x 10^decimals rounded to a whole number as printf rounds it, where that is sure without
// printf's exact expansion: scaled, a value rounds as printf rounds it unless it lies so near a half
// that the scaling's own rounding (far below 1e-3 under 1e12) could tip it.
bool QuickScaled(double value, int decimals, std::int64_t& scaledOut)
{
    if (decimals < 0 || decimals > MaxFastDecimals) return false;
    const double scaled = std::fabs(value) * static_cast<double>(Pow10[decimals]);
    if (!(scaled < 1e12)) return false;  // also what is not a number
    // The whole part and the fraction, both exact.
    const auto whole = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) <= 1e-3) return false;
    scaledOut = whole + (fraction > 0.5 ? 1 : 0);
    return true;
}

constexpr std::array<char, 200> DigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The digits of a value >= 0, right-aligned in width (zero-padded, never cut): the end. Two at a
// time from the right.
char* PutDigits(char* at, std::uint64_t value, int width)
{
    int digits = 1;
    for (std::uint64_t v = value; v >= 10; v /= 10) ++digits;
    char* const end = at + std::max(digits, width);
    char* p = end;
    while (value >= 10) {
        p -= 2;
        std::memcpy(p, &DigitPairs[static_cast<std::size_t>(value % 100 * 2)], 2);
        value /= 100;
    }
    if (p > at && (value != 0 || p == end)) *--p = static_cast<char>('0' + value);
    while (p > at) *--p = '0';
    return end;
}

// "%0*.*f" of a value whose QuickScaled form is n, zero-padded to width (the sign first): the end.
// At most a sign, 12 digits, a point and 6 decimals beyond the padding.
char* PutScaled(char* at, double value, std::int64_t n, int decimals, int width)
{
    if (std::signbit(value)) {
        *at++ = '-';
        --width;
    }
    const std::int64_t unit = Pow10[decimals];
    at = PutDigits(at, static_cast<std::uint64_t>(n / unit), std::max(width - (decimals > 0 ? decimals + 1 : 0), 1));
    if (decimals > 0) {
        *at++ = '.';
        at = PutDigits(at, static_cast<std::uint64_t>(n % unit), decimals);
    }
    return at;
}

}  // namespace

std::size_t FormatFixed(double value, int decimals, char* out, std::size_t size)
{
    // Anything large, odd or on a half goes through to_chars.
    std::int64_t n = 0;
    if (size >= 32 && QuickScaled(value, decimals, n)) return static_cast<std::size_t>(PutScaled(out, value, n, decimals, 0) - out);
    const auto [end, ec] = std::to_chars(out, out + size, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? static_cast<std::size_t>(end - out) : 0;
}

namespace {

// Assembles one text in a fixed buffer. Numbers come out exactly as printf writes them (to_chars with
// a precision is defined as printf's "%.Nf"), without printf's cost on every due tick and export record.
// Every value is clamped before it gets here, so nothing can outgrow the buffer; a text that would
// is cut and still ends inside it.
class TextBuilder {
public:
    TextBuilder(char* buffer, std::size_t size) : m_begin(buffer), m_at(buffer), m_end(buffer + size - 1) {}

    // The small ones are inlined everywhere: a record makes some thirty of these calls.
    [[gnu::always_inline]] TextBuilder& Put(std::string_view text)
    {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(m_end - m_at));
        CopyBytes(m_at, text.data(), n);
        m_at += n;
        return *this;
    }
    [[gnu::always_inline]] TextBuilder& Put(char c)
    {
        if (m_at < m_end) *m_at++ = c;
        return *this;
    }
    // "%0*d" of a value >= 0.
    [[gnu::always_inline]] TextBuilder& Digits(int value, int width)
    {
        if (value >= 0 && m_end - m_at >= std::max(width, 10)) {
            m_at = PutDigits(m_at, static_cast<std::uint64_t>(value), width);
            return *this;
        }
        // A negative value or no room: the sign behind any padding, cut at the end.
        char digits[32];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) Put('0');
        for (const char* c = digits; c != end; ++c) Put(*c);
        return *this;
    }
    // "%0*.*f": zero-padded to width (the sign, if any, first).
    TextBuilder& Fixed(double value, int decimals, int width = 0)
    {
        // Written in place when it surely fits: at most a sign, 12 digits, a point and 6 decimals.
        std::int64_t n = 0;
        if (m_end - m_at >= std::max(width, 20) && QuickScaled(value, decimals, n)) {
            m_at = PutScaled(m_at, value, n, decimals, width);
            return *this;
        }
        char digits[64];
        const std::size_t length = FormatFixed(value, decimals, digits, sizeof digits);
        if (length == 0) return Put('0');
        std::string_view text(digits, length);
        if (!text.empty() && text[0] == '-') {
            Put('-');
            text.remove_prefix(1);
            --width;
        }
        for (int pad = width - static_cast<int>(text.size()); pad > 0; --pad) Put('0');
        return Put(text);
    }
    std::string_view View() const { return {m_begin, static_cast<std::size_t>(m_at - m_begin)}; }
    void Finish() { *m_at = '\0'; }

private:
    char* m_begin;
    char* m_at;
    char* m_end;
};

// Two digits of 0 <= value < 100.
char* PutPair(char* at, int value)
{
    std::memcpy(at, &DigitPairs[static_cast<std::size_t>(value) * 2], 2);
    return at + 2;
}

// A field of a few characters, written once and put into several sentences.
struct Field {
    char Text[16];
    std::size_t Length = 0;
    std::string_view View() const { return {Text, Length}; }
};

// "hhmmss.sss," of a time of day.
Field TimeField(const UtcTime& utc, int milliseconds)
{
    Field f;
    char* at = PutPair(PutPair(PutPair(f.Text, utc.Hour), utc.Minute), utc.Second);
    *at++ = '.';
    *at++ = static_cast<char>('0' + milliseconds / 100);
    at = PutPair(at, milliseconds % 100);
    *at++ = ',';
    f.Length = static_cast<std::size_t>(at - f.Text);
    return f;
}

// "ddmmyy," of a date.
Field DateField(const UtcTime& utc)
{
    Field f;
    char* at = PutPair(PutPair(PutPair(f.Text, utc.Day), utc.Month), utc.Year % 100);
    *at++ = ',';
    f.Length = static_cast<std::size_t>(at - f.Text);
    return f;
}

// "3113.8240,N," or "12128.4220,E,": degrees, minutes to four decimals, hemisphere. The minutes are
// rounded once with their carry, and the hemisphere is that of the rounded value: a longitude of
// -2e-16 is "00000.0000,E,", not W. This is RoundAngle's DM form, counted in ten-thousandths of a
// minute so that no text is printed and read back per field. limit is 90 or 180.
Field CoordinateField(double value, double limit, char positive, char negative)
{
    const double v = std::clamp(Finite(value), -limit, limit);
    const int whole = static_cast<int>(v);  // toward zero
    int degrees = std::abs(whole);
    const double minutes = std::fabs(v - whole) * 60;
    std::int64_t scaled = 0;
    if (!QuickScaled(minutes, 4, scaled)) {
        // On a half: printf's own digits decide.
        char text[32];
        const char* end = std::to_chars(text, text + sizeof text, minutes, std::chars_format::fixed, 4).ptr;
        for (const char* c = text; c != end; ++c)
            if (*c != '.') scaled = scaled * 10 + (*c - '0');
    }
    if (scaled >= MinuteUnitsPerDegree) {
        scaled = 0;
        ++degrees;
    }
    const bool negativeSide = v < 0 && !(scaled == 0 && degrees == 0);
    const auto tenThousandths = static_cast<int>(scaled % 10000);
    Field f;
    char* at = f.Text;
    if (limit > 90) *at++ = static_cast<char>('0' + degrees / 100);  // three digits of longitude
    at = PutPair(PutPair(at, degrees % 100), static_cast<int>(scaled / 10000));
    *at++ = '.';
    at = PutPair(PutPair(at, tenThousandths / 100), tenThousandths % 100);
    *at++ = ',';
    *at++ = negativeSide ? negative : positive;
    *at++ = ',';
    f.Length = static_cast<std::size_t>(at - f.Text);
    return f;
}

struct SystemTalker {
    std::string_view Talker;
    int NmeaId;  // the system id field of an NMEA 4.10 GSA
};
// Indexed by GnssSystem.
constexpr std::array<SystemTalker, GnssSystemCount> Systems = {{{"GP", 1}, {"GL", 2}, {"GA", 3}, {"GB", 4}}};

// A GSV message count is one digit: nine messages of four.
constexpr int MaxGsvSatellites = 36;

int SystemsIn(unsigned systems) { return std::popcount(systems & ((1u << GnssSystemCount) - 1)); }

// RMC, GGA and the other position sentences: the one system's talker, or GN for several.
std::string_view PositionTalker(const SkyView* view)
{
    if (view == nullptr) return "GP";
    if (SystemsIn(view->Systems) != 1) return "GN";
    return Systems[static_cast<std::size_t>(std::countr_zero(view->Systems))].Talker;
}

double Dop(double value) { return std::min(Finite(value), 99.9); }

// A system's used satellites, highest first, as GSA lists them.
struct UsedList {
    std::array<const SatelliteView*, MaxUsedPerSystem> Items{};
    std::size_t Count = 0;
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.begin() + static_cast<std::ptrdiff_t>(Count); }
};
UsedList UsedByElevation(const SkyView& view, GnssSystem system)
{
    UsedList used;
    for (const SatelliteView& sat : view.Satellites)
        if (sat.System == system && sat.Used && used.Count < used.Items.size()) used.Items[used.Count++] = &sat;
    std::sort(used.Items.begin(), used.Items.begin() + static_cast<std::ptrdiff_t>(used.Count),
              [](const SatelliteView* a, const SatelliteView* b) { return a->Elevation > b->Elevation; });
    return used;
}

// The noise moves the reported position off the true one: metres north, east and up.
void ApplyError(SimFix& fix, const SkyView& view)
{
    fix.Latitude += view.NorthError / PolarRadius / DegToRad;
    const double c = std::max(std::cos(fix.Latitude * DegToRad), 1e-6);
    fix.Longitude += view.EastError / (EquatorialRadius * c) / DegToRad;
    if (fix.Longitude > 180) fix.Longitude -= 360;
    if (fix.Longitude < -180) fix.Longitude += 360;
    fix.Altitude += view.UpError;
}

}  // namespace

UtcTime BreakUtc(std::int64_t t)
{
    // Days since 1970 to a civil date in the proleptic Gregorian calendar, in whole-number arithmetic.
    std::int64_t days = t / 86400;
    std::int64_t second = t % 86400;
    if (second < 0) {
        second += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    UtcTime utc;
    utc.Day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    utc.Month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    utc.Year = static_cast<int>(yearOfEra + era * 400 + (utc.Month <= 2 ? 1 : 0));
    utc.Hour = static_cast<int>(second / 3600);
    utc.Minute = static_cast<int>(second / 60 % 60);
    utc.Second = static_cast<int>(second % 60);
    return utc;
}

namespace {

// The checksum of a text of length bytes whose last byte is its "*": XOR of every byte after "$".
int WriteChecksum(char* text, std::size_t length, int bufferSize)
{
    const std::size_t starPos = length - 1;
    if (length == 0 || text[starPos] != '*' || static_cast<int>(starPos) + 3 >= bufferSize) return -1;
    // Eight bytes at a time: XOR does not care how the bytes are grouped.
    const std::size_t first = text[0] == '$' ? 1 : 0;
    std::uint64_t wide = 0;
    std::size_t i = first;
    for (; i + 8 <= starPos; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, sizeof word);
        wide ^= word;
    }
    wide ^= wide >> 32;
    wide ^= wide >> 16;
    wide ^= wide >> 8;
    auto sum = static_cast<unsigned char>(wide);
    for (; i < starPos; ++i) sum ^= static_cast<unsigned char>(text[i]);
    static constexpr char Hex[] = "0123456789ABCDEF";
    text[starPos + 1] = Hex[sum >> 4];
    text[starPos + 2] = Hex[sum & 0x0F];
    text[starPos + 3] = '\0';
    return static_cast<int>(starPos) + 3;
}

}  // namespace

double ReportedSpeed(const SimFix& fix, RunState runState, const Settings& settings)
{
    if (runState == RunState::Paused) return 0;
    const double upper = Finite(settings.GPSUpperSpeed);
    const double lower = Finite(settings.GPSLowerSpeed);
    double speed = upper < lower ? upper : std::clamp(Finite(fix.Speed), lower, upper);
    // Limits from a hand-edited file may lie outside what the options allow; the sentence stays sane.
    return std::clamp(speed, 0.0, MaxSpeedMps);
}

int NmeaChecksum(char* text, int bufferSize)
{
    const char* star = static_cast<const char*>(std::memchr(text, '*', static_cast<std::size_t>(bufferSize)));
    if (star == nullptr) return -1;
    return WriteChecksum(text, static_cast<std::size_t>(star - text) + 1, bufferSize);
}

void NmeaBuilder::BuildSentences(const SimFix& fix, RunState runState, const Settings& settings, FixClock& clock,
                                 const CalendarClock& calendar, bool exportRunning, SkyModel* sky)
{
    if (!clock.FixClockStart) {
        clock.FixClockStart = calendar.Now();
        clock.ExportSentenceCount = 0;
    }
    if (exportRunning) {
        BuildSentencesAt(fix, runState, settings, NextExportMilliseconds(clock, settings), sky);
        return;
    }
    const std::int64_t start = *clock.FixClockStart;
    const std::int64_t offset = TruncWhole(settings.GPSTimeOffset * 3600);
    const double realMs = static_cast<double>(calendar.NowMilliseconds() - start * 1000);
    BuildSentencesAt(fix, runState, settings, (start + offset) * 1000 + TruncWhole(realMs * settings.GPSTimeFactor), sky);
}

std::int64_t NextExportMilliseconds(FixClock& clock, const Settings& settings)
{
    // One record a second, scaled in whole seconds: the file's times never carry a fraction.
    ++clock.ExportSentenceCount;
    const std::int64_t elapsedMs = TruncWhole(clock.ExportSentenceCount * settings.GPSTimeFactor) * 1000;
    return (*clock.FixClockStart + TruncWhole(settings.GPSTimeOffset * 3600)) * 1000 + elapsedMs;
}

void NmeaBuilder::BuildSentencesAt(const SimFix& fix, RunState runState, const Settings& settings,
                                   std::int64_t fixMilliseconds, SkyModel* sky)
{
    const std::int64_t ms = std::clamp(fixMilliseconds, EarliestFixTime * 1000, LatestFixTime * 1000);
    // Consecutive builds mostly fall on the same day: its date is broken down once.
    const std::int64_t seconds = ms / 1000;
    if (seconds / 86400 != m_day) {
        m_day = seconds / 86400;
        m_dayDate = BreakUtc(m_day * 86400);
    }
    UtcTime utc = m_dayDate;
    utc.Hour = static_cast<int>(seconds % 86400 / 3600);
    utc.Minute = static_cast<int>(seconds % 3600 / 60);
    utc.Second = static_cast<int>(seconds % 60);

    const Field time = TimeField(utc, static_cast<int>(ms % 1000));
    const Field date = DateField(utc);

    const double kmh = ReportedSpeed(fix, runState, settings) * KmhPerMps;
    const double knots = kmh / KmhPerKnot;
    const double course = std::clamp(Finite(fix.Course), -360.0, 720.0);

    // Without a sky: the receiver of four fixed satellites. With one: what it sees at the fix time.
    const SkyView* view = sky ? &sky->Observe(fix, static_cast<double>(ms) / 1000) : nullptr;
    const bool valid = view == nullptr || view->FixValid;
    const std::string_view talker = PositionTalker(view);

    SimFix reported = fix;
    if (view && valid) ApplyError(reported, *view);
    const Field lat = CoordinateField(reported.Latitude, 90, 'N', 'S');
    const Field lon = CoordinateField(reported.Longitude, 180, 'E', 'W');
    const double altitude = std::clamp(Finite(reported.Altitude), -MaxAltitude, MaxAltitude);

    m_lines = 0;
    // Starts a sentence; false for one no output takes, which is then left out of the build.
    auto begin = [this](Sentence s) {
        m_first[static_cast<int>(s)] = m_lines;
        m_count[static_cast<int>(s)] = 0;
        return m_wanted[static_cast<std::size_t>(s)];
    };
    // A new line of the sentence last started, opened with "$", the talker and the sentence name.
    auto line = [this](Sentence s, std::string_view lineTalker) {
        TextBuilder text(m_text[static_cast<std::size_t>(m_lines)].data(), SentenceBufferSize);
        text.Put('$').Put(lineTalker).Put(SentenceNames[static_cast<std::size_t>(s)]).Put(',');
        return text;
    };
    auto next = [this](Sentence s) {
        ++m_count[static_cast<int>(s)];
        if (m_lines + 1 < MaxSentenceLines) ++m_lines;
    };
    auto finish = [this, &next](Sentence s, TextBuilder& text) {
        text.Finish();
        m_length[static_cast<std::size_t>(m_lines)] =
            WriteChecksum(m_text[static_cast<std::size_t>(m_lines)].data(), text.View().size(), SentenceBufferSize);
        next(s);
    };
    auto fixedLine = [this, &next](Sentence s, const auto& sentence) {
        std::memcpy(m_text[static_cast<std::size_t>(m_lines)].data(), sentence.Text.data(), sentence.Text.size());
        m_length[static_cast<std::size_t>(m_lines)] = sentence.Length;
        next(s);
    };

    // $GPRMC,time,A,lat,N,lon,E,knots,course,date,,,A*hh  (no fix: time,V,,,,,,,date,,,N)
    if (begin(Sentence::RMC)) {
        TextBuilder rmc = line(Sentence::RMC, talker);
        if (valid) {
            rmc.Put(time.View()).Put("A,").Put(lat.View()).Put(lon.View());
            rmc.Fixed(knots, 2).Put(',').Fixed(course, 1).Put(',').Put(date.View()).Put(",,A*");
        } else {
            rmc.Put(time.View()).Put("V,,,,,,,").Put(date.View()).Put(",,N*");
        }
        finish(Sentence::RMC, rmc);
    }
    // $GPGGA,time,lat,N,lon,E,quality,used,hdop,alt,M,,,,0000*hh
    if (begin(Sentence::GGA)) {
        TextBuilder gga = line(Sentence::GGA, talker);
        gga.Put(time.View());
        if (!view) {
            gga.Put(lat.View()).Put(lon.View()).Put("1,04,1.0,").Fixed(altitude, 1).Put(",M,,,,0000*");
        } else if (valid) {
            gga.Put(lat.View()).Put(lon.View()).Put("1,").Digits(std::min(view->UsedCount, 99), 2).Put(',');
            gga.Fixed(Dop(view->Dop.HDOP), 1).Put(',').Fixed(altitude, 1).Put(",M,,,,0000*");
        } else {
            gga.Put(",,,,0,00,,,,,,,0000*");
        }
        finish(Sentence::GGA, gga);
    }
    // $GPGSA,A,3,prn x12,pdop,hdop,vdop*hh; several systems: $GNGSA per system with its system id
    if (begin(Sentence::GSA)) {
        if (!view) {
            fixedLine(Sentence::GSA, GsaLine);
        } else {
            const bool several = SystemsIn(view->Systems) > 1;
            for (int i = 0; i < GnssSystemCount; ++i) {
                if ((view->Systems & (1u << i)) == 0) continue;
                TextBuilder gsa = line(Sentence::GSA, talker);
                gsa.Put(valid ? "A,3," : "A,1,");
                int slots = 0;
                for (const SatelliteView* sat : UsedByElevation(*view, static_cast<GnssSystem>(i))) {
                    gsa.Digits(sat->Prn, 2).Put(',');
                    ++slots;
                }
                for (; slots < MaxUsedPerSystem; ++slots) gsa.Put(',');
                if (valid) {
                    gsa.Fixed(Dop(view->Dop.PDOP), 1).Put(',').Fixed(Dop(view->Dop.HDOP), 1).Put(',');
                    gsa.Fixed(Dop(view->Dop.VDOP), 1);
                } else {
                    gsa.Put(",,");  // three empty DOP fields
                }
                if (several) gsa.Put(',').Digits(Systems[static_cast<std::size_t>(i)].NmeaId, 1);
                gsa.Put('*');
                finish(Sentence::GSA, gsa);
            }
        }
    }
    // $GPGSV,count,index,in view,(prn,elevation,azimuth,snr) x up to 4*hh, per system with its talker
    if (begin(Sentence::GSV)) {
        if (!view) {
            fixedLine(Sentence::GSV, GsvLine);
        } else {
            for (int i = 0; i < GnssSystemCount; ++i) {
                if ((view->Systems & (1u << i)) == 0) continue;
                std::array<const SatelliteView*, MaxGsvSatellites> inView{};
                int n = 0;
                for (const SatelliteView& sat : view->Satellites)
                    if (static_cast<int>(sat.System) == i && n < MaxGsvSatellites) inView[static_cast<std::size_t>(n++)] = &sat;
                const int messages = std::max(1, (n + 3) / 4);
                for (int m = 0; m < messages; ++m) {
                    TextBuilder gsv = line(Sentence::GSV, Systems[static_cast<std::size_t>(i)].Talker);
                    gsv.Digits(messages, 1).Put(',').Digits(m + 1, 1).Put(',').Digits(n, 2);
                    for (int k = m * 4; k < std::min(n, m * 4 + 4); ++k) {
                        const SatelliteView& sat = *inView[static_cast<std::size_t>(k)];
                        const int azimuth = static_cast<int>(std::lround(sat.Azimuth)) % 360;
                        gsv.Put(',').Digits(sat.Prn, 2).Put(',').Digits(static_cast<int>(std::lround(sat.Elevation)), 2);
                        gsv.Put(',').Digits(azimuth, 3).Put(',').Digits(sat.Snr, 2);
                    }
                    gsv.Put('*');
                    finish(Sentence::GSV, gsv);
                }
            }
        }
    }
    // $GPGLL,lat,N,lon,E,time,A*hh  (no fix: ,,,,time,V)
    if (begin(Sentence::GLL)) {
        TextBuilder gll = line(Sentence::GLL, talker);
        if (valid)
            gll.Put(lat.View()).Put(lon.View()).Put(time.View()).Put("A*");
        else
            gll.Put(",,,,").Put(time.View()).Put("V*");
        finish(Sentence::GLL, gll);
    }
    // $GPVTG,course,T,,M,knots,N,kmh,K*hh  (no fix: every value empty)
    if (begin(Sentence::VTG)) {
        TextBuilder vtg = line(Sentence::VTG, talker);
        if (valid)
            vtg.Fixed(course, 1).Put(",T,,M,").Fixed(knots, 2).Put(",N,").Fixed(kmh, 2).Put(",K*");
        else
            vtg.Put(",T,,M,,N,,K*");
        finish(Sentence::VTG, vtg);
    }
    // $GPZDA,time,day,month,year,zone hours,zone minutes*hh: the fix time is UTC, its zone 00,00
    if (begin(Sentence::ZDA)) {
        TextBuilder zda = line(Sentence::ZDA, talker);
        zda.Put(time.View()).Digits(utc.Day, 2).Put(',').Digits(utc.Month, 2).Put(',').Digits(utc.Year, 4).Put(",00,00*");
        finish(Sentence::ZDA, zda);
    }
    // $GPGST,time,rms,major,minor,orientation,lat sigma,lon sigma,alt sigma*hh, metres, the noise's own
    if (begin(Sentence::GST)) {
        TextBuilder gst = line(Sentence::GST, talker);
        gst.Put(time.View());
        if (valid) {
            const double sn = view ? view->SigmaNorth : 0, se = view ? view->SigmaEast : 0, su = view ? view->SigmaUp : 0;
            gst.Fixed(view ? view->Uere : 0, 1).Put(',').Fixed(std::max(sn, se), 1).Put(',').Fixed(std::min(sn, se), 1);
            gst.Put(',').Fixed(sn >= se ? 0.0 : 90.0, 1).Put(',').Fixed(sn, 1).Put(',').Fixed(se, 1).Put(',');
            gst.Fixed(su, 1).Put('*');
        } else {
            gst.Put(",,,,,,*");
        }
        finish(Sentence::GST, gst);
    }
    // $GPHDT,heading,T*hh: the course over ground stands in for the heading
    if (begin(Sentence::HDT)) {
        TextBuilder hdt = line(Sentence::HDT, talker);
        if (valid)
            hdt.Fixed(course, 1).Put(",T*");
        else
            hdt.Put(",T*");
        finish(Sentence::HDT, hdt);
    }
}

void NmeaBuilder::AppendLineEnds()
{
    for (int i = 0; i < m_lines; ++i) {
        const int n = m_length[i];
        m_text[i][n] = '\r';
        m_text[i][n + 1] = '\n';
        m_text[i][n + 2] = '\0';
        m_length[i] = n + 2;
    }
}

}  // namespace tolvex
