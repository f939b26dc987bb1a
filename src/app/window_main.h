#pragma once
// The window's entry point: creates the application object, runs the main window until it closes.

#include <optional>
#include <string>

namespace tolvex {

// What `tolvex window` may change; empty fields keep the defaults.
struct WindowOptions {
    std::string ConfigPath;  // the settings file; empty: DefaultSettingsPath()
    std::string VirtualDir;  // the folder of the COMn links, for this run only
    // The control channel's target: the window also takes its commands (empty: the default socket).
    std::optional<std::string> Control;
};

// Opens the panel window; returns the process exit code.
int RunWindow(int argc, char** argv, const WindowOptions& options = {});

// Qt's own texts (file dialogs, standard buttons, questions) in Chinese like the panel's,
// whatever the user's locale. Call once the application object exists.
void LoadQtChineseTexts();

}  // namespace tolvex
