#include "sim/lat_lon_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int MaxDegreesHeld = 1000000;

// Largest text: "经度 -180°59'59.99\"  " is well under this in UTF-8.
constexpr int TextBufferSize = 96;

// The printf forms of one format, latitude and longitude; the padded ones end in the blanks the
// panel draws to wipe a longer earlier text.
struct FormatRow {
    const char* Latitude;
    const char* Longitude;
};

constexpr FormatRow PlainForms[] = {
    {Texts::Mark("纬度 %c%09.6f°"), Texts::Mark("经度 %c%010.6f°")},
    {Texts::Mark("纬度 %c%02d°%07.4f'"), Texts::Mark("经度 %c%03d°%07.4f'")},
    {Texts::Mark("纬度 %c%02d°%02d'%05.2f\""), Texts::Mark("经度 %c%03d°%02d'%05.2f\"")},
};

constexpr FormatRow PanelForms[] = {
    {Texts::Mark("纬度 %c%09.6f°     "), Texts::Mark("经度 %c%010.6f°     ")},
    {Texts::Mark("纬度 %c%02d°%07.4f'  "), Texts::Mark("经度 %c%03d°%07.4f'  ")},
    {Texts::Mark("纬度 %c%02d°%02d'%05.2f\"  "), Texts::Mark("经度 %c%03d°%02d'%05.2f\"  ")},
};

std::string FormatOne(LatLonFormat format, const char* source, double value)
{
    const std::string pattern = Texts::tr(source);
    char buffer[TextBufferSize];
    const ShownAngle shown = RoundAngle(format, value);
    const char sign = shown.Negative ? '-' : ' ';
    switch (format) {
    case LatLonFormat::DM:
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), sign, shown.Degrees, shown.Minutes);
        break;
    case LatLonFormat::DMS:
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), sign, shown.Degrees, shown.WholeMinutes, shown.Seconds);
        break;
    case LatLonFormat::D:
    default:
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), sign, shown.Decimal);
        break;
    }
    return buffer;
}

LatLonText FormatPair(const FormatRow* table, LatLonFormat format, double latitude, double longitude)
{
    const FormatRow& row = table[static_cast<int>(format)];
    return {FormatOne(format, row.Latitude, latitude), FormatOne(format, row.Longitude, longitude)};
}

// "%02d" / "%03d" of the signed degrees, with the "-" a negative value below one degree would lose.
std::string SignedDegrees(const ShownAngle& shown, int width)
{
    char buffer[16];
    if (shown.Negative)
        std::snprintf(buffer, sizeof buffer, "-%0*d", width - 1, shown.Degrees);
    else
        std::snprintf(buffer, sizeof buffer, "%0*d", width, shown.Degrees);
    return buffer;
}

}  // namespace

LatLonFormat ToLatLonFormat(int index)
{
    return index == 1 ? LatLonFormat::DM : index == 2 ? LatLonFormat::DMS : LatLonFormat::D;
}

DegreeParts SplitDegrees(double value)
{
    DegreeParts parts;
    // A position read from a damaged settings file may be anything; the int fields must still hold it.
    if (!std::isfinite(value) || std::abs(value) > MaxDegreesHeld) {
        parts.Degrees = std::isnan(value) ? 0 : value < 0 ? -MaxDegreesHeld : MaxDegreesHeld;
        return parts;
    }
    const double whole = std::trunc(value);
    parts.Degrees = static_cast<int>(whole);
    parts.Minutes = std::abs(value - whole) * 60;
    parts.WholeMinutes = static_cast<int>(std::trunc(parts.Minutes));
    parts.Seconds = (parts.Minutes - parts.WholeMinutes) * 60;
    return parts;
}

ShownAngle RoundAngle(LatLonFormat format, double value)
{
    ShownAngle shown;
    if (format == LatLonFormat::D) {
        shown.Decimal = RoundToDecimals(6, std::abs(value));
        shown.Negative = value < 0 && shown.Decimal != 0;
        return shown;
    }
    const DegreeParts parts = SplitDegrees(value);
    int degrees = std::abs(parts.Degrees);
    bool zero;
    if (format == LatLonFormat::DM) {
        shown.Minutes = RoundToDecimals(4, parts.Minutes);
        if (shown.Minutes >= 60) {
            shown.Minutes = 0;
            ++degrees;
        }
        zero = shown.Minutes == 0;
    } else {
        int minutes = parts.WholeMinutes;
        shown.Seconds = RoundToDecimals(2, parts.Seconds);
        if (shown.Seconds >= 60) {
            shown.Seconds = 0;
            ++minutes;
        }
        if (minutes >= 60) {
            minutes = 0;
            ++degrees;
        }
        shown.WholeMinutes = minutes;
        zero = minutes == 0 && shown.Seconds == 0;
    }
    shown.Degrees = degrees;
    shown.Negative = value < 0 && !(zero && degrees == 0);
    return shown;
}

LatLonText FormatLatLon(LatLonFormat format, double latitude, double longitude)
{
    return FormatPair(PlainForms, format, latitude, longitude);
}

LatLonText FormatLatLon(int formatIndex, double latitude, double longitude)
{
    return FormatLatLon(ToLatLonFormat(formatIndex), latitude, longitude);
}

LatLonText FormatPanelLatLon(LatLonFormat format, double latitude, double longitude)
{
    return FormatPair(PanelForms, format, latitude, longitude);
}

LatLonText FormatPanelLatLon(int formatIndex, double latitude, double longitude)
{
    return FormatPanelLatLon(ToLatLonFormat(formatIndex), latitude, longitude);
}

std::string CopyCoordinate(CoordinateAxis axis, CopyForm form, double value)
{
    const bool latitude = axis == CoordinateAxis::Latitude;
    const int degreeWidth = latitude ? 2 : 3;
    char buffer[TextBufferSize];
    switch (form) {
    case CopyForm::Degrees: {
        const ShownAngle shown = RoundAngle(LatLonFormat::D, value);
        std::snprintf(buffer, sizeof buffer, latitude ? "%09.6f" : "%010.6f",
                      shown.Negative ? -shown.Decimal : shown.Decimal);
        return buffer;
    }
    case CopyForm::DegreesMinutes: {
        const ShownAngle shown = RoundAngle(LatLonFormat::DM, value);
        std::snprintf(buffer, sizeof buffer, "%07.4f", shown.Minutes);
        return SignedDegrees(shown, degreeWidth) + buffer;
    }
    case CopyForm::DegreesMinutesSeconds: {
        const ShownAngle shown = RoundAngle(LatLonFormat::DMS, value);
        std::snprintf(buffer, sizeof buffer, "%02d%05.2f", shown.WholeMinutes, shown.Seconds);
        return SignedDegrees(shown, degreeWidth) + buffer;
    }
    }
    return {};
}

double RoundToDecimals(int n, double x)
{
    if (!std::isfinite(x))
        return x;
    // to_chars with a precision writes exactly what "%.nf" writes, without printf's cost in the
    // sentence builder; "%.17f" of the largest double is about 330 characters.
    char buffer[400];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, std::clamp(n, 0, 17)).ptr;
    double value = x;
    std::from_chars(buffer, end, value);
    return value;
}

}  // namespace tolvex
