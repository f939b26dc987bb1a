// tolvex window: the panel window, as `tolvex` alone opens it, with its settings file and its
// folder of virtual port links chosen on the command line.

#include <CLI/CLI.hpp>

#include <memory>

#include "app/window_main.h"
#include "cli/commands.h"

namespace tolvex {

void AddWindowCommand(CLI::App& app, char* programName)
{
    auto options = std::make_shared<WindowOptions>();
    CLI::App* window = app.add_subcommand("window", "Open the panel window (what `tolvex` alone does)");
    window->add_option("--config", options->ConfigPath, "Settings file (default: beside the executable)");
    window->add_option("--virtual-dir", options->VirtualDir, "Folder of the virtual COM port links, for this run");
    window->add_option("--control", options->Control,
                       "Also take control commands on unix:PATH or tcp:[ADDR:]PORT (alone: the default socket)")
        ->expected(0, 1);
    window->callback([options, programName] {
        // Qt sees the program's name only: the options are ours.
        char* argv[] = {programName, nullptr};
        SetCommandExitCode(RunWindow(1, argv, *options));
    });
}

}  // namespace tolvex
