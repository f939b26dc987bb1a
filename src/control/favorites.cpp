#include "control/favorites.h"

#include <cstdio>

#include "control/operator.h"
#include "control/text_width.h"
#include "sim/engine.h"
#include "sim/lat_lon_format.h"
#include "sim/replay_driver.h"
#include "tracks/replay.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int LineBufferSize = 512;  // a 63-character name is at most 252 bytes of UTF-8

bool IsBlank(std::string_view text, std::size_t i, std::size_t& length)
{
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        length = 1;
        return true;
    }
    if (text.substr(i, 3) == "\u3000") {
        length = 3;
        return true;
    }
    return false;
}

}  // namespace

std::string CleanFavoriteName(std::string_view typed)
{
    std::string name;
    for (const char c : typed) {
        const auto byte = static_cast<unsigned char>(c);
        // A line break in a name would break the settings file line it is stored in.
        name += byte < 0x20 || byte == 0x7F ? ' ' : c == ',' ? '-' : c;
    }
    std::size_t begin = 0;
    std::size_t length = 0;
    while (begin < name.size() && IsBlank(name, begin, length)) begin += length;
    std::size_t end = name.size();
    for (;;) {
        if (end > begin && name[end - 1] == ' ') {
            --end;
        } else if (end >= begin + 3 && name.compare(end - 3, 3, "\u3000") == 0) {
            end -= 3;
        } else {
            break;
        }
    }
    name = CutToCharacters(std::string_view(name).substr(begin, end - begin), MaxFavoriteNameLength);
    return name.empty() ? std::string(UnnamedFavorite) : name;
}

std::string FavoriteDescription(int formatIndex, double latitude, double longitude, double altitude, double course)
{
    const LatLonText texts = FormatLatLon(formatIndex, latitude, longitude);
    char buffer[LineBufferSize];
    std::snprintf(buffer, sizeof buffer, Texts::tr("%s    %s    高度 %.1fm    方位角 %.2f°").c_str(), texts.Latitude.c_str(),
                  texts.Longitude.c_str(), altitude, course);
    return buffer;
}

std::string FavoriteListRow(int formatIndex, int slot, const FavoritePoint& point)
{
    const LatLonText texts = FormatLatLon(formatIndex, point.Latitude, point.Longitude);
    char buffer[LineBufferSize];
    std::snprintf(buffer, sizeof buffer, "%2d:   %s    %s     %s", slot, texts.Latitude.c_str(),
                  texts.Longitude.c_str(), point.Name.c_str());
    return CutToCharacters(buffer, MaxFavoriteLineLength);
}

std::string FavoriteMenuText(int formatIndex, int slot, const FavoritePoint& point)
{
    const LatLonText texts = FormatLatLon(formatIndex, point.Latitude, point.Longitude);
    char buffer[LineBufferSize];
    std::snprintf(buffer, sizeof buffer, "%d: %s  %s   %s", slot, point.Name.c_str(), texts.Latitude.c_str(),
                  texts.Longitude.c_str());
    return CutToCharacters(buffer, MaxFavoriteLineLength);
}

FavoriteDraft Operator::BeginSaveFavorite() const
{
    const SimFix& fix = m_engine.Fix;
    const Settings& options = m_engine.Options;
    FavoriteDraft draft;
    draft.Latitude = fix.Latitude;
    draft.Longitude = fix.Longitude;
    draft.Altitude = fix.Altitude;
    draft.Course = fix.Course;
    draft.Description =
        FavoriteDescription(options.LatLonFormatIndex, draft.Latitude, draft.Longitude, draft.Altitude, draft.Course);
    for (int i = 0; i < FavoriteCount; ++i)
        draft.Rows[i] = FavoriteListRow(options.LatLonFormatIndex, i + 1, options.Favorites[i]);
    draft.Selected = 0;
    draft.Name = options.Favorites[0].Name;
    return draft;
}

std::string Operator::FavoriteName(int slotIndex) const
{
    if (slotIndex < 0 || slotIndex >= FavoriteCount) return {};
    return m_engine.Options.Favorites[slotIndex].Name;
}

void Operator::SaveFavorite(const FavoriteDraft& draft, int slotIndex, std::string_view typedName)
{
    if (slotIndex < 0 || slotIndex >= FavoriteCount) return;
    FavoritePoint& slot = m_engine.Options.Favorites[slotIndex];
    slot.Name = CleanFavoriteName(typedName);
    slot.Latitude = draft.Latitude;
    slot.Longitude = draft.Longitude;
    slot.Course = draft.Course;
    slot.Altitude = draft.Altitude;
}

void Operator::JumpToFavorite(int n)
{
    if (n < 1 || n > FavoriteCount) return;
    const FavoritePoint& slot = m_engine.Options.Favorites[n - 1];
    if (Mode() == TrackMode::Free) {
        SimFix& fix = m_engine.Fix;
        fix.Latitude = slot.Latitude;
        fix.Longitude = slot.Longitude;
        fix.Altitude = slot.Altitude;
        fix.Course = slot.Course;
    } else if (TrackLoaded()) {
        m_replay->SnapToTrack(slot.Latitude, slot.Longitude);
    }
    Refresh();
}

}  // namespace tolvex
