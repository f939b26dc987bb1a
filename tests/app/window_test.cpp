// The main window: start-up, the run-state buttons, keys, the close sequence, dropped tracks.

#include <QAbstractButton>
#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <sys/wait.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>
#include <thread>

#include "app/field_edit.h"
#include "app/options_sheet.h"
#include "app/save_nmea.h"
#include "config/settings_file.h"
#include "app_fixture.h"
#include "control/keyboard.h"

namespace tolvex {
namespace {

using testing_app::TestData;
using testing_app::WhenModalShown;
using testing_app::WindowTest;

QPushButton* Button(CTolvexDlg& window, int id)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->property("controlId").toInt() == id) return button;
    return nullptr;
}

void Drop(CTolvexDlg& window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

TEST_F(WindowTest, StartsStoppedInFreeDrivingWithTheDefaultsAndTheTitle)
{
    CTolvexDlg& window = Open();
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Tolvex GPS 模拟器 V0.3.1"));
    const Engine& engine = window.Sim().Core;
    EXPECT_EQ(engine.State, RunState::Stopped);
    EXPECT_EQ(window.Sim().TrackReplay.Mode(), TrackMode::Free);
    EXPECT_EQ(engine.Fix.Latitude, 0);
    EXPECT_NEAR(engine.Fix.Speed * 3.6, 30, 1e-9);
    // The track-mode bar stays hidden until a track is loaded.
    EXPECT_EQ(window.height(), PanelFullHeight - TrackModeBarHeight);
    EXPECT_FALSE(window.TrackModeBarShown());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.PanelTextAt(46, 70), QString::fromUtf8("停止 "));
    EXPECT_EQ(window.PanelTextAt(4, 24), QString::fromUtf8("速度    30.0 Km/h     "));
    EXPECT_TRUE(Button(window, PanelControl::Run)->isEnabled());
    EXPECT_FALSE(Button(window, PanelControl::Pause)->isEnabled());
    EXPECT_FALSE(Button(window, PanelControl::Stop)->isEnabled());
    EXPECT_EQ(Button(window, PanelControl::Pause)->toolTip(), QString::fromUtf8("暂停"));
}

TEST_F(WindowTest, AlwaysOnTopFromTheSettingsIsApplied)
{
    CTolvexDlg& window = Open("AlwaysOnTop=1\n");
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window.RunMenuCommand(MenuId::AlwaysOnTop);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(window.Sim().Core.Options.AlwaysOnTop);
}

TEST_F(WindowTest, RunPauseAndStopButtonsChangeTheRunStateLabel)
{
    CTolvexDlg& window = Open();
    QTest::mouseClick(Button(window, PanelControl::Run), Qt::LeftButton);
    EXPECT_EQ(window.Sim().Core.State, RunState::Running);
    EXPECT_EQ(window.PanelTextAt(46, 70), QString::fromUtf8("运行 "));
    EXPECT_TRUE(Button(window, PanelControl::Pause)->isEnabled());
    EXPECT_TRUE(Button(window, PanelControl::Stop)->isEnabled());

    QTest::mouseClick(Button(window, PanelControl::Pause), Qt::LeftButton);
    EXPECT_EQ(window.PanelTextAt(46, 70), QString::fromUtf8("暂停 "));
    EXPECT_EQ(window.PanelTextAt(4, 44), QString::fromUtf8("GPS速度     0.0 Km/h     "));

    QTest::mouseClick(Button(window, PanelControl::Stop), Qt::LeftButton);
    EXPECT_EQ(window.Sim().Core.State, RunState::Stopped);
    EXPECT_EQ(window.PanelTextAt(46, 70), QString::fromUtf8("停止 "));
    EXPECT_FALSE(Button(window, PanelControl::Stop)->isEnabled());
}

TEST_F(WindowTest, StopWithTwoOutputsRunningAsksWhichToClose)
{
    CTolvexDlg& window = Open("Output2Active=1\n");
    window.PressButton(PanelControl::Run);
    ASSERT_TRUE(window.Sim().Core.Outputs[1].OpenPort);
    ASSERT_TRUE(window.Sim().Core.Outputs[2].OpenPort);
    QStringList labels;
    WhenModalShown([&labels](QWidget* dialog) {
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) labels << box->text();
        // Close output 1 only.
        dialog->findChildren<QCheckBox*>()[2]->setChecked(false);
        static_cast<QDialog*>(dialog)->accept();
    });
    window.PressButton(PanelControl::Stop);
    EXPECT_EQ(labels, QStringList({QString::fromUtf8("输出0：OziExplorer未启动"), QString::fromUtf8("输出1：虚拟COM3"),
                                   QString::fromUtf8("输出2：虚拟COM15"), QString::fromUtf8("输出3：未启动")}));
    EXPECT_FALSE(window.Sim().Core.Outputs[1].OpenPort);
    EXPECT_TRUE(window.Sim().Core.Outputs[2].OpenPort);
    // An output still runs: the simulator keeps running and Run can restart output 1.
    EXPECT_EQ(window.PanelTextAt(46, 70), QString::fromUtf8("运行 "));
    EXPECT_TRUE(Button(window, PanelControl::Run)->isEnabled());
}

TEST_F(WindowTest, KeysReachTheOperator)
{
    CTolvexDlg& window = Open();
    const double before = window.Sim().Core.Fix.Speed;
    QTest::keyClick(&window, Qt::Key_Up);
    EXPECT_GT(window.Sim().Core.Fix.Speed, before);

    // Shift+5 arrives as '%': still the 50 km/h preset.
    QTest::keyClick(&window, Qt::Key_Percent, Qt::ShiftModifier);
    EXPECT_NEAR(window.Sim().Core.Fix.Speed * 3.6, 50, 1e-9);

    QTest::keyClick(&window, Qt::Key_F6);
    EXPECT_EQ(window.Sim().Core.Fix.Course, 90);
    EXPECT_EQ(window.PanelTextAt(176, 44), QString::fromUtf8("方位角  90.00°    "));

    QTest::keyClick(&window, Qt::Key_F2);
    EXPECT_EQ(window.Sim().Core.State, RunState::Running);
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(window.Sim().Core.State, RunState::Paused);

    // Alt with a letter is the system's: no jump north.
    const double latitude = window.Sim().Core.Fix.Latitude;
    QTest::keyClick(&window, Qt::Key_Y, Qt::AltModifier);
    EXPECT_EQ(window.Sim().Core.Fix.Latitude, latitude);
    QTest::keyClick(&window, Qt::Key_Y);
    EXPECT_GT(window.Sim().Core.Fix.Latitude, latitude);
}

TEST_F(WindowTest, EscapeStopsAndEnterOpensQuickHelpButNeitherClosesTheWindow)
{
    CTolvexDlg& window = Open();
    QTest::keyClick(&window, Qt::Key_F2);
    ASSERT_EQ(window.Sim().Core.State, RunState::Running);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(window.Sim().Core.State, RunState::Stopped);
    EXPECT_TRUE(window.isVisible());

    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    ASSERT_NE(window.QuickHelpWindow(), nullptr);
    // The help leaves the keyboard with the panel: the next keys still drive, Enter again does nothing.
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_NE(window.QuickHelpWindow(), nullptr);
    // Nothing was saved: the window did not go through its close.
    EXPECT_EQ(ReadIni().find("Speed="), std::string::npos);
}

TEST_F(WindowTest, HeldKeysAreLetGoWhenTheFocusLeaves)
{
    CTolvexDlg& window = Open();
    QTest::keyPress(&window, Qt::Key_Control);
    QTest::keyPress(&window, Qt::Key_Left);
    ASSERT_NE(window.Sim().Core.HeldKeys, 0);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(&window, &out);
    EXPECT_EQ(window.Sim().Core.HeldKeys, 0);
}

TEST_F(WindowTest, F1OpensTheQuickHelpLikeTheHelpButton)
{
    CTolvexDlg& window = Open();
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_NE(window.QuickHelpWindow(), nullptr);
    EXPECT_TRUE(window.Op().QuickHelp().Open);
}

TEST_F(WindowTest, TheTimerMovesTheFixWhileRunning)
{
    CTolvexDlg& window = Open("Course=90\n");
    window.PressButton(PanelControl::Run);
    const double start = window.Sim().Core.Fix.Longitude;
    QTest::qWait(300);
    EXPECT_GT(window.Sim().Core.Fix.Longitude, start);
}

TEST_F(WindowTest, CloseWritesTheSettingsWithTheSpeedFromBeforeThePause)
{
    CTolvexDlg& window = Open();
    QTest::keyClick(&window, Qt::Key_5);  // 50 km/h
    window.PressButton(PanelControl::Run);
    window.PressButton(PanelControl::Pause);
    ASSERT_EQ(window.Sim().Core.Fix.Speed, 0);
    EXPECT_TRUE(window.close());

    Settings settings;
    SimFix fix;
    LoadSettings(m_ini, settings, fix);
    EXPECT_NEAR(fix.Speed * 3.6, 50, 1e-9);
    EXPECT_EQ(window.Sim().Core.State, RunState::Stopped);
    // Every output is closed: the virtual port's link is gone.
    EXPECT_FALSE(window.Sim().Core.Outputs[1].OpenPort);
}

// A signal or a logout closes through RequestClose: what is open is cancelled before the save.
TEST_F(WindowTest, ACloseFromOutsideCancelsTheOpenDialogsBeforeSaving)
{
    CTolvexDlg& window = Open("GPSTimeFactor=0.5\n");
    // Options: an edit already in the live settings (its page was left) but never confirmed.
    WhenModalShown([&window](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        sheet->SetCurrentPage(OptionsPage::Gps);
        sheet->Page(OptionsPage::Gps)->findChild<NumberEdit*>(QString::fromUtf8("时间缩放因子"))->setText("3");
        sheet->SetCurrentPage(OptionsPage::Misc);
        ASSERT_EQ(window.Sim().Core.Options.GPSTimeFactor, 3);
        window.RequestClose();
    });
    window.OptionsCommand();
    QTest::qWait(100);
    EXPECT_FALSE(window.isVisible());
    EXPECT_NE(ReadIni().find("GPSTimeFactor=0.500000000000000"), std::string::npos) << ReadIni();

    // Export: the replay runs far along the track before the request is served.
    const std::filesystem::path track = m_dir / "long.plt";
    {
        std::ofstream out(track);
        out << "OziExplorer Track Point File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
               "0,2,255,Track Log,0,0,2,8421376\n40000\n";
        for (int i = 0; i < 40000; ++i) out << 10 + i * 1e-4 << ",20,0,0,,,\n";
    }
    CTolvexDlg& second = Open();
    second.LoadTrack(track.string());
    ASSERT_EQ(second.Sim().Track.PointCountTotal(), 40000);
    bool saved = true;
    WhenModalShown([&](QWidget* dialog) {
        QTimer::singleShot(0, &second, [&second] { second.RequestClose(); });
        saved = static_cast<CSaveNMEA*>(dialog)->SaveTo(QString::fromStdString((m_dir / "out.nmea").string()));
    });
    second.RunMenuCommand(MenuId::SaveNmea);
    QTest::qWait(100);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(second.isVisible());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out.nmea"));
    EXPECT_NE(ReadIni().find("Latitude=10.000000000000000"), std::string::npos) << ReadIni();
}

TEST_F(WindowTest, AFailedSaveIsShownAndTheUserMayStay)
{
    CTolvexDlg& window = Open();
    // A folder where the file should be: it cannot be replaced.
    std::filesystem::remove(m_ini);
    std::filesystem::create_directories(m_ini);
    std::vector<QString> captions;
    WhenModalShown([&captions](QWidget* box) {
        captions.push_back(box->windowTitle());
        WhenModalShown([&captions](QWidget* question) {
            captions.push_back(question->windowTitle());
            static_cast<QMessageBox*>(question)->button(QMessageBox::No)->click();
        });
        static_cast<QDialog*>(box)->accept();
    });
    EXPECT_FALSE(window.close());
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions[0], QString::fromUtf8("错误"));
    EXPECT_EQ(captions[1], QString::fromUtf8("警告"));
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowTest, AnUnreadableSettingsFileIsSaidAtStartAndNotOverwritten)
{
    std::filesystem::create_directories(m_ini);
    QString caption, text;
    WhenModalShown([&](QWidget* box) {
        caption = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QDialog*>(box)->accept();
    });
    m_window = std::make_unique<CTolvexDlg>(m_ini);
    m_window->show();
    QTest::qWait(100);
    EXPECT_EQ(caption, QString::fromUtf8("警告"));
    EXPECT_TRUE(text.contains(QString::fromStdString(m_ini))) << text.toStdString();
    EXPECT_TRUE(text.contains("it is a folder")) << text.toStdString();
    // Closing anyway leaves the folder as it was.
    WhenModalShown([](QWidget* box) {
        WhenModalShown([](QWidget* question) { static_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click(); });
        static_cast<QDialog*>(box)->accept();
    });
    EXPECT_TRUE(m_window->close());
    EXPECT_TRUE(std::filesystem::is_directory(m_ini));
}

TEST_F(WindowTest, ADroppedTrackLoadsAndShowsTheTrackModeBar)
{
    CTolvexDlg& window = Open();
    const std::string path = TestData("plt/minimal.plt");
    Drop(window, {QUrl::fromLocalFile(QString::fromStdString(path)),
                  QUrl::fromLocalFile(QString::fromStdString(TestData("plt/edge_cases.plt")))});
    EXPECT_EQ(window.windowTitle(), QString::fromStdString("Tolvex - " + path));
    EXPECT_TRUE(window.TrackModeBarShown());
    EXPECT_EQ(window.height(), PanelFullHeight);
    EXPECT_TRUE(Button(window, PanelControl::ModeS)->isVisible());
    // The default mode used last is P, on point 1 of segment 1.
    EXPECT_EQ(window.Sim().TrackReplay.Mode(), TrackMode::P);
    EXPECT_EQ(window.Sim().TrackReplay.Point(), 1);
    EXPECT_NEAR(window.Sim().Core.Fix.Latitude, 48.1, 1e-9);
    EXPECT_FALSE(window.PanelTextAt(5, 160).isEmpty());

    // The mode buttons of the bar: free driving drops the replay lines.
    window.PressButton(PanelControl::ModeFree);
    EXPECT_EQ(window.Sim().TrackReplay.Mode(), TrackMode::Free);
    EXPECT_TRUE(window.PanelTextAt(5, 160).isEmpty());
    window.PressButton(PanelControl::ModeS);
    EXPECT_EQ(window.Sim().TrackReplay.Mode(), TrackMode::S);
    window.PressButton(PanelControl::DirectionButton);
    EXPECT_TRUE(window.Sim().TrackReplay.Reversed());
}

TEST_F(WindowTest, TheLoadMenuEntryOpensTheFileDialogAndLoadsTheChosenTrack)
{
    CTolvexDlg& window = Open();
    const QString path = QString::fromStdString(TestData("plt/minimal.plt"));
    QString title, offered, suffix;
    WhenModalShown([&](QWidget* dialog) {
        auto* files = static_cast<QFileDialog*>(dialog);
        title = files->windowTitle();
        offered = files->findChild<QLineEdit*>("fileNameEdit")->text();
        suffix = files->defaultSuffix();
        files->selectFile(path);
        static_cast<QDialog*>(files)->accept();
    });
    window.RunMenuCommand(MenuId::LoadTrack);
    EXPECT_EQ(title, QString::fromUtf8("载入航迹文件"));
    EXPECT_EQ(offered, "*.plt");
    EXPECT_EQ(suffix, "plt");
    EXPECT_EQ(window.windowTitle(), "Tolvex - " + path);

    // Cancel leaves everything as it was.
    WhenModalShown([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    window.PressButton(PanelControl::FileOpen);
    EXPECT_EQ(window.windowTitle(), "Tolvex - " + path);
}

TEST_F(WindowTest, AnUnknownFileIsRefusedInAnErrorBoxAndNothingChanges)
{
    CTolvexDlg& window = Open();
    const std::string path = (m_dir / "notes.txt").string();
    std::ofstream(path) << "hello\n";
    QString caption, text;
    const auto met = WhenModalShown([&](QWidget* box) {
        caption = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QDialog*>(box)->accept();
    });
    Drop(window, {QUrl::fromLocalFile(QString::fromStdString(path))});
    EXPECT_TRUE(*met);
    EXPECT_EQ(caption, QString::fromUtf8("错误"));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("未知的航迹文件类型：\n")));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Tolvex GPS 模拟器 V0.3.1"));
    EXPECT_FALSE(window.TrackModeBarShown());
}

TEST_F(WindowTest, ATrackWithNothingToReplayIsToldAndTheLoadedTrackStays)
{
    CTolvexDlg& window = Open();
    window.LoadTrack(TestData("plt/minimal.plt"));
    const QString title = window.windowTitle();
    QString caption, text;
    const auto met = WhenModalShown([&](QWidget* box) {
        caption = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QDialog*>(box)->accept();
    });
    // The reader finds no segment and says nothing itself: the window tells the user.
    window.LoadTrack(TestData("plt/header_only.plt"));
    EXPECT_TRUE(*met);
    EXPECT_EQ(caption, QString::fromUtf8("错误"));
    EXPECT_TRUE(text.contains("header_only.plt"));
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(window.Sim().Track.PointCountTotal(), 4);
}

TEST_F(WindowTest, TheWheelAndTheDoubleClickReachTheOperator)
{
    CTolvexDlg& window = Open();
    // A plain wheel notch away from the user turns 5 degrees right.
    QWheelEvent wheel(QPointF(20, 100), window.mapToGlobal(QPointF(20, 100)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&window, &wheel);
    EXPECT_EQ(window.Sim().Core.Fix.Course, 5);

    // A double click on the output table opens the options sheet on the page of that output.
    bool sheet = false;
    WhenModalShown([&sheet](QWidget* dialog) {
        sheet = dialog->windowTitle() == QString::fromUtf8("选项");
        static_cast<QDialog*>(dialog)->reject();
    });
    QTest::mouseDClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(300, 100));
    EXPECT_TRUE(sheet);
    EXPECT_EQ(window.StartPage(), 2);  // output 3's page, kept after Cancel
}

}  // namespace
}  // namespace tolvex

namespace tolvex {
namespace {

// The program itself: without a display it says what to run instead of aborting inside Qt.
TEST(WindowProgramTest, WithoutADisplayTheWindowPointsToTheHeadlessRunner)
{
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + TOLVEX_BINARY + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(output.find("tolvex run"), std::string::npos) << output;
}

}  // namespace
}  // namespace tolvex

namespace tolvex {
namespace {

// Starts the program on the offscreen platform, lets the window come up, ends it with SIGTERM;
// the exit status as waitpid gives it.
int RunUntilSigterm(const std::vector<std::string>& args)
{
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// A copy of the program (and its window program) in a folder of its own keeps its settings file
// there, named after `tolvex`, not after the window program.
TEST(WindowProgramTest, SigtermClosesTheWindowTheOrdinaryWaySoTheSettingsAreSaved)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tolvex-app-sigterm-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path program = dir / "tolvex";
    std::filesystem::copy_file(TOLVEX_BINARY, program);
    std::filesystem::copy_file(TOLVEX_WINDOW_BINARY, dir / "tolvex-window");
    std::ofstream(dir / "tolvex.ini") << "[Tolvex]\nLatitude=12.5\nSpeed=42\nVirtualPortDir=" << (dir / "ports").string()
                                      << "\n";

    const int status = RunUntilSigterm({program.string()});
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream in(dir / "tolvex.ini");
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(saved.find("Version=0.3.1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Latitude=12.5"), std::string::npos) << saved;
    std::filesystem::remove_all(dir);
}

// `tolvex window --lang en` passes the language on: the window's messages, here a failed load
// told over the control channel, are English whatever the locale.
TEST(WindowProgramTest, TheWindowCommandPassesItsLanguageOn)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tolvex-app-lang-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string config = (dir / "mine.ini").string();
    const std::string socket = (dir / "control").string();
    std::ofstream(config) << "[Tolvex]\nOutput1Active=0\nLanguage=zh_CN\n";
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LANG", "zh_CN.UTF-8", 1);
        execl(TOLVEX_BINARY, TOLVEX_BINARY, "window", "--config", config.c_str(), "--virtual-dir",
              (dir / "ports").c_str(), "--lang", "en", ("--control=unix:" + socket).c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto ctl = [&](const std::string& command) {
        const std::string line = std::string(TOLVEX_BINARY) + " ctl --control unix:" + socket + " " + command + " 2>&1";
        FILE* pipe = popen(line.c_str(), "r");
        std::string output;
        char buffer[512];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        if (pipe) pclose(pipe);
        return output;
    };
    const std::string reply = ctl("load " + testing_app::TestData("plt/truncated_header.plt"));
    EXPECT_NE(reply.find("Not a valid OZI plt file"), std::string::npos) << reply;
    ctl("quit");
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::filesystem::remove_all(dir);
}

// `tolvex window` takes its settings file and its link folder from the command line.
TEST(WindowProgramTest, TheWindowCommandSavesToTheSettingsFileItWasGiven)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tolvex-app-window-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string config = (dir / "mine.ini").string();
    std::ofstream(config) << "[Tolvex]\nLatitude=-7.25\nOutput1Active=0\n";

    const int status = RunUntilSigterm({TOLVEX_BINARY, "window", "--config", config, "--virtual-dir", (dir / "ports").string()});
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::ifstream in(config);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(saved.find("Version=0.3.1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Latitude=-7.250000000000000"), std::string::npos) << saved;
    // The folder is for this run only: the file does not learn it.
    EXPECT_EQ(saved.find("VirtualPortDir"), std::string::npos) << saved;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolvex
