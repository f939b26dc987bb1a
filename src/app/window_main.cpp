#include "app/window_main.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/settings_io.h"
#include "app/tolvex_dlg.h"

namespace tolvex {
namespace {

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int RunWindow(int argc, char** argv)
{
    // Without a display Qt would abort with a message about plugins; say what to do instead.
    if (!HasDisplay()) {
        std::fprintf(stderr, "tolvex: no display for the window (DISPLAY is not set); "
                             "run `tolvex run` for the simulator without a window, or `tolvex --help`\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolvex");
    CTolvexDlg window(WindowSettingsPath());
    window.show();
    // The close sequence closes the quick help too, so the program ends with the main window.
    return app.exec();
}

}  // namespace tolvex
