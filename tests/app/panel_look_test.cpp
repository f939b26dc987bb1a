// How the panel looks: texts in their colours, no two texts over each other, the CJK glyphs drawn.
// With TOLVEX_SHOTS set to a folder, the grabbed panels are saved there as PNG files.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTabBar>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <cmath>

#include "app/map_window.h"
#include "app/options_sheet.h"
#include "app/quick_help_window.h"
#include "app/window_main.h"
#include "app_fixture.h"

namespace tolvex {
namespace {

using testing_app::TestData;
using testing_app::WhenModalShown;
using testing_app::WindowTest;

void Save(const QPixmap& shot, const char* name)
{
    const char* folder = std::getenv("TOLVEX_SHOTS");
    if (folder && *folder) shot.save(QString::fromLocal8Bit(folder) + "/" + name + ".png");
}

// Pixels close to this colour inside the rectangle (antialiased text is rarely exact).
int CountColour(const QImage& image, const QRect& area, QColor colour)
{
    int n = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 60 && std::abs(c.green() - colour.green()) < 60 &&
                std::abs(c.blue() - colour.blue()) < 60)
                ++n;
        }
    }
    return n;
}

void ExpectNoOverlap(const CTolvexDlg& window)
{
    const std::vector<PanelText> texts = window.PanelTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QRect a = window.VisibleTextRect(texts[i]);
        EXPECT_LE(a.right(), window.width()) << texts[i].Text;
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(a.intersects(window.VisibleTextRect(texts[j]))) << texts[i].Text << " / " << texts[j].Text;
    }
}

TEST_F(WindowTest, FreeDrivingPanelDrawsEveryTextInItsColourWithoutOverlap)
{
    CTolvexDlg& window = Open("Latitude=-33.8688\nLongitude=-122.419\nAltitude=-12345.6\nSpeed=12345.6\nCourse=359.99\n"
                              "LatLonFormatIndex=2\n");
    window.PressButton(PanelControl::Run);
    const QPixmap shot = window.grab();
    Save(shot, "panel-free-running");
    const QImage image = shot.toImage();
    // Fix lines in Text1 (black), the run state and the table in Text2 (blue), on the background.
    EXPECT_GT(CountColour(image, QRect(0, 0, window.width(), 64), QColor(0, 0, 0)), 100);
    EXPECT_GT(CountColour(image, QRect(40, 66, 130, 16), QColor(0, 0, 255)), 10);
    EXPECT_GT(CountColour(image, QRect(0, 0, window.width(), window.height()), QColor(0xF4, 0xF3, 0xEE)), 10000);
    // No blue outside the status texts' rows, no black below the fix lines but the buttons' frames.
    EXPECT_EQ(CountColour(image, QRect(0, 0, window.width(), 64), QColor(0, 0, 255)), 0);
    ExpectNoOverlap(window);
}

TEST_F(WindowTest, ReplayPanelDrawsTheTrackModeBarWithoutOverlap)
{
    CTolvexDlg& window = Open("LastTrackMode=3\nText3ColorRGB=008000\n");
    window.LoadTrack(TestData("plt/minimal.plt"));
    window.Sim().TrackReplay.SetLateralOffset(-12.34);
    window.RefreshPanel(2);
    const QPixmap shot = window.grab();
    Save(shot, "panel-replay-s");
    const QImage image = shot.toImage();
    EXPECT_EQ(image.height(), PanelFullHeight);
    // The replay lines in Text3, here green.
    EXPECT_GT(CountColour(image, QRect(0, 136, window.width(), 110), QColor(0, 0x80, 0)), 50);
    EXPECT_EQ(window.PanelTextAt(214, 182), QString::fromUtf8("偏移 左12.3m      "));
    ExpectNoOverlap(window);
}

TEST_F(WindowTest, AMissingFontFaceFallsBackToOneWithChineseGlyphs)
{
    CTolvexDlg& window = Open("FontFaceName=No Such Face 123\n");
    EXPECT_NE(window.FontFace(), QString("No Such Face 123"));
    const QFontMetrics metrics{QFont(window.FontFace())};
    EXPECT_TRUE(metrics.inFont(QChar(0x7EAC)));  // 纬
}

TEST_F(WindowTest, TheDefaultFaceKeepsItsWidthsThroughItsMetricTwin)
{
    CTolvexDlg& window = Open();
    if (QFontDatabase::hasFamily("Times New Roman")) GTEST_SKIP() << "the face itself is installed";
    EXPECT_EQ(window.FontFace(), QString("Liberation Serif"));
}

TEST_F(WindowTest, DialogsForTheRecord)
{
    if (!std::getenv("TOLVEX_SHOTS")) GTEST_SKIP() << "TOLVEX_SHOTS not set";
    CTolvexDlg& window = Open();
    window.LoadTrack(TestData("plt/minimal.plt"));
    testing_app::WhenModalShown([](QWidget* dialog) {
        Save(dialog->grab(), "dialog-options");
        static_cast<QDialog*>(dialog)->reject();
    });
    window.OptionsCommand(1);
    testing_app::WhenModalShown([](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        sheet->SetCurrentPage(OptionsPage::Sky);
        Save(dialog->grab(), "dialog-options-sky");
        sheet->reject();
    });
    window.OptionsCommand();
    testing_app::WhenModalShown([](QWidget* dialog) {
        Save(dialog->grab(), "dialog-position-dms");
        static_cast<QDialog*>(dialog)->reject();
    });
    window.EditPosition(LatLonFormat::DMS);
    testing_app::WhenModalShown([](QWidget* dialog) {
        Save(dialog->grab(), "dialog-save-nmea");
        static_cast<QDialog*>(dialog)->reject();
    });
    window.RunMenuCommand(MenuId::SaveNmea);
    testing_app::WhenModalShown([](QWidget* dialog) {
        Save(dialog->grab(), "dialog-about");
        static_cast<QDialog*>(dialog)->reject();
    });
    window.ShowAbout();
    testing_app::WhenModalShown([](QWidget* dialog) {
        Save(dialog->grab(), "dialog-favourite");
        static_cast<QDialog*>(dialog)->reject();
    });
    window.SaveFavoriteCommand();
    window.OpenQuickHelp();
    QApplication::processEvents();
    Save(window.QuickHelpWindow()->grab(), "quick-help");
    QTimer::singleShot(50, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        Save(menu->grab(), "context-menu");
        menu->close();
    });
    window.ShowContextMenu(window.mapToGlobal(QPoint(10, 10)));
    SUCCEED();
}

// Every label, button, group title and tab of a window shows its whole text.
void ExpectTextsFit(QWidget* top, const char* where)
{
    for (QLabel* label : top->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(top) || label->wordWrap() || label->text().isEmpty()) continue;
        EXPECT_GE(label->width(), label->minimumSizeHint().width()) << where << ": " << label->text().toStdString();
    }
    for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(top) || button->text().isEmpty()) continue;
        EXPECT_GE(button->width(), button->sizeHint().width()) << where << ": " << button->text().toStdString();
    }
    for (QGroupBox* group : top->findChildren<QGroupBox*>()) {
        if (!group->isVisibleTo(top)) continue;
        EXPECT_GE(group->width(), group->fontMetrics().horizontalAdvance(group->title()))
            << where << ": " << group->title().toStdString();
    }
    for (QTabBar* tabs : top->findChildren<QTabBar*>())
        for (int i = 0; i < tabs->count(); ++i)
            EXPECT_GE(tabs->tabRect(i).width(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)))
                << where << ": " << tabs->tabText(i).toStdString();
}

class EnglishWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        InstallLanguage(WindowLanguage::English);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        InstallLanguage(WindowLanguage::Chinese);
    }
};

// The panel and every dialog in English, each text within its place; saved as en-*.png for the
// record when TOLVEX_SHOTS is set.
TEST_F(EnglishWindowTest, PanelDialogsAndMessagesSpeakEnglishWithinTheirPlaces)
{
    CTolvexDlg& window = Open("Latitude=-33.8688\nLongitude=-122.419\nAltitude=-12345.6\nSpeed=12345.6\nCourse=359.99\n"
                              "LatLonFormatIndex=2\nOutput1Virtual=1\nOutput2Net=udp:127.0.0.1:10110\n");
    EXPECT_EQ(window.windowTitle(), QString("Tolvex GPS Simulator V0.3.1"));
    window.PressButton(PanelControl::Run);
    EXPECT_TRUE(window.PanelTextAt(4, 24).startsWith("Speed")) << window.PanelTextAt(4, 24).toStdString();
    EXPECT_TRUE(window.PanelTextAt(4, 4).startsWith("Lat")) << window.PanelTextAt(4, 4).toStdString();
    Save(window.grab(), "en-panel-free-running");
    ExpectNoOverlap(window);

    window.LoadTrack(TestData("plt/minimal.plt"));
    window.RunMenuCommand(MenuId::ModeS);
    window.Sim().TrackReplay.SetLateralOffset(-12.34);
    window.RefreshPanel(2);
    EXPECT_EQ(window.PanelTextAt(214, 182), QString("Offset L12.3m      "));
    Save(window.grab(), "en-panel-replay-s");
    ExpectNoOverlap(window);

    WhenModalShown([](QWidget* dialog) {
        auto* sheet = static_cast<COptions*>(dialog);
        for (int page = 0; page < OptionsPageCount; ++page) {
            sheet->SetCurrentPage(page);
            QApplication::processEvents();
            const std::string name = "en-dialog-options-" + std::to_string(page);
            Save(dialog->grab(), name.c_str());
            ExpectTextsFit(dialog, name.c_str());
        }
        sheet->reject();
    });
    window.OptionsCommand(1);
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"en-dialog-position-dms", [&window] { window.EditPosition(LatLonFormat::DMS); }},
        {"en-dialog-save-nmea", [&window] { window.RunMenuCommand(MenuId::SaveNmea); }},
        {"en-dialog-about", [&window] { window.ShowAbout(); }},
        {"en-dialog-favourite", [&window] { window.SaveFavoriteCommand(); }},
    };
    for (const auto& [name, open] : dialogs) {
        WhenModalShown([name = name](QWidget* dialog) {
            Save(dialog->grab(), name);
            ExpectTextsFit(dialog, name);
            static_cast<QDialog*>(dialog)->reject();
        });
        open();
    }
    window.OpenQuickHelp();
    QApplication::processEvents();
    CQuickHelp* help = window.QuickHelpWindow();
    ASSERT_NE(help, nullptr);
    for (const char* name : {"en-quick-help-replay", "en-quick-help-free"}) {
        EXPECT_TRUE(help->windowTitle().startsWith("Quick help")) << help->windowTitle().toStdString();
        Save(help->grab(), name);
        ExpectTextsFit(help, name);
        help->SwitchPage();
        QApplication::processEvents();
    }
    QString menuText;
    QTimer::singleShot(50, [&menuText] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        Save(menu->grab(), "en-context-menu");
        for (QAction* action : menu->actions()) menuText += action->text() + "|";
        menu->close();
    });
    window.ShowContextMenu(window.mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(menuText.contains("&Options|")) << menuText.toStdString();

    // A message of the core, with Qt's own button.
    QString text, button;
    WhenModalShown([&](QWidget* box) {
        text = static_cast<QMessageBox*>(box)->text();
        button = static_cast<QMessageBox*>(box)->buttons().value(0)->text();
        static_cast<QDialog*>(box)->accept();
    });
    window.LoadTrack(TestData("plt/truncated_header.plt"));
    QTest::qWait(50);
    EXPECT_EQ(text, QString::fromStdString("Not a valid OZI plt file:\n" + TestData("plt/truncated_header.plt")));
    EXPECT_EQ(button, QString("OK"));
}

class MapLookTest : public WindowTest {};

TEST_F(MapLookTest, TrackFixAndTrailOnTheGrid)
{
    // Two segments of a winding drive; the second one is replayed.
    const std::string plt = (m_dir / "drive.plt").string();
    {
        std::ofstream out(plt);
        out << "OziExplorer Track Point File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
               "0,2,255,Drive,0,0,2,8421376\n0\n"
            << std::fixed << std::setprecision(6);
        for (int i = 0; i < 400; ++i) {
            const double t = i / 399.0;
            out << 31.22 + 0.01 * t + 0.002 * std::sin(t * 12) << "," << 121.46 + 0.02 * t << "," << (i == 0 || i == 200)
                << ",10,40097.5,,\n";
        }
    }
    CTolvexDlg& window = Open("LastTrackMode=2\nMapTileUrl=\nMapWindowOpen=1\n");
    window.LoadTrack(plt);
    window.RunMenuCommand(MenuId::NextSegment);
    ASSERT_NE(window.MapWindow(), nullptr);
    CMapWindow& map = *window.MapWindow();
    map.resize(480, 360);
    map.ShowWholeTrack();
    map.Update();
    const QPixmap shot = map.grab();
    Save(shot, "map-track");
    const QImage image = shot.toImage();
    // The replayed segment in its own colour, the other one in the track colour, the fix in red.
    EXPECT_GT(CountColour(image, image.rect(), QColor(220, 0, 110)), 100);
    EXPECT_GT(CountColour(image, image.rect(), QColor(30, 60, 220)), 100);
    EXPECT_GT(CountColour(image, image.rect(), QColor(230, 30, 30)), 20);
    EXPECT_EQ(map.Track().SegmentCount(), 2);
}

// A logger scribbling for hours in one place: far more points than pixels at every zoom.
void WriteScribble(const std::string& path, int points)
{
    std::ofstream out(path);
    out << "OziExplorer Track Point File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
           "0,2,255,Scribble,0,0,2,8421376\n0\n"
        << std::fixed << std::setprecision(7);
    double north = 0, east = 0, heading = 0;
    unsigned seed = 99;
    for (int i = 0; i < points; ++i) {
        seed = seed * 1664525u + 1013904223u;
        heading += (((seed >> 8) % 2001) - 1000) * 1e-3;
        if (north * north + east * east > 800.0 * 800.0) heading = std::atan2(-east, -north);
        north += 10 * std::cos(heading);
        east += 10 * std::sin(heading);
        out << 31.22 + north / 111320 << "," << 121.46 + east / 95300 << "," << (i == 0) << ",10,40097.5,,\n";
    }
}

TEST_F(MapLookTest, ABigTrackArrivesThroughTheEventLoopAndADenseOneDrawsAsOneBlot)
{
    const std::string stale = (m_dir / "stale.plt").string();
    const std::string dense = (m_dir / "dense.plt").string();
    WriteScribble(stale, 80000);
    WriteScribble(dense, 50000);
    CTolvexDlg& window = Open("LastTrackMode=2\nMapTileUrl=\nMapWindowOpen=1\n");
    ASSERT_NE(window.MapWindow(), nullptr);
    CMapWindow& map = *window.MapWindow();
    map.resize(480, 360);

    // The copies are made on another thread and handed over by the event loop: right after the
    // window has seen a load the track is not there yet, and a newer load makes the older stale.
    window.LoadTrack(stale);
    map.Update();
    EXPECT_TRUE(map.TrackPending());
    window.LoadTrack(dense);
    map.ShowWholeTrack();
    EXPECT_TRUE(map.TrackPending());
    EXPECT_TRUE(map.Track().Empty());
    EXPECT_GT(CountColour(map.grab().toImage(), map.rect(), QColor(230, 30, 30)), 20);  // the fix meanwhile
    QElapsedTimer clock;
    clock.start();
    while (map.TrackPending() && clock.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(map.TrackPending());
    ASSERT_EQ(map.Track().PointCount(), 50000);
    clock.restart();
    while (clock.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(map.Track().PointCount(), 50000);

    // "全程" asked for while it was being prepared: the whole scribble shows, in raster tiles, in
    // the colour of the segment being replayed.
    const int zoom = map.View().Zoom();
    EXPECT_EQ(zoom, map.Track().ZoomToFit(460, 340));
    EXPECT_FALSE(map.Track().DenseTiles(zoom).empty());
    map.Update();
    const QPixmap shot = map.grab();
    Save(shot, "map-dense-track");
    const QImage image = shot.toImage();
    const int blot = CountColour(image, image.rect(), QColor(220, 0, 110));
    EXPECT_GT(blot, 2000);
    EXPECT_LT(blot, 480 * 360 / 2);
}

}  // namespace
}  // namespace tolvex
