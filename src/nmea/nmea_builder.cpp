#include "nmea/nmea_builder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "sim/lat_lon_format.h"

namespace tolvex {
namespace {

constexpr const char GsaText[] = "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*";
constexpr const char GsvText[] = "$GPGSV,1,1,04,01,30,000,35,02,40,090,40,03,50,180,45,04,60,270,50*";

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

// Assembles one text in a fixed buffer. Numbers come out exactly as printf writes them (to_chars with
// a precision is defined as printf's "%.Nf"), without printf's cost on every due tick and export record.
// Every value is clamped before it gets here, so nothing can outgrow the buffer; a text that would
// is cut and still ends inside it.
class TextBuilder {
public:
    TextBuilder(char* buffer, std::size_t size) : m_begin(buffer), m_at(buffer), m_end(buffer + size - 1) {}

    TextBuilder& Put(std::string_view text)
    {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(m_end - m_at));
        std::memcpy(m_at, text.data(), n);
        m_at += n;
        return *this;
    }
    TextBuilder& Put(char c)
    {
        if (m_at < m_end) *m_at++ = c;
        return *this;
    }
    // "%0*d" of a value >= 0.
    TextBuilder& Digits(int value, int width)
    {
        char digits[16];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) Put('0');
        return Put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    // "%0*.*f": zero-padded to width (the sign, if any, first).
    TextBuilder& Fixed(double value, int decimals, int width = 0)
    {
        char digits[64];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
        if (ec != std::errc()) return Put('0');
        std::string_view text(digits, static_cast<std::size_t>(end - digits));
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

// "3113.8240,N," or "12128.4220,E,": degrees, minutes to four decimals, hemisphere. The minutes are
// rounded once with their carry, and the hemisphere is that of the rounded value: a longitude of
// -2e-16 is "00000.0000,E,", not W.
void FormatCoordinate(TextBuilder& out, double value, double limit, int degreeDigits, char positive, char negative)
{
    const ShownAngle shown = RoundAngle(LatLonFormat::DM, std::clamp(Finite(value), -limit, limit));
    out.Digits(shown.Degrees, degreeDigits).Fixed(shown.Minutes, 4, 7);
    out.Put(',').Put(shown.Negative ? negative : positive).Put(',');
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
    unsigned char sum = 0;
    for (std::size_t i = (text[0] == '$' ? 1 : 0); i < starPos; ++i) sum ^= static_cast<unsigned char>(text[i]);
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
                                 const CalendarClock& calendar, bool exportRunning)
{
    if (!clock.FixClockStart) {
        clock.FixClockStart = calendar.Now();
        clock.ExportSentenceCount = 0;
    }
    const std::int64_t start = *clock.FixClockStart;
    const std::int64_t offset = TruncWhole(settings.GPSTimeOffset * 3600);
    std::int64_t elapsedMs;
    if (exportRunning) {
        // One record a second, scaled in whole seconds: the file's times never carry a fraction.
        ++clock.ExportSentenceCount;
        elapsedMs = TruncWhole(clock.ExportSentenceCount * settings.GPSTimeFactor) * 1000;
    } else {
        const double realMs = static_cast<double>(calendar.NowMilliseconds() - start * 1000);
        elapsedMs = TruncWhole(realMs * settings.GPSTimeFactor);
    }
    BuildSentencesAt(fix, runState, settings, (start + offset) * 1000 + elapsedMs);
}

void NmeaBuilder::BuildSentencesAt(const SimFix& fix, RunState runState, const Settings& settings,
                                   std::int64_t fixMilliseconds)
{
    const std::int64_t ms = std::clamp(fixMilliseconds, EarliestFixTime * 1000, LatestFixTime * 1000);
    const UtcTime utc = BreakUtc(ms / 1000);

    char fieldText[4][32];
    TextBuilder time(fieldText[0], sizeof fieldText[0]);
    TextBuilder date(fieldText[1], sizeof fieldText[1]);
    TextBuilder lat(fieldText[2], sizeof fieldText[2]);
    TextBuilder lon(fieldText[3], sizeof fieldText[3]);
    time.Digits(utc.Hour, 2).Digits(utc.Minute, 2).Digits(utc.Second, 2).Put('.').Digits(static_cast<int>(ms % 1000), 3);
    time.Put(',');
    date.Digits(utc.Day, 2).Digits(utc.Month, 2).Digits(utc.Year % 100, 2).Put(',');
    FormatCoordinate(lat, fix.Latitude, 90, 2, 'N', 'S');
    FormatCoordinate(lon, fix.Longitude, 180, 3, 'E', 'W');

    const double kmh = ReportedSpeed(fix, runState, settings) * KmhPerMps;
    const double knots = kmh / KmhPerKnot;
    const double course = std::clamp(Finite(fix.Course), -360.0, 720.0);
    const double altitude = std::clamp(Finite(fix.Altitude), -MaxAltitude, MaxAltitude);

    auto sentence = [this](int i) { return TextBuilder(m_text[i].data(), SentenceBufferSize); };
    auto finish = [this](int i, TextBuilder& text) {
        text.Finish();
        m_length[i] = WriteChecksum(m_text[i].data(), text.View().size(), SentenceBufferSize);
    };
    // $GPRMC,time,A,lat,N,lon,E,knots,course,date,,,A*hh
    TextBuilder rmc = sentence(0);
    rmc.Put("$GPRMC,").Put(time.View()).Put("A,").Put(lat.View()).Put(lon.View());
    rmc.Fixed(knots, 2).Put(',').Fixed(course, 1).Put(',').Put(date.View()).Put(",,A*");
    finish(0, rmc);
    // $GPGGA,time,lat,N,lon,E,1,04,1.0,alt,M,,,,0000*hh
    TextBuilder gga = sentence(1);
    gga.Put("$GPGGA,").Put(time.View()).Put(lat.View()).Put(lon.View()).Put("1,04,1.0,");
    gga.Fixed(altitude, 1).Put(",M,,,,0000*");
    finish(1, gga);
    // $GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*hh
    TextBuilder gsa = sentence(2);
    gsa.Put(GsaText);
    finish(2, gsa);
    // $GPGSV,1,1,04,(prn,elevation,azimuth,snr)x4*hh
    TextBuilder gsv = sentence(3);
    gsv.Put(GsvText);
    finish(3, gsv);
    // $GPGLL,lat,N,lon,E,time,A*hh
    TextBuilder gll = sentence(4);
    gll.Put("$GPGLL,").Put(lat.View()).Put(lon.View()).Put(time.View()).Put("A*");
    finish(4, gll);
    // $GPVTG,course,T,,M,knots,N,kmh,K*hh
    TextBuilder vtg = sentence(5);
    vtg.Put("$GPVTG,").Fixed(course, 1).Put(",T,,M,").Fixed(knots, 2).Put(",N,").Fixed(kmh, 2).Put(",K*");
    finish(5, vtg);
}

void NmeaBuilder::AppendLineEnds()
{
    for (int i = 0; i < SentenceCount; ++i) {
        const int n = m_length[i];
        m_text[i][n] = '\r';
        m_text[i][n + 1] = '\n';
        m_text[i][n + 2] = '\0';
        m_length[i] = n + 2;
    }
}

}  // namespace tolvex
