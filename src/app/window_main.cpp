#include "app/window_main.h"

#include <QApplication>

#include "app/tolvex_dlg.h"
#include "app/settings_io.h"

namespace tolvex {

int RunWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tolvex");
    CTolvexDlg window(WindowSettingsPath());
    window.show();
    // The close sequence closes the quick help too, so the program ends with the main window.
    return app.exec();
}

}  // namespace tolvex
