#pragma once
// The window's entry point: creates the application object, runs the main window until it closes.

#include <optional>
#include <string>

#include "config/language.h"

namespace tolvex {

// What `tolvex window` may change; empty fields keep the defaults.
struct WindowOptions {
    std::string ConfigPath;  // the settings file; empty: DefaultSettingsPath()
    std::string VirtualDir;  // the folder of the COMn links, for this run only
    // The control channel's target: the window also takes its commands (empty: the default socket).
    std::optional<std::string> Control;
    // --lang: over the settings' Language and the locale.
    std::optional<WindowLanguage> Language;
};

// Opens the panel window; returns the process exit code.
int RunWindow(int argc, char** argv, const WindowOptions& options = {});

// Every text of the window in the language, the core's and Qt's own (file dialogs, standard
// buttons) too, in place of the language installed before. Call once the application object
// exists and before the windows are made; Chinese is the language the texts are written in.
void InstallLanguage(WindowLanguage language);

}  // namespace tolvex
