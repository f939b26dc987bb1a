// tolvex: the window when started without arguments; every other subcommand is headless and needs
// no display. Each command lives in its own file and registers itself here.
#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv)
{
    if (argc <= 1) return tolvex::StartWindow({}, {});
    CLI::App app{"Tolvex GPS 模拟器: a virtual GPS receiver that feeds NMEA-0183 sentences to serial and virtual ports",
                 "tolvex"};
    app.set_version_flag("--version", std::string("tolvex ") + TOLVEX_VERSION);
    app.require_subcommand(1);
    tolvex::AddRunCommand(app);
    tolvex::AddTrackCommands(app);
    tolvex::AddWindowCommand(app);
    tolvex::AddCtlCommand(app);
    CLI11_PARSE(app, argc, argv);
    return tolvex::CommandExitCode();
}
