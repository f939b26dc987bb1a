// The dialogs the window opens: the core's Host questions, the position and favourite dialogs,
// quick help, the popup menu and the NMEA export.

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QTreeView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include <fstream>
#include <sstream>

#include "app/favorite_dialog.h"
#include "app/field_edit.h"
#include "app/host_dialogs.h"
#include "app/key_map.h"
#include "app/position_window.h"
#include "app/quick_help_window.h"
#include "app/save_nmea.h"
#include "app_fixture.h"
#include "control/keyboard.h"

namespace tolvex {
namespace {

using testing_app::App;
using testing_app::TestData;
using testing_app::WhenModalShown;
using testing_app::WindowTest;

TEST(KeyMapTest, QtKeysBecomeTheVirtualKeysOfTheKeyMap)
{
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Return), VK_RETURN);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Enter), VK_RETURN);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Escape), VK_ESCAPE);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Q), VkLetter('Q'));
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Z), VkLetter('Z'));
    EXPECT_EQ(VirtualKeyOf(Qt::Key_0), VkDigit(0));
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F8), VK_F8);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Semicolon), VK_OEM_1);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Less), VK_OEM_COMMA);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Greater), VK_OEM_PERIOD);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_AsciiTilde), VK_OEM_3);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_ParenRight), VkDigit(0));
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Control), VK_CONTROL);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Tab), 0);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_unknown), 0);
}

TEST_F(WindowTest, StopChoiceShowsEachOutputAndHandsBackTheChecks)
{
    CTolvexDlg& window = Open();
    std::array<StopChoiceEntry, 4> entries{{{"输出0：OziExplorer未启动", false, false},
                                            {"输出1：虚拟COM3", true, true},
                                            {"输出2：COM15", true, true},
                                            {"输出3：未启动", false, false}}};
    QString title;
    WhenModalShown([&title](QWidget* dialog) {
        auto* choice = static_cast<CStopChoice*>(dialog);
        title = choice->windowTitle();
        EXPECT_FALSE(choice->Box(0)->isEnabled());
        EXPECT_EQ(choice->Box(1)->text(), QString::fromUtf8("输出1：虚拟COM3"));
        choice->Box(2)->setChecked(false);
        choice->accept();
    });
    const auto checked = window.ChooseOutputsToStop(entries);
    EXPECT_EQ(title, QString::fromUtf8("选择待关闭的输出"));
    ASSERT_TRUE(checked);
    EXPECT_EQ(*checked, (std::array<bool, 4>{false, true, false, false}));

    WhenModalShown([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_FALSE(window.ChooseOutputsToStop(entries));
}

TEST_F(WindowTest, SegmentAndGpxChoicesReturnWhatWasChosen)
{
    CTolvexDlg& window = Open();
    WhenModalShown([](QWidget* dialog) {
        auto* select = static_cast<CSelectTrack*>(dialog);
        EXPECT_EQ(select->windowTitle(), QString::fromUtf8("选择航迹段"));
        EXPECT_EQ(select->Rows()->currentIndex(), 0);
        select->Rows()->setCurrentIndex(2);
        select->accept();
    });
    EXPECT_EQ(window.ChooseSegment({"a", "b", "c"}, "3段航迹，共9点，1.0Km"), 2);

    WhenModalShown([](QWidget* dialog) {
        auto* gpx = static_cast<CGPXTrkRteSelect*>(dialog);
        EXPECT_EQ(gpx->windowTitle(), QString::fromUtf8("选择GPX航迹及详细航线"));
        EXPECT_EQ(gpx->Choice(), GpxContent::Tracks);
        const QLabel* text = gpx->findChild<QLabel*>();
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->text().startsWith(QString::fromUtf8("该GPX文件中含有2条航迹，及5条航线\n")));
        gpx->Choose(GpxContent::Both);
        gpx->accept();
    });
    EXPECT_EQ(window.ChooseGpxContent(2, 5), GpxContent::Both);

    WhenModalShown([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_FALSE(window.ChooseGpxContent(1, 1));
}

TEST_F(WindowTest, APositionDialogRefusesARangeAndAppliesWhatPasses)
{
    CTolvexDlg& window = Open("Latitude=31.2304\n");
    int warnings = 0;
    WhenModalShown([&warnings](QWidget* dialog) {
        auto* position = static_cast<CCurrentPosition*>(dialog);
        EXPECT_EQ(position->windowTitle(), QString::fromUtf8("当前位置"));
        EXPECT_EQ(position->Field(QString::fromUtf8("纬度(度)"))->text(), "31");
        EXPECT_EQ(position->Field(QString::fromUtf8("纬度(秒)"))->text(), "49.44");
        // A course of 400 is refused and the dialog stays open.
        position->Field(QString::fromUtf8("方位角(度)"))->setText("400");
        WhenModalShown([&warnings, position](QWidget* box) {
            ++warnings;
            EXPECT_EQ(box->windowTitle(), QString::fromUtf8("警告"));
            static_cast<QDialog*>(box)->accept();
            EXPECT_TRUE(position->isVisible());
            position->Field(QString::fromUtf8("方位角(度)"))->setText("270");
            position->SouthOrWest(false)->setChecked(true);
            position->accept();
        });
        position->accept();
    });
    window.EditPosition(LatLonFormat::DMS);
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(window.Sim().Core.Fix.Course, 270);
    EXPECT_NEAR(window.Sim().Core.Fix.Latitude, -31.2304, 1e-9);
}

TEST_F(WindowTest, APositionTypoIsToldNotTakenAsZero)
{
    CTolvexDlg& window = Open("Latitude=10\n");
    QString told;
    WhenModalShown([&told](QWidget* dialog) {
        auto* position = static_cast<CCurrentPosition*>(dialog);
        position->Field(QString::fromUtf8("纬度(度)"))->setText("1o.5");
        WhenModalShown([&told, position](QWidget* box) {
            told = static_cast<QMessageBox*>(box)->text();
            static_cast<QDialog*>(box)->accept();
            position->reject();
        });
        position->accept();
    });
    window.EditPosition(LatLonFormat::D);
    EXPECT_TRUE(told.contains(QString::fromUtf8("纬度(度)")));
    EXPECT_EQ(window.Sim().Core.Fix.Latitude, 10);
}

TEST_F(WindowTest, AFavouriteIsStoredUnderTheCleanedName)
{
    CTolvexDlg& window = Open("Latitude=31.2\nLongitude=121.5\n");
    WhenModalShown([](QWidget* dialog) {
        auto* favorite = static_cast<CAddFavoPoint*>(dialog);
        EXPECT_EQ(favorite->windowTitle(), QString::fromUtf8("当前位置设为收藏点"));
        EXPECT_EQ(favorite->Slots()->count(), 20);
        EXPECT_EQ(favorite->Name()->maxLength(), 63);
        favorite->Slots()->setCurrentIndex(4);
        favorite->Name()->setText("  home, north  ");
        favorite->accept();
    });
    window.RunMenuCommand(MenuId::SaveFavorite);
    const FavoritePoint& slot5 = window.Sim().Core.Options.Favorites[4];
    EXPECT_EQ(slot5.Name, "home- north");
    EXPECT_EQ(slot5.Latitude, 31.2);

    // Ctrl+5 jumps back there from elsewhere.
    window.Sim().Core.Fix.Latitude = 0;
    QTest::keyClick(&window, Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(window.Sim().Core.Fix.Latitude, 31.2);
}

TEST_F(WindowTest, QuickHelpOpensOnceAndSwitchesItsPage)
{
    CTolvexDlg& window = Open();
    window.OpenQuickHelp();
    CQuickHelp* help = window.QuickHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), QString::fromUtf8("快速帮助 - 自由驾驶模式"));
    EXPECT_EQ(help->Cells(0), QStringList({QString::fromUtf8("鼠标右击：菜单"), QString::fromUtf8("鼠标双击：编辑当前位置或选项")}));
    EXPECT_TRUE(help->testAttribute(Qt::WA_ShowWithoutActivating));
    window.OpenQuickHelp();
    EXPECT_EQ(window.QuickHelpWindow(), help);

    // The second column starts at one place on every line, the third of the four-column lines too.
    const int second = help->CellLefts(0).at(1);
    for (int line : {1, 4, 6, 9, 11}) EXPECT_EQ(help->CellLefts(line).at(1), second) << line;
    ASSERT_EQ(help->Cells(7).size(), 4);  // "F5：正北", "F6：正东", "F7：正南", "F8：正西"
    EXPECT_EQ(help->CellLefts(7).at(2), second);
    const int width = help->width();

    help->SwitchPage();
    EXPECT_EQ(help->windowTitle(), QString::fromUtf8("快速帮助 - 航迹重播模式"));
    EXPECT_TRUE(help->Cells(12).isEmpty());
    EXPECT_EQ(help->Cells(11).at(0),
              QString::fromUtf8("~ 1 2 3 4 5 6 7 8 9 0：速度比例为 0.2 0.3 0.5 0.75 1 1.5  2  3  5 10 0（S模式）"));
    EXPECT_EQ(help->width(), width);
    help->SwitchPage();
    EXPECT_EQ(help->HelpSet(), 0);

    // Escape closes it; Enter on the panel then opens a new one.
    QTest::keyClick(help, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.QuickHelpWindow(), nullptr);
    EXPECT_FALSE(window.Op().QuickHelp().Open);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_NE(window.QuickHelpWindow(), nullptr);
}

TEST_F(WindowTest, TheAboutBoxShowsNameDateAndHint)
{
    CTolvexDlg& window = Open();
    QStringList texts;
    QString title;
    WhenModalShown([&](QWidget* dialog) {
        title = dialog->windowTitle();
        for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    window.ShowAbout();
    EXPECT_EQ(title, QString::fromUtf8("关于 Tolvex GPS 模拟器"));
    EXPECT_TRUE(texts.contains(QString::fromUtf8("Tolvex GPS 模拟器 V0.3.1")));
    EXPECT_TRUE(texts.contains("2009.6.7"));
    EXPECT_TRUE(texts.contains(QString::fromUtf8("提示：右击主面板调出菜单")));
}

// The popup menu is open in its own loop: find it, look at it, choose an entry.
void WhenMenuShown(std::function<void(QMenu*)> answer)
{
    QTimer::singleShot(50, [answer] {
        // None shown: the caller's own count or flag tells.
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) answer(menu);
    });
}

QAction* FindAction(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (action->menu())
            if (QAction* inner = FindAction(action->menu(), text)) return inner;
    }
    return nullptr;
}

TEST_F(WindowTest, TheContextMenuFollowsTheStateAndRunsItsCommands)
{
    CTolvexDlg& window = Open("Latitude=31.2304\n");
    bool seen = false;
    WhenMenuShown([&seen](QMenu* menu) {
        seen = true;
        QAction* modeP = FindAction(menu, QString::fromUtf8("逐点重放航迹(&P)"));
        ASSERT_NE(modeP, nullptr);
        EXPECT_FALSE(modeP->isEnabled());  // no track yet
        QAction* free = FindAction(menu, QString::fromUtf8("自由驾驶(&F)"));
        ASSERT_NE(free, nullptr);
        EXPECT_TRUE(free->isChecked());
        EXPECT_NE(FindAction(menu, QString::fromUtf8("关于 Tolvex(&A)...")), nullptr);
        FindAction(menu, "dd.&dddddd")->trigger();
        menu->close();
    });
    window.ShowContextMenu(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(seen);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "31.230400");
}

TEST_F(WindowTest, TheRightButtonOpensTheMenuUnlessTheWheelTurnedMeanwhile)
{
    CTolvexDlg& window = Open();
    int menus = 0;
    auto countAndClose = [&menus](QMenu* menu) {
        ++menus;
        menu->close();
    };
    WhenMenuShown(countAndClose);
    QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
    QTest::mouseRelease(&window, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
    EXPECT_EQ(menus, 1);

    // Right button held and the wheel turned over the speed: the release shows no menu.
    WhenMenuShown(countAndClose);
    QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
    QWheelEvent wheel(QPointF(20, 30), window.mapToGlobal(QPointF(20, 30)), QPoint(), QPoint(0, 120),
                      Qt::RightButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&window, &wheel);
    QTest::mouseRelease(&window, Qt::RightButton, Qt::NoModifier, QPoint(20, 30));
    QTest::qWait(100);
    EXPECT_EQ(menus, 1);
}

TEST_F(WindowTest, TheMenuKeyOpensTheMenuAtThePanelCorner)
{
    CTolvexDlg& window = Open();
    QPoint shownAt;
    WhenMenuShown([&shownAt](QMenu* menu) {
        shownAt = menu->pos();
        menu->close();
    });
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(0, 0), window.mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(&window, &request);
    EXPECT_EQ(shownAt, window.mapToGlobal(QPoint(5, 5)));

    // Shift+F10 is the same request.
    shownAt = QPoint();
    WhenMenuShown([&shownAt](QMenu* menu) {
        shownAt = menu->pos();
        menu->close();
    });
    QTest::keyClick(&window, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(shownAt, window.mapToGlobal(QPoint(5, 5)));
}

TEST_F(WindowTest, AGpxWithTracksAndRoutesAsksWhatToLoadAndCancelLoadsNothing)
{
    CTolvexDlg& window = Open();
    QString text;
    WhenModalShown([&text](QWidget* dialog) {
        text = dialog->findChild<QLabel*>()->text();
        static_cast<QDialog*>(dialog)->reject();
    });
    window.LoadTrack(TestData("gpx/tracks_and_routes.gpx"));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("该GPX文件中含有2条航迹，及2条航线")));
    EXPECT_FALSE(window.TrackModeBarShown());

    WhenModalShown([](QWidget* dialog) {
        static_cast<CGPXTrkRteSelect*>(dialog)->Choose(GpxContent::Tracks);
        static_cast<QDialog*>(dialog)->accept();
    });
    window.LoadTrack(TestData("gpx/tracks_and_routes.gpx"));
    EXPECT_TRUE(window.TrackModeBarShown());
    EXPECT_EQ(window.Sim().Track.SegmentCountTotal(), 2);
}

TEST_F(WindowTest, SelectSegmentMovesToTheChosenRowOnOkOnly)
{
    CTolvexDlg& window = Open();
    WhenModalShown([](QWidget* dialog) {
        static_cast<CGPXTrkRteSelect*>(dialog)->Choose(GpxContent::Tracks);
        static_cast<QDialog*>(dialog)->accept();
    });
    window.LoadTrack(TestData("gpx/tracks_and_routes.gpx"));
    ASSERT_EQ(window.Sim().TrackReplay.Track(), 1);

    WhenModalShown([](QWidget* dialog) {
        auto* select = static_cast<CSelectTrack*>(dialog);
        EXPECT_EQ(select->Rows()->count(), 2);
        select->Rows()->setCurrentIndex(1);
        select->reject();
    });
    window.RunMenuCommand(MenuId::SelectSegment);
    EXPECT_EQ(window.Sim().TrackReplay.Track(), 1);

    WhenModalShown([](QWidget* dialog) {
        auto* select = static_cast<CSelectTrack*>(dialog);
        select->Rows()->setCurrentIndex(1);
        select->accept();
    });
    window.RunMenuCommand(MenuId::SelectSegment);
    EXPECT_EQ(window.Sim().TrackReplay.Track(), 2);
    EXPECT_NEAR(window.Sim().Core.Fix.Latitude, 3.0, 1e-9);
    EXPECT_FALSE(window.Sim().TrackReplay.TrackBusy());
}

TEST_F(WindowTest, ASlowManualSpeedAsksBeforeTheExportAndNoLeavesWithoutTheDialog)
{
    CTolvexDlg& window = Open();
    window.LoadTrack(TestData("plt/minimal.plt"));
    window.RunMenuCommand(MenuId::ModeM);
    window.Sim().Core.Fix.Speed = 0.5 / 3.6;
    std::vector<QString> titles;
    WhenModalShown([&titles](QWidget* box) {
        titles.push_back(box->windowTitle());
        static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
    });
    window.RunMenuCommand(MenuId::SaveNmea);
    QTest::qWait(50);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], QString::fromUtf8("警告"));
}

TEST_F(WindowTest, AnExportWritesTheTrackAsNmeaAndSaysWhere)
{
    CTolvexDlg& window = Open();
    window.LoadTrack(TestData("plt/minimal.plt"));
    ASSERT_TRUE(window.TrackModeBarShown());
    const std::string out = (m_dir / "out.nmea").string();
    QString totals, status;
    WhenModalShown([&](QWidget* dialog) {
        auto* save = static_cast<CSaveNMEA*>(dialog);
        EXPECT_EQ(save->windowTitle(), QString::fromUtf8("存储航迹为NMEA-0183文件"));
        EXPECT_TRUE(save->OneSegment()->isChecked());
        EXPECT_EQ(save->Segments()->count(), 1);
        for (int i = 1; i < SentenceCount; ++i) save->SentenceBox(i)->setChecked(false);
        totals = save->Totals();
        // The file dialog offers "*.nmea" to start with, in Qt's own words in Chinese.
        WhenModalShown([](QWidget* files) {
            EXPECT_EQ(files->findChild<QLineEdit*>("fileNameEdit")->text(), "*.nmea");
            EXPECT_EQ(static_cast<QFileDialog*>(files)->defaultSuffix(), "nmea");
            auto* view = files->findChild<QTreeView*>("treeView");
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("名称"));
            static_cast<QDialog*>(files)->reject();
        });
        save->SaveAsClicked();
        EXPECT_TRUE(save->SaveTo(QString::fromStdString(out)));
        status = save->Status();
        save->accept();
    });
    window.RunMenuCommand(MenuId::SaveNmea);
    EXPECT_TRUE(totals.startsWith(QString::fromUtf8("（共1段，4点")));
    EXPECT_EQ(status, QString::fromStdString("已存为" + out));
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string written = text.str();
    EXPECT_EQ(written.rfind("$GPRMC,", 0), 0u);
    EXPECT_EQ(written.find("$GPGGA"), std::string::npos);
    EXPECT_NE(written.find("*"), std::string::npos);
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    // The export puts the replay back where it was.
    EXPECT_EQ(window.Sim().TrackReplay.Point(), 1);
}

}  // namespace
}  // namespace tolvex
