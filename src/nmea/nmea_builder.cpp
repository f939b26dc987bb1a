#include "nmea/nmea_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

// Every value is clamped before it is formatted, so no text can outgrow its buffer; gcc cannot see
// those bounds through the field buffers and would warn about each call.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif

namespace tolvex {
namespace {

constexpr const char GsaText[] = "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*";
constexpr const char GsvText[] = "$GPGSV,1,1,04,01,30,000,35,02,40,090,40,03,50,180,45,04,60,270,50*";

// The UTC conversion covers 1970-01-01 to 3000-12-31; a fix time outside is held at the nearest end
// so that the fields stay well formed.
constexpr std::int64_t EarliestFixTime = 0;
constexpr std::int64_t LatestFixTime = 32535215999;  // 3000-12-31 23:59:59

// Whole seconds toward zero, kept within a range no calendar time can leave.
std::int64_t TruncSeconds(double seconds)
{
    if (!std::isfinite(seconds)) return 0;
    return static_cast<std::int64_t>(std::clamp(seconds, -1e15, 1e15));
}

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

// snprintf whose result is checked: every value is clamped beforehand so that nothing is ever cut,
// and a cut text would still end inside its buffer.
template <typename... Args>
bool Put(char* out, std::size_t size, const char* format, Args... args)
{
    const int n = std::snprintf(out, size, format, args...);
    return n >= 0 && static_cast<std::size_t>(n) < size;
}

// "3113.8240,N," or "12128.4220,E,": degrees, minutes to four decimals, hemisphere.
void FormatCoordinate(char* out, std::size_t size, double value, double limit, int degreeDigits, char positive,
                      char negative)
{
    value = std::clamp(Finite(value), -limit, limit);
    if (value == 0) value = 0;  // -0 counts as 0, and must not print as "-0.0000"
    char hemisphere = positive;
    if (value < 0) {
        hemisphere = negative;
        value = -value;
    }
    int degrees = static_cast<int>(value);
    char minutes[16];
    Put(minutes, sizeof minutes, "%07.4f", (value - degrees) * 60);
    // Minutes that round up to 60 carry into the degrees instead of giving "3160.0000".
    if (std::strncmp(minutes, "60", 2) == 0) {
        ++degrees;
        Put(minutes, sizeof minutes, "%07.4f", 0.0);
    }
    Put(out, size, "%0*d%s,%c,", degreeDigits, degrees, minutes, hemisphere);
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
    const int starPos = static_cast<int>(star - text);
    if (starPos + 3 >= bufferSize) return -1;
    unsigned char sum = 0;
    for (int i = (text[0] == '$' ? 1 : 0); i < starPos; ++i) sum ^= static_cast<unsigned char>(text[i]);
    static constexpr char Hex[] = "0123456789ABCDEF";
    text[starPos + 1] = Hex[sum >> 4];
    text[starPos + 2] = Hex[sum & 0x0F];
    text[starPos + 3] = '\0';
    return starPos + 3;
}

void NmeaBuilder::BuildSentences(const SimFix& fix, RunState runState, const Settings& settings, FixClock& clock,
                                 const CalendarClock& calendar, bool exportRunning)
{
    if (!clock.FixClockStart) {
        clock.FixClockStart = calendar.Now();
        clock.ExportSentenceCount = 0;
    }
    const std::int64_t start = *clock.FixClockStart;
    const std::int64_t offset = TruncSeconds(settings.GPSTimeOffset * 3600);
    std::int64_t elapsed;
    if (exportRunning) {
        ++clock.ExportSentenceCount;
        elapsed = TruncSeconds(clock.ExportSentenceCount * settings.GPSTimeFactor);
    } else {
        elapsed = TruncSeconds(static_cast<double>(calendar.Now() - start) * settings.GPSTimeFactor);
    }
    const std::time_t t = static_cast<std::time_t>(std::clamp(start + elapsed + offset, EarliestFixTime, LatestFixTime));
    std::tm utc{};
    gmtime_r(&t, &utc);

    char timeField[48];
    char dateField[48];
    char latField[48];
    char lonField[48];
    Put(timeField, sizeof timeField, "%02d%02d%02d.000,", utc.tm_hour, utc.tm_min, utc.tm_sec);
    Put(dateField, sizeof dateField, "%02d%02d%02d,", utc.tm_mday, utc.tm_mon + 1, (utc.tm_year + 1900) % 100);
    FormatCoordinate(latField, sizeof latField, fix.Latitude, 90, 2, 'N', 'S');
    FormatCoordinate(lonField, sizeof lonField, fix.Longitude, 180, 3, 'E', 'W');

    const double kmh = ReportedSpeed(fix, runState, settings) * KmhPerMps;
    const double knots = kmh / KmhPerKnot;
    const double course = std::clamp(Finite(fix.Course), -360.0, 720.0);
    const double altitude = std::clamp(Finite(fix.Altitude), -MaxAltitude, MaxAltitude);

    auto finish = [this](int i) { m_length[i] = NmeaChecksum(m_text[i].data(), SentenceBufferSize); };
    // $GPRMC,time,A,lat,N,lon,E,knots,course,date,,,A*hh
    Put(m_text[0].data(), SentenceBufferSize, "$GPRMC,%sA,%s%s%.2f,%.1f,%s,,A*", timeField, latField,
                  lonField, knots, course, dateField);
    finish(0);
    // $GPGGA,time,lat,N,lon,E,1,04,1.0,alt,M,,,,0000*hh
    Put(m_text[1].data(), SentenceBufferSize, "$GPGGA,%s%s%s1,04,1.0,%.1f,M,,,,0000*", timeField, latField,
                  lonField, altitude);
    finish(1);
    // $GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*hh
    std::memcpy(m_text[2].data(), GsaText, sizeof GsaText);
    finish(2);
    // $GPGSV,1,1,04,(prn,elevation,azimuth,snr)x4*hh
    std::memcpy(m_text[3].data(), GsvText, sizeof GsvText);
    finish(3);
    // $GPGLL,lat,N,lon,E,time,A*hh
    Put(m_text[4].data(), SentenceBufferSize, "$GPGLL,%s%s%sA*", latField, lonField, timeField);
    finish(4);
    // $GPVTG,course,T,,M,knots,N,kmh,K*hh
    Put(m_text[5].data(), SentenceBufferSize, "$GPVTG,%.1f,T,,M,%.2f,N,%.2f,K*", course, knots, kmh);
    finish(5);
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
