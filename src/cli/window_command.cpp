// tolvex window (and tolvex without arguments): starts the window program in place of this
// process, so that the command line itself never loads Qt.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "config/settings_file.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;

struct WindowOptions {
    std::string ConfigPath;
    std::string VirtualDir;
    std::optional<std::string> Control;
    std::string Language;
};

// Beside this program in the build tree, in libexec once installed.
std::vector<fs::path> WindowProgramCandidates()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path dir = exe.parent_path();
    return {dir / "tolvex-window", (dir / TOLVEX_BIN_TO_LIBEXEC / "tolvex-window").lexically_normal()};
}

}  // namespace

int StartWindow(const std::vector<std::string>& windowArgs, const std::string& configPath)
{
    if (!TOLVEX_HAS_WINDOW) {
        std::fprintf(stderr, "tolvex: this build has no window; use `tolvex run` (see `tolvex --help`)\n");
        return 1;
    }
    const std::vector<fs::path> candidates = WindowProgramCandidates();
    for (const fs::path& program : candidates) {
        if (::access(program.c_str(), X_OK) != 0) continue;
        // The window keeps the settings of `tolvex`, not of its own program file.
        std::vector<std::string> args{program.string(), "--config",
                                      configPath.empty() ? DefaultSettingsPath() : configPath};
        args.insert(args.end(), windowArgs.begin(), windowArgs.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        std::fprintf(stderr, "tolvex: cannot start the window program %s: %s\n", program.c_str(), std::strerror(errno));
        return 126;
    }
    std::string looked;
    for (const fs::path& program : candidates) looked += (looked.empty() ? "" : ", ") + program.string();
    std::fprintf(stderr, "tolvex: the window program is not installed (looked for %s)\n", looked.c_str());
    return 127;
}

void AddWindowCommand(CLI::App& app)
{
    auto options = std::make_shared<WindowOptions>();
    CLI::App* window = app.add_subcommand("window", "Open the panel window (what `tolvex` alone does)");
    window->add_option("--config", options->ConfigPath,
                       "Settings file (default: $XDG_CONFIG_HOME/tolvex/Tolvex.ini, or tolvex.ini beside the "
                       "executable when that file exists)");
    window->add_option("--virtual-dir", options->VirtualDir, "Folder of the virtual COM port links, for this run");
    window->add_option("--control", options->Control,
                       "Also take control commands on unix:PATH or tcp:[ADDR:]PORT (alone: the default socket)")
        ->expected(0, 1);
    window->add_option("--lang", options->Language,
                       "Language of the window: en or zh_CN (default: the Language setting, else the locale)")
        ->check(CLI::IsMember({"en", "zh_CN"}));
    window->callback([options] {
        std::vector<std::string> args;
        if (!options->VirtualDir.empty()) args.insert(args.end(), {"--virtual-dir", options->VirtualDir});
        if (!options->Language.empty()) args.insert(args.end(), {"--lang", options->Language});
        // Last, so that a --control without a value takes nothing that follows it.
        if (options->Control) args.push_back(options->Control->empty() ? "--control" : "--control=" + *options->Control);
        SetCommandExitCode(StartWindow(args, options->ConfigPath));
    });
}

}  // namespace tolvex
