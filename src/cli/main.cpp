// tolvex: the window when started without arguments or with `window`; every other subcommand is
// headless and needs no display. Each command lives in its own file and registers itself here.
#include <CLI/CLI.hpp>

#include "app/window_main.h"
#include "cli/commands.h"

int main(int argc, char** argv)
{
    if (argc <= 1) return tolvex::RunWindow(argc, argv);
    CLI::App app{"Tolvex GPS 模拟器: a virtual GPS receiver that feeds NMEA-0183 sentences to serial and virtual ports"};
    app.require_subcommand(1);
    tolvex::AddRunCommand(app);
    tolvex::AddTrackCommands(app);
    tolvex::AddWindowCommand(app, argv[0]);
    tolvex::AddCtlCommand(app);
    CLI11_PARSE(app, argc, argv);
    return tolvex::CommandExitCode();
}
