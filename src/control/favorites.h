#pragma once
// Favourite points: the texts of the save dialog and the menu, and the cleaning of a typed name.

#include <array>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "config/settings_file.h"

namespace tolvex {

inline constexpr std::size_t MaxFavoriteNameLength = FavoriteNameChars;  // characters the name box accepts
inline constexpr std::size_t MaxFavoriteLineLength = 80;  // characters of a list row or menu entry

// The typed name as stored: control characters to blanks, outer white space (ideographic space
// included) stripped, "," to "-", at most 63 characters; "未命名" when nothing is left.
std::string CleanFavoriteName(std::string_view typed);

// "%s    %s    高度 %.1fm    方位角 %.2f°" of a pose, positions in the format.
std::string FavoriteDescription(int formatIndex, double latitude, double longitude, double altitude, double course);
// A row of the slot list: "%2d:   %s    %s     %s" with number, latitude, longitude, name; cut to 80.
std::string FavoriteListRow(int formatIndex, int slot, const FavoritePoint& point);
// The menu entry of a slot: "%d: %s  %s   %s" with number, name, latitude, longitude; cut to 80.
std::string FavoriteMenuText(int formatIndex, int slot, const FavoritePoint& point);

// What "当前位置设为收藏点" shows and stores: the pose taken when the command ran.
struct FavoriteDraft {
    double Latitude = 0;
    double Longitude = 0;
    double Altitude = 0;
    double Course = 0;
    std::string Description;
    std::array<std::string, FavoriteCount> Rows;  // the drop-down list
    int Selected = 0;                              // 0-based; slot 1 first
    std::string Name;                              // the name box, preset to slot 1's name
};

}  // namespace tolvex
