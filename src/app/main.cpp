// tolvex-window: the panel window, started by `tolvex` and `tolvex window`, which pass the
// settings file to use. Qt's own options (-platform, -style) pass through to Qt.
#include <CLI/CLI.hpp>

#include "app/window_main.h"

int main(int argc, char** argv)
{
    CLI::App app{"The Tolvex panel window; start it as `tolvex` or `tolvex window`", "tolvex-window"};
    app.allow_extras();
    tolvex::WindowOptions options;
    app.add_option("--config", options.ConfigPath, "Settings file to read at start and write at close");
    app.add_option("--virtual-dir", options.VirtualDir, "Folder of the virtual COM port links, for this run");
    app.add_option("--control", options.Control, "Also take control commands on unix:PATH or tcp:[ADDR:]PORT")
        ->expected(0, 1);
    std::optional<std::string> language;
    app.add_option("--lang", language,
                   "Language of the window: en or zh_CN (default: the Language setting, else the locale)")
        ->check(CLI::IsMember({"en", "zh_CN"}));
    CLI11_PARSE(app, argc, argv);
    if (language) options.Language = tolvex::ParseWindowLanguage(*language);
    return tolvex::RunWindow(argc, argv, options);
}
