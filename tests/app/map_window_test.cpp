// The map window through the real panel: tiles from a server of the test's own on 127.0.0.1, the
// disk cache with that server gone, the grid when no server answers, and clicks that steer exactly
// as OziExplorer's map clicks do.
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cmath>
#include <numbers>
#include <set>

#include "app/map_window.h"
#include "app/tile_source.h"
#include "app_fixture.h"
#include "links/ozi_double/ozi_double.h"
#include "sim/geodesy.h"

namespace tolvex {
namespace {

using testing_app::WindowTest;

bool WaitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Answers GET /z/x/y.png with a tile of one colour made from its numbers, and writes down every
// path and User-Agent it was asked with.
class TileServer {
public:
    static QColor ColorOf(int z, int x, int y) { return QColor((40 + 50 * z) % 256, (60 + 70 * x) % 256, (80 + 90 * y) % 256); }

    bool Start()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(&m_server);
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { Serve(socket); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    void Stop() { m_server.close(); }
    std::string Pattern() const
    {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/{z}/{x}/{y}.png";
    }

    std::vector<std::string> Paths;
    std::vector<std::string> Agents;

private:
    void Serve(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QList<QByteArray> lines = request.split('\n');
        const QList<QByteArray> first = lines.front().trimmed().split(' ');
        const QString path = QString::fromLatin1(first.value(1));
        Paths.push_back(path.toStdString());
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:")) Agents.push_back(line.mid(11).trimmed().toStdString());
        const QStringList parts = path.mid(1).chopped(4).split('/');
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(ColorOf(parts.value(0).toInt(), parts.value(1).toInt(), parts.value(2).toInt()));
        QByteArray body;
        QBuffer buffer(&body);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
        m_requests.remove(socket);
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

class MapWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((m_dir / "cache").string()));
    }

    // The panel's map, open and showing a square of the world at a zoom around a place.
    CMapWindow& OpenMap(CTolvexDlg& window, int size, int zoom)
    {
        if (!window.MapWindow()) window.RunMenuCommand(MenuId::MapWindow);
        CMapWindow* map = window.MapWindow();
        EXPECT_NE(map, nullptr);
        map->resize(size, size);
        map->View().SetZoom(zoom);
        map->SetFollow(true);
        QApplication::processEvents();
        return *map;
    }
};

QColor PixelOf(CMapWindow& map, int x, int y) { return map.grab().toImage().pixelColor(x, y); }

TEST_F(MapWindowTest, FetchesExactlyTheViewsTilesAndShowsThemAgainOfflineFromTheCache)
{
    TileServer server;
    ASSERT_TRUE(server.Start());
    CTolvexDlg& window = Open("Latitude=0\nLongitude=0\nSpeed=0\nMapTileUrl=" + server.Pattern() + "\n");
    CMapWindow& map = OpenMap(window, 512, 2);
    map.grab();
    // The four middle tiles of zoom 2 fill a 512-pixel view centred on 0°, 0° exactly.
    ASSERT_TRUE(WaitFor([&] {
        const QImage image = map.grab().toImage();
        return image.pixelColor(300, 300) == TileServer::ColorOf(2, 2, 2) &&
               image.pixelColor(200, 200) == TileServer::ColorOf(2, 1, 1) &&
               image.pixelColor(200, 300) == TileServer::ColorOf(2, 1, 2) &&
               image.pixelColor(300, 200) == TileServer::ColorOf(2, 2, 1);
    }));
    const std::set<std::string> expected = {"/2/1/1.png", "/2/2/1.png", "/2/1/2.png", "/2/2/2.png"};
    EXPECT_EQ(std::set<std::string>(server.Paths.begin(), server.Paths.end()), expected);
    EXPECT_EQ(server.Paths.size(), 4u);
    ASSERT_FALSE(server.Agents.empty());
    EXPECT_EQ(server.Agents.front().rfind("Tolvex/0.3.1", 0), 0u) << server.Agents.front();

    // Closed with the map open: the next start opens it again, and with the server gone the tiles
    // come from the disk cache.
    window.close();
    EXPECT_NE(ReadIni().find("MapWindowOpen=1"), std::string::npos);
    server.Stop();
    m_window.reset();
    m_window = std::make_unique<CTolvexDlg>(m_ini);
    m_window->show();
    ASSERT_TRUE(WaitFor([&] { return m_window->MapWindow() != nullptr; }));
    CMapWindow& again = OpenMap(*m_window, 512, 2);
    EXPECT_EQ(PixelOf(again, 200, 300), TileServer::ColorOf(2, 1, 2));
    EXPECT_EQ(PixelOf(again, 300, 200), TileServer::ColorOf(2, 2, 1));
    EXPECT_EQ(server.Paths.size(), 4u);

    // Closed by its own title bar, it stays closed.
    again.close();
    QApplication::processEvents();
    EXPECT_EQ(m_window->MapWindow(), nullptr);
    m_window->close();
    EXPECT_NE(ReadIni().find("MapWindowOpen=0"), std::string::npos);
}

TEST_F(MapWindowTest, AServerThatDoesNotAnswerLeavesTheGridWithoutAWord)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const int port = closed.serverPort();
    closed.close();
    CTolvexDlg& window =
        Open("Speed=0\nMapTileUrl=http://127.0.0.1:" + std::to_string(port) + "/{z}/{x}/{y}.png\n");
    CMapWindow& map = OpenMap(window, 512, 2);
    // The very first frame is the grid: longitude 0° runs down the middle, 45° lines either side.
    const QImage first = map.grab().toImage();
    const QColor background = first.pixelColor(250, 300);
    EXPECT_NE(first.pixelColor(256, 300), background);
    EXPECT_NE(first.pixelColor(384, 300), background);
    EXPECT_EQ(first.pixelColor(320, 300), background);
    ASSERT_TRUE(WaitFor([&] { return !map.Tiles()->Problem().isEmpty(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(map.grab().toImage().pixelColor(256, 300), first.pixelColor(256, 300));
}

TEST_F(MapWindowTest, AnMBTilesFileServesItsTilesCountedFromTheSouth)
{
    const QString file = QString::fromStdString((m_dir / "offline.mbtiles").string());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "make-mbtiles");
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB)"));
        ASSERT_TRUE(q.exec("CREATE TABLE metadata (name TEXT, value TEXT)"));
        ASSERT_TRUE(q.exec("INSERT INTO metadata VALUES ('attribution', '<a href=\"x\">Survey Office</a>')"));
        // Only tiles 2/1/1 and 2/2/2 (rows 2 and 1 counted from the south); the rest is grid.
        for (const auto& [x, y] : {std::pair{1, 1}, std::pair{2, 2}}) {
            QImage tile(256, 256, QImage::Format_RGB32);
            tile.fill(TileServer::ColorOf(2, x, y));
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            tile.save(&buffer, "PNG");
            q.prepare("INSERT INTO tiles VALUES (2, ?, ?, ?)");
            q.addBindValue(x);
            q.addBindValue(3 - y);
            q.addBindValue(png);
            ASSERT_TRUE(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("make-mbtiles");

    CTolvexDlg& window = Open("Speed=0\nMapTileUrl=http://127.0.0.1:9/{z}/{x}/{y}.png\nMapTileFile=" +
                              file.toStdString() + "\n");
    CMapWindow& map = OpenMap(window, 512, 2);
    const QImage image = map.grab().toImage();
    EXPECT_EQ(image.pixelColor(200, 200), TileServer::ColorOf(2, 1, 1));
    EXPECT_EQ(image.pixelColor(300, 300), TileServer::ColorOf(2, 2, 2));
    EXPECT_EQ(image.pixelColor(320, 200), image.pixelColor(200, 320));  // both grid background
    EXPECT_EQ(map.Tiles()->Attribution(), QString::fromUtf8("© OpenStreetMap contributors · Survey Office"));
    EXPECT_TRUE(map.Tiles()->Problem().isEmpty());
}

// Where a pixel of a view lands, from the slippy-map formulas written out again.
GeoPosition Expected(double lat0, double lon0, int zoom, double dx, double dy)
{
    const double world = 256.0 * std::pow(2.0, zoom);
    const double rad = lat0 * std::numbers::pi / 180;
    const double y0 = (1 - std::asinh(std::tan(rad)) / std::numbers::pi) / 2 * world;
    const double y = y0 + dy;
    return {std::atan(std::sinh(std::numbers::pi * (1 - 2 * y / world))) * 180 / std::numbers::pi,
            lon0 + dx * 360 / world};
}

void SendDoubleClick(QWidget* widget, QPoint at)
{
    const QPointF global = widget->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &dbl);
    QApplication::sendEvent(widget, &release);
}

void SendClick(QWidget* widget, QPoint at)
{
    const QPointF global = widget->mapToGlobal(QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

TEST_F(MapWindowTest, ClicksLandOnThePixelsPlaceAndSteerAsOziExplorerClicksDo)
{
    testing::OziDouble ozi;
    {
        std::ofstream out(m_ini);
        out << "[Tolvex]\nVirtualPortDir=" << (m_dir / "ports").string() << "\nOziApiLibrary=" << OZI_DOUBLE
            << "\nOziActive=1\nOziNoNMEA=1\nOutput1Active=0\nSpeed=0\nLatitude=48.1015\nLongitude=11.5015\n"
               "LastTrackMode=2\nMapTileUrl=\n";
    }
    m_window = std::make_unique<CTolvexDlg>(m_ini);
    m_window->show();
    CTolvexDlg& window = *m_window;
    window.PressButton(PanelControl::Run);
    window.PressButton(PanelControl::Pause);  // the link is up; nothing moves by itself
    Engine& engine = window.Sim().Core;
    ASSERT_TRUE(engine.Outputs.Ozi() && engine.Outputs.Ozi()->IsUp());
    CMapWindow& map = OpenMap(window, 400, 16);

    const QPoint pixel(300, 120);
    const GeoPosition place = map.PlaceAt(pixel);
    const GeoPosition expected = Expected(48.1015, 11.5015, 16, 100, -80);
    const double pixelDegrees = 360 / (256.0 * std::pow(2.0, 16));
    EXPECT_NEAR(place.Latitude, expected.Latitude, pixelDegrees);
    EXPECT_NEAR(place.Longitude, expected.Longitude, pixelDegrees);

    struct State {
        double Latitude, Longitude, Course;
        int Point;
    };
    auto now = [&] { return State{engine.Fix.Latitude, engine.Fix.Longitude, engine.Fix.Course, window.Sim().TrackReplay.Point()}; };
    auto oziClick = [&](bool isDouble, const GeoPosition& at) {
        ASSERT_TRUE(ozi.FireClick(isDouble, at.Latitude, at.Longitude));
        engine.TimerTick();
    };

    // Free driving: a click turns towards the place, a double click puts the fix there.
    SendClick(&map, pixel);
    const State mapTurned = now();
    EXPECT_GT(mapTurned.Course, 0);
    EXPECT_EQ(mapTurned.Latitude, 48.1015);
    engine.Fix.Course = 0;
    oziClick(false, place);
    EXPECT_EQ(now().Course, mapTurned.Course);

    SendDoubleClick(&map, pixel);
    const State mapJumped = now();
    EXPECT_EQ(mapJumped.Latitude, place.Latitude);
    EXPECT_EQ(mapJumped.Longitude, place.Longitude);
    engine.Fix.Latitude = 48.1015;
    engine.Fix.Longitude = 11.5015;
    oziClick(true, place);
    EXPECT_EQ(now().Latitude, mapJumped.Latitude);
    EXPECT_EQ(now().Longitude, mapJumped.Longitude);

    // Replay: a double click snaps to the nearest place of the track, a single click does nothing.
    window.LoadTrack(testing_app::TestData("plt/minimal.plt"));
    Replay& replay = window.Sim().TrackReplay;
    ASSERT_EQ(replay.Mode(), TrackMode::M);
    replay.GoToTrackPoint(1, 1);
    // Held still, so the pixel means the same place for both clicks.
    map.SetFollow(false);
    const GeoPosition near = map.PlaceAt(pixel);
    const State start = now();
    SendClick(&map, pixel);
    EXPECT_EQ(now().Course, start.Course);
    SendDoubleClick(&map, pixel);
    const State mapSnapped = now();
    EXPECT_NE(mapSnapped.Point, 1);
    replay.GoToTrackPoint(1, 1);
    oziClick(false, near);
    oziClick(true, near);
    EXPECT_EQ(now().Point, mapSnapped.Point);
    EXPECT_EQ(now().Latitude, mapSnapped.Latitude);
    EXPECT_EQ(now().Longitude, mapSnapped.Longitude);
    EXPECT_EQ(now().Course, mapSnapped.Course);
}

}  // namespace
}  // namespace tolvex
