#pragma once
// The window's entry point: creates the application object, runs the main window until it closes.

namespace tolvex {

// Opens the panel window; returns the process exit code.
int RunWindow(int argc, char** argv);

}  // namespace tolvex
