#pragma once

namespace CLI {
class App;
}

namespace tolvex {

void AddRunCommand(CLI::App& app);
void AddTrackCommands(CLI::App& app);
void AddWindowCommand(CLI::App& app, char* programName);
void AddCtlCommand(CLI::App& app);
// The exit code the command that ran has left.
int CommandExitCode();
void SetCommandExitCode(int code);

}  // namespace tolvex
