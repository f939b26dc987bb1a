// tolvex: the window when started without arguments; every other subcommand is headless and needs
// no display. Each command lives in its own file and registers itself here.
#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace {
// Exit status of a command line that could not be understood, as the shell's own tools use it.
constexpr int UsageExitCode = 2;
}  // namespace

int main(int argc, char** argv)
{
    if (argc <= 1) return tolvex::StartWindow({}, {});
    CLI::App app{"Tolvex, a virtual GPS receiver: feeds NMEA-0183 sentences to serial, virtual and network ports. "
                 "Without arguments it opens the panel window.", "tolvex"};
    app.set_version_flag("--version", std::string("tolvex ") + TOLVEX_VERSION);
    // `tolvex --lang en` opens the window like `tolvex` alone; otherwise a command is needed.
    std::string language;
    app.add_option("--lang", language, "Open the window in this language: en or zh_CN")
        ->check(CLI::IsMember({"en", "zh_CN"}));
    app.require_subcommand(0, 1);
    tolvex::AddRunCommand(app);
    tolvex::AddTrackCommands(app);
    tolvex::AddWindowCommand(app);
    tolvex::AddCtlCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : UsageExitCode;
    }
    if (app.get_subcommands().empty()) return tolvex::StartWindow({"--lang", language}, {});
    return tolvex::CommandExitCode();
}
