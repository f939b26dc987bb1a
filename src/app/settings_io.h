#pragma once
// The settings file as the window uses it. Kept apart from the panel's headers: config/settings_file.h
// and control/favorites.h both define UnnamedFavorite and cannot be included together.

#include <string>

#include "config/settings.h"
#include "sim/sim_fix.h"

namespace tolvex {

std::string WindowSettingsPath();
void LoadWindowSettings(const std::string& path, Settings& settings, SimFix& fix);
bool SaveWindowSettings(const std::string& path, const Settings& settings, const SimFix& fix, double speedToWrite,
                        std::string& error);

}  // namespace tolvex
