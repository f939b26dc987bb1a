#include "tracks/segment_rows.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tolvex {
namespace {

constexpr std::size_t MaxRowCharacters = 100;

// The first max characters of UTF-8 text (every character here is one UTF-16 unit).
std::string FirstCharacters(const std::string& text, std::size_t max)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (count == max)
                return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

double TotalLength(const TrackStore& store)
{
    double total = 0;
    for (const TrackSegment& s : store.ActiveSegments())
        total += s.Length;
    return total;
}

// Degrees d truncated toward zero, minutes m of the absolute remainder, and for DMS whole
// minutes mm and seconds s.
std::string CoordinateText(const char* label, bool longitude, int format, double v)
{
    const char sign = v < 0 ? '-' : ' ';
    const double d = std::trunc(v);
    const double m = std::fabs(v - d) * 60;
    const int degrees = static_cast<int>(std::fabs(d));
    char text[96];
    switch (format) {
    case 1:
        std::snprintf(text, sizeof text, longitude ? "%s %c%03d°%07.4f'" : "%s %c%02d°%07.4f'", label, sign, degrees, m);
        break;
    case 2: {
        const double mm = std::trunc(m);
        const double s = (m - mm) * 60;
        std::snprintf(text, sizeof text, longitude ? "%s %c%03d°%02d'%05.2f\"" : "%s %c%02d°%02d'%05.2f\"", label, sign,
                      degrees, static_cast<int>(mm), s);
        break;
    }
    default:
        std::snprintf(text, sizeof text, longitude ? "%s %c%010.6f°" : "%s %c%09.6f°", label, sign, std::fabs(v));
        break;
    }
    return text;
}

}  // namespace

std::string SegmentRowLatitude(int latLonFormat, double latitude)
{
    return CoordinateText("纬度", false, latLonFormat, latitude);
}

std::string SegmentRowLongitude(int latLonFormat, double longitude)
{
    return CoordinateText("经度", true, latLonFormat, longitude);
}

std::vector<std::string> SegmentRows(const TrackStore& store, int latLonFormat)
{
    std::vector<std::string> rows;
    int number = 0;
    for (const TrackSegment& segment : store.ActiveSegments()) {
        ++number;
        const TrackPoint* first = store.PointAt(segment.FirstPoint - 1);
        const double lat = first ? first->Latitude : 0;
        const double lon = first ? first->Longitude : 0;
        const std::string name = segment.Name.empty() ? std::string() : "\"" + segment.Name + "\"";
        const std::string latText = SegmentRowLatitude(latLonFormat, lat);
        const std::string lonText = SegmentRowLongitude(latLonFormat, lon);
        const int size = std::snprintf(nullptr, 0, "%3d： %s   %4d点   %5.1fKm   起点%s   起点%s  ", number, name.c_str(),
                                       segment.PointCount, segment.Length / 1000, latText.c_str(), lonText.c_str());
        std::string row(static_cast<std::size_t>(size) + 1, '\0');
        std::snprintf(row.data(), row.size(), "%3d： %s   %4d点   %5.1fKm   起点%s   起点%s  ", number, name.c_str(),
                      segment.PointCount, segment.Length / 1000, latText.c_str(), lonText.c_str());
        row.pop_back();
        rows.push_back(FirstCharacters(row, MaxRowCharacters));
    }
    return rows;
}

std::string SegmentSummary(const TrackStore& store)
{
    char text[128];
    std::snprintf(text, sizeof text, "%d段航迹，共%d点，%.1fKm", store.SegmentCountTotal(), store.PointCountTotal(),
                  TotalLength(store) / 1000);
    return text;
}

std::string SegmentTotals(const TrackStore& store)
{
    char text[128];
    std::snprintf(text, sizeof text, "（共%d段，%d点，%.1fKm）", store.SegmentCountTotal(), store.PointCountTotal(),
                  TotalLength(store) / 1000);
    return text;
}

}  // namespace tolvex
