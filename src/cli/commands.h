#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tolvex {

void AddRunCommand(CLI::App& app);
void AddTrackCommands(CLI::App& app);
void AddWindowCommand(CLI::App& app);
// Replaces this process with the window program; returns only on failure, with the exit code.
int StartWindow(const std::vector<std::string>& windowArgs, const std::string& configPath);
void AddCtlCommand(CLI::App& app);
// The exit code the command that ran has left.
int CommandExitCode();
void SetCommandExitCode(int code);

}  // namespace tolvex
