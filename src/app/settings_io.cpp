#include "app/settings_io.h"

#include "config/settings_file.h"

namespace tolvex {

std::string WindowSettingsPath() { return DefaultSettingsPath(); }

void LoadWindowSettings(const std::string& path, Settings& settings, SimFix& fix) { LoadSettings(path, settings, fix); }

bool SaveWindowSettings(const std::string& path, const Settings& settings, const SimFix& fix, double speedToWrite,
                        std::string& error)
{
    return SaveSettings(path, settings, fix, speedToWrite, error);
}

}  // namespace tolvex
