#pragma once
// The window under test: one QApplication on the offscreen platform, a settings file of its own in
// a fresh folder (virtual ports there too, no OziExplorer library), and a way to answer the modal
// dialogs the window opens without blocking the test.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/tolvex_dlg.h"
#include "app/window_main.h"

namespace tolvex::testing_app {

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "tests_app";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        InstallLanguage(WindowLanguage::Chinese);
        return made;
    }();
    return *app;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (std::string("tolvex-app-") + info->test_suite_name() + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir / "ports");
        m_ini = (m_dir / "Tolvex.ini").string();
        // A dialog nobody answers would hang the suite: close whatever is left and fail instead.
        m_watchdog.setSingleShot(true);
        QObject::connect(&m_watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "a dialog or menu was left open";
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible()) continue;
                if (auto* dialog = qobject_cast<QDialog*>(w))
                    dialog->reject();
                else if (w->inherits("QMenu"))
                    w->close();
            }
            QTimer::singleShot(100, [] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
            });
        });
        m_watchdog.start(20000);
    }

    void TearDown() override
    {
        m_watchdog.stop();
        m_window.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // Lines below [Tolvex], after the ones that keep the test away from the machine's own ports.
    void WriteIni(const std::string& lines = "")
    {
        std::ofstream out(m_ini);
        out << "[Tolvex]\nVirtualPortDir=" << (m_dir / "ports").string() << "\nOziApiLibrary="
            << (m_dir / "no-oziapi.so").string() << "\n"
            << lines;
    }

    CTolvexDlg& Open(const std::string& lines = "")
    {
        WriteIni(lines);
        m_window = std::make_unique<CTolvexDlg>(m_ini);
        m_window->show();
        QApplication::processEvents();
        return *m_window;
    }

    std::string ReadIni() const
    {
        std::ifstream in(m_ini);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
    std::string m_ini;
    std::unique_ptr<CTolvexDlg> m_window;
    QTimer m_watchdog;
};

// Runs answer on the next modal dialog once it is shown, from inside its own event loop.
// Returns a flag that tells whether a dialog was met.
inline std::shared_ptr<bool> WhenModalShown(std::function<void(QWidget*)> answer, int triesLeft = 200)
{
    auto met = std::make_shared<bool>(false);
    struct Poll {
        static void Run(std::function<void(QWidget*)> answer, std::shared_ptr<bool> met, int triesLeft)
        {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isVisible()) {
                *met = true;
                answer(modal);
                return;
            }
            if (triesLeft > 0)
                QTimer::singleShot(10, [answer, met, triesLeft] { Run(answer, met, triesLeft - 1); });
        }
    };
    QTimer::singleShot(0, [answer, met, triesLeft] { Poll::Run(answer, met, triesLeft); });
    return met;
}

inline std::string TestData(const std::string& relative) { return std::string(TOLVEX_TEST_DATA) + "/" + relative; }

}  // namespace tolvex::testing_app
