#include "app/window_main.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QIcon>
#include <QTimer>
#include <QTranslator>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "config/settings_file.h"
#include "app/qt_text.h"
#include "app/tolvex_dlg.h"
#include "app/window_control.h"

// The icon's resource sits in a static library, whose initialiser the linker would otherwise drop.
static void InitWindowResources() { Q_INIT_RESOURCE(tolvex); }

namespace tolvex {
namespace {

std::atomic<bool> g_closeRequested{false};

extern "C" void RequestWindowClose(int) { g_closeRequested = true; }

std::string TranslateCoreText(const char* source)
{
    return ToUtf8(QCoreApplication::translate("Texts", source));
}

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

void InstallLanguage(WindowLanguage language)
{
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    // Qt's own texts are English already; the window's are Chinese already.
    const bool loaded = language == WindowLanguage::English
                            ? translator->load(QStringLiteral(":/i18n/tolvex_en.qm"))
                            : translator->load(QStringLiteral("qtbase_zh_CN"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded && QCoreApplication::installTranslator(translator.get())) installed = translator.release();
    if (language == WindowLanguage::English && !installed)
        std::fprintf(stderr, "tolvex: the English texts are missing from this build; the window stays Chinese\n");
    Texts::SetLookup(language == WindowLanguage::English ? TranslateCoreText : nullptr);
}

int RunWindow(int argc, char** argv, const WindowOptions& options)
{
    std::optional<ControlSpec> controlSpec;
    if (options.Control) {
        auto parsed = ParseControlSpec(*options.Control);
        if (auto* error = std::get_if<std::string>(&parsed)) {
            std::fprintf(stderr, "tolvex: %s\n", error->c_str());
            return 1;
        }
        controlSpec = std::get<ControlSpec>(parsed);
    }
    // Without a display Qt would abort with a message about plugins; say what to do instead.
    if (!HasDisplay()) {
        std::fprintf(stderr, "tolvex: no display for the window (DISPLAY is not set); "
                             "run `tolvex run` for the simulator without a window, or `tolvex --help`\n");
        return 1;
    }
    // A logout or a kill closes the window the ordinary way, so the settings are not lost; a
    // signal during start-up is taken up once the window runs.
    std::signal(SIGINT, RequestWindowClose);
    std::signal(SIGTERM, RequestWindowClose);
    std::signal(SIGHUP, RequestWindowClose);
    QApplication app(argc, argv);
    InitWindowResources();
    QApplication::setApplicationName("Tolvex");
    QApplication::setApplicationVersion(TOLVEX_VERSION);
    QApplication::setDesktopFileName("tolvex");
    QApplication::setWindowIcon(QIcon(":/tolvex.svg"));
    const std::string settingsPath = options.ConfigPath.empty() ? DefaultSettingsPath() : options.ConfigPath;
    Settings settings;
    SimFix fix;
    LoadSettings(settingsPath, settings, fix);
    InstallLanguage(ChooseWindowLanguage(options.Language, settings.Language,
                                         LocaleWindowLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                                              std::getenv("LANG"))));
    CTolvexDlg window(settingsPath, options.VirtualDir);
    std::unique_ptr<WindowControl> remote;
    if (controlSpec) {
        remote = std::make_unique<WindowControl>(window);
        std::string error;
        if (!remote->Listen(*controlSpec, error)) {
            std::fprintf(stderr, "tolvex: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "tolvex: control channel on %s\n", remote->Where().c_str());
    }
    window.show();

    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, &window, [&window] {
        if (g_closeRequested.exchange(false)) window.RequestClose();
    });
    signalWatch.start(100);
    // The close sequence closes the quick help too, so the program ends with the main window.
    return app.exec();
}

}  // namespace tolvex
