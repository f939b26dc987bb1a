#include "tracks/segment_rows.h"

#include <cstdio>

#include "sim/lat_lon_format.h"
#include "sim/texts.h"

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

}  // namespace

std::vector<std::string> SegmentRows(const TrackStore& store, int latLonFormat)
{
    std::vector<std::string> rows;
    const std::string pattern = Texts::tr("%3d： %s   %4d点   %5.1fKm   起点%s   起点%s  ");
    int number = 0;
    for (const TrackSegment& segment : store.ActiveSegments()) {
        ++number;
        const TrackPoint* first = store.PointAt(segment.FirstPoint - 1);
        const double lat = first ? first->Latitude : 0;
        const double lon = first ? first->Longitude : 0;
        const std::string name = segment.Name.empty() ? std::string() : "\"" + segment.Name + "\"";
        const LatLonText texts = FormatLatLon(latLonFormat, lat, lon);
        const std::string& latText = texts.Latitude;
        const std::string& lonText = texts.Longitude;
        const int size = std::snprintf(nullptr, 0, pattern.c_str(), number, name.c_str(),
                                       segment.PointCount, segment.Length / 1000, latText.c_str(), lonText.c_str());
        std::string row(static_cast<std::size_t>(size) + 1, '\0');
        std::snprintf(row.data(), row.size(), pattern.c_str(), number, name.c_str(),
                      segment.PointCount, segment.Length / 1000, latText.c_str(), lonText.c_str());
        row.pop_back();
        rows.push_back(FirstCharacters(row, MaxRowCharacters));
    }
    return rows;
}

std::string SegmentSummary(const TrackStore& store)
{
    char text[128];
    std::snprintf(text, sizeof text, Texts::tr("%d段航迹，共%d点，%.1fKm").c_str(), store.SegmentCountTotal(), store.PointCountTotal(),
                  TotalLength(store) / 1000);
    return text;
}

std::string SegmentTotals(const TrackStore& store)
{
    char text[128];
    std::snprintf(text, sizeof text, Texts::tr("（共%d段，%d点，%.1fKm）").c_str(), store.SegmentCountTotal(), store.PointCountTotal(),
                  TotalLength(store) / 1000);
    return text;
}

}  // namespace tolvex
