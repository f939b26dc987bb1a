// The options sheet in the window: edits go into the live settings, Cancel restores them, OK applies.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <QTabWidget>

#include <sstream>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/field_edit.h"
#include "app/options_sheet.h"
#include "app_fixture.h"

namespace tolvex {
namespace {

using testing_app::WhenModalShown;
using testing_app::WindowTest;

NumberEdit* Edit(QWidget* page, const char* label) { return page->findChild<NumberEdit*>(QString::fromUtf8(label)); }

TEST_F(WindowTest, CancelRestoresEveryEditedPage)
{
    CTolvexDlg& window = Open();
    const Settings before = window.Sim().Core.Options;
    bool editedLive = false;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        EXPECT_EQ(sheet->windowTitle(), QString::fromUtf8("选项"));
        auto* output1 = static_cast<COptionOutput*>(sheet->Page(OptionsPage::Output1));
        output1->IntervalEdit()->setText("200");
        output1->ActiveBox()->click();
        sheet->SetCurrentPage(OptionsPage::Output0);
        QCheckBox* ozi = sheet->Page(OptionsPage::Output0)->findChild<QCheckBox*>();
        ozi->click();
        sheet->SetCurrentPage(OptionsPage::Track);
        sheet->Page(OptionsPage::Track)->findChild<QSpinBox*>()->setValue(50);
        sheet->SetCurrentPage(OptionsPage::Misc);
        // Pages left for another tab already hold their values in the live settings.
        const Settings& live = window.Sim().Core.Options;
        editedLive = live.Outputs[1].Interval == 200 && !live.Outputs[1].Active && live.Outputs[0].Active &&
                     live.MinTrackPoints == 50;
        sheet->reject();
    });
    window.RunMenuCommand(MenuId::Options);
    EXPECT_TRUE(editedLive);
    const Settings& after = window.Sim().Core.Options;
    EXPECT_EQ(after.Outputs[1].Interval, before.Outputs[1].Interval);
    EXPECT_EQ(after.Outputs[1].Active, before.Outputs[1].Active);
    EXPECT_EQ(after.Outputs[0].Active, before.Outputs[0].Active);
    EXPECT_EQ(after.MinTrackPoints, before.MinTrackPoints);
    EXPECT_FALSE(window.Sim().TrackReplay.TrackBusy());
}

TEST_F(WindowTest, OkRoundsIntervalsConvertsLimitsAndRemembersThePage)
{
    CTolvexDlg& window = Open();
    WhenModalShown([](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        static_cast<COptionOutput*>(sheet->Page(OptionsPage::Output1))->IntervalEdit()->setText("1009");
        sheet->SetCurrentPage(OptionsPage::Gps);
        Edit(sheet->Page(OptionsPage::Gps), "上限")->setText("50");
        sheet->accept();
    });
    window.OptionsCommand();
    const Settings& s = window.Sim().Core.Options;
    EXPECT_EQ(s.Outputs[1].Interval, 1000);
    EXPECT_NEAR(s.GPSUpperSpeed, 50 / 3.6, 1e-12);
    EXPECT_EQ(window.StartPage(), OptionsPage::Gps);

    // The next opening starts on the GPS page and shows the limit in km/h again.
    QString shown;
    int page = -1;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        page = sheet->CurrentPage();
        shown = Edit(sheet->Page(OptionsPage::Gps), "上限")->text();
        sheet->reject();
    });
    window.OptionsCommand();
    EXPECT_EQ(page, OptionsPage::Gps);
    EXPECT_EQ(shown, "50.00");
}

TEST_F(WindowTest, SkyPageAndTheAddedSentenceBoxesReachTheSettings)
{
    CTolvexDlg& window = Open();
    WhenModalShown([](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        for (QCheckBox* box : sheet->Page(OptionsPage::Output1)->findChildren<QCheckBox*>())
            if (box->text() == "ZDA" || box->text() == "HDT") box->click();
        sheet->SetCurrentPage(OptionsPage::Sky);
        QWidget* sky = sheet->Page(OptionsPage::Sky);
        for (QCheckBox* box : sky->findChildren<QCheckBox*>())
            if (box->text() == "Galileo" || box->text().startsWith(QString::fromUtf8("模拟真实接收机"))) box->click();
        Edit(sky, "截止高度角（度）")->setText("20");
        Edit(sky, "用户等效距离误差（米）")->setText("3");
        Edit(sky, "随机种子")->setText("42");
        sheet->accept();
    });
    window.OptionsCommand();
    const Settings& s = window.Sim().Core.Options;
    EXPECT_TRUE(s.Outputs[1].Send[static_cast<int>(Sentence::ZDA)]);
    EXPECT_TRUE(s.Outputs[1].Send[static_cast<int>(Sentence::HDT)]);
    EXPECT_FALSE(s.Outputs[1].Send[static_cast<int>(Sentence::GST)]);
    EXPECT_TRUE(s.Sky.Enabled);
    EXPECT_EQ(s.Sky.Systems, SystemBit(GnssSystem::Gps) | SystemBit(GnssSystem::Galileo));
    EXPECT_EQ(s.Sky.MaskDeg, 20);
    EXPECT_EQ(s.Sky.Uere, 3);
    EXPECT_EQ(s.Sky.Seed, 42u);
}

TEST_F(WindowTest, AnIntervalOutOfRangeKeepsThePageOpen)
{
    CTolvexDlg& window = Open();
    QString message;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        static_cast<COptionOutput*>(sheet->Page(OptionsPage::Output1))->IntervalEdit()->setText("99");
        WhenModalShown([&message, sheet](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            static_cast<QDialog*>(box)->accept();
            EXPECT_EQ(sheet->CurrentPage(), OptionsPage::Output1);
            sheet->reject();
        });
        sheet->SetCurrentPage(OptionsPage::Gps);
    });
    window.OptionsCommand();
    EXPECT_TRUE(message.contains("100"));
    EXPECT_TRUE(message.contains("60000"));
    EXPECT_EQ(window.Sim().Core.Options.Outputs[1].Interval, 1000);
}

TEST_F(WindowTest, DuringReplayTheKeySensitivitiesAreLockedButNotTheWheel)
{
    CTolvexDlg& window = Open();
    window.LoadTrack(testing_app::TestData("plt/minimal.plt"));
    ASSERT_NE(window.Sim().TrackReplay.Mode(), TrackMode::Free);
    bool keysLocked = false, wheelOpen = false, busyWhileOpen = false;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        QWidget* misc = sheet->Page(OptionsPage::Misc);
        keysLocked = !Edit(misc, "按一下")->isEnabled() && !Edit(misc, "长时间按住")->isEnabled();
        wheelOpen = Edit(misc, "鼠标滚轮灵敏度")->isEnabled();
        busyWhileOpen = window.Sim().TrackReplay.TrackBusy();
        sheet->reject();
    });
    window.OptionsCommand();
    EXPECT_TRUE(keysLocked);
    EXPECT_TRUE(wheelOpen);
    EXPECT_TRUE(busyWhileOpen);
    EXPECT_FALSE(window.Sim().TrackReplay.TrackBusy());
}

TEST_F(WindowTest, ARunningOutputLocksItsPortFieldsAndShowsThePeerState)
{
    CTolvexDlg& window = Open();
    window.PressButton(PanelControl::Run);
    ASSERT_TRUE(window.Sim().Core.Outputs[1].OpenPort);
    bool locked = false;
    QString status;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        auto* output1 = static_cast<COptionOutput*>(sheet->Page(OptionsPage::Output1));
        locked = !output1->ActiveBox()->isEnabled() && !output1->PortList()->isEnabled() &&
                 output1->IntervalEdit()->isEnabled();
        status = output1->Status()->text();
        sheet->reject();
    });
    window.OptionsCommand();
    EXPECT_TRUE(locked);
    EXPECT_EQ(status, QString::fromUtf8("运行中,对方未打开"));
}

// Visiting every page and pressing 确定 leaves every value as it was, to the last digit.
TEST_F(WindowTest, OkAfterVisitingEveryPageChangesNothing)
{
    const std::string values = "GPSTimeFactor=0.000010000000000\nGPSTimeOffset=0.123456000000000\n"
                               "KeySensitivity1=0.123000000000000\nMinTrackLength=1.234567000000000\n"
                               "GPSUpperSpeed=7.900000000000000\nGPSLowerSpeed=0.070000000000000\n"
                               "WheelSensitivity=-4.567800000000000\n";
    CTolvexDlg& window = Open(values);
    bool oziLook = false;
    int spinMin = 0, spinMax = 0;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        // Output 0 is off: its interval and sentences are grey, "不输出NMEA" is not.
        QWidget* ozi = sheet->Page(OptionsPage::Output0);
        const QList<QCheckBox*> boxes = ozi->findChildren<QCheckBox*>();
        oziLook = boxes.size() == 2 + SentenceCount && boxes[1]->isEnabled() && !boxes[2]->isEnabled() &&
                  !Edit(ozi, "输出0 间隔(毫秒)")->isEnabled();
        if (auto* spin = sheet->Page(OptionsPage::Track)->findChild<QSpinBox*>(QString::fromUtf8("航迹段最少点数"))) {
            spinMin = spin->minimum();
            spinMax = spin->maximum();
        }
        for (int page = 0; page < OptionsPageCount; ++page) sheet->SetCurrentPage(page);
        sheet->accept();
    });
    window.OptionsCommand();
    EXPECT_TRUE(oziLook);
    EXPECT_EQ(spinMin, 2);
    EXPECT_EQ(spinMax, 9999);
    EXPECT_EQ(window.Sim().Core.Options.GPSTimeFactor, 0.00001);
    ASSERT_TRUE(window.close());
    const std::string saved = ReadIni();
    std::istringstream lines(values);
    for (std::string line; std::getline(lines, line);) EXPECT_NE(saved.find(line + "\n"), std::string::npos) << line;
}

// A UDP output set in the sheet: a malformed address is refused with its message, a good one is
// taken, and after Run a program listening on that address receives the sentences.
TEST_F(WindowTest, TheSheetSetsAUdpOutputThatReachesItsListener)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), length), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    const QString address = QString("127.0.0.1:%1").arg(ntohs(a.sin_port));

    CTolvexDlg& window = Open();
    QString message;
    bool serialFieldsLocked = false;
    WhenModalShown([&](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        auto* output1 = static_cast<COptionOutput*>(sheet->Page(OptionsPage::Output1));
        output1->KindList()->setCurrentIndex(output1->KindList()->findText(QString::fromUtf8("UDP")));
        serialFieldsLocked = !output1->PortList()->isEnabled() && output1->AddressEdit()->isEnabled();
        output1->AddressEdit()->setText("127.0.0.1");
        WhenModalShown([&, sheet, output1](QWidget* box) {
            message = static_cast<QMessageBox*>(box)->text();
            static_cast<QDialog*>(box)->accept();
            output1->AddressEdit()->setText(address);
            sheet->accept();
        });
        sheet->accept();
    });
    window.OptionsCommand();
    EXPECT_TRUE(serialFieldsLocked);
    EXPECT_TRUE(message.contains(QString::fromUtf8("无效"))) << message.toStdString();
    EXPECT_EQ(window.Sim().Core.Options.Outputs[1].Net, "udp:" + address.toStdString());

    window.PressButton(PanelControl::Run);
    ASSERT_TRUE(window.Sim().Core.Outputs[1].OpenPort);
    // The panel's column names the kind, its tooltip the address; UDP always counts as sending.
    const OutputColumn& column = window.Frame().Outputs[1];
    EXPECT_EQ(column.Port.Text, "UDP");
    EXPECT_EQ(column.ToolTip, "UDP " + address.toStdString());
    EXPECT_EQ(column.Indicator, OutputIndicator::Sending);
    for (int tick = 0; tick < 50; ++tick) window.Sim().Core.TimerTick();
    char datagram[256];
    const ssize_t n = ::recv(fd, datagram, sizeof datagram, 0);
    ::close(fd);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(datagram, 7), "$GPRMC,");
    EXPECT_EQ(std::string(datagram + n - 2, 2), "\r\n");
    window.PressButton(PanelControl::Stop);
}

}  // namespace
}  // namespace tolvex
