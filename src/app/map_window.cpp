#include "app/map_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

#include "app/map_painter.h"
#include "app/qt_text.h"
#include "app/tile_source.h"
#include "links/ozi_link.h"
#include "sim/engine_simulator.h"
#include "sim/lat_lon_format.h"

namespace tolvex {
namespace {

constexpr int FrameMs = 100;       // the map redraws at most ten times a second, and only on change
constexpr int DragThreshold = 4;   // pixels a press may wander and still be a click
constexpr int StartZoom = 15;
constexpr int MapWidth = 640;
constexpr int MapHeight = 480;
// Tracks up to this many points are simplified at once (a few milliseconds); bigger ones on a
// thread of their own, so loading a million points never stalls the window.
constexpr std::size_t BackgroundBuildPoints = 20000;

}  // namespace

CMapWindow::CMapWindow(Simulator& sim, QWidget* keyTarget, const QString& tileCacheRoot)
    : m_sim(sim), m_keyTarget(keyTarget)
{
    const Settings& options = sim.Core.Options;
    m_tiles = MakeTileSource(options.MapTileFile, options.MapTileUrl, tileCacheRoot);
    if (m_tiles) connect(m_tiles.get(), &TileSource::TileArrived, this, [this] { update(); });

    setWindowTitle(tr("Tolvex 地图"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    resize(MapWidth, MapHeight);

    m_followButton = new QToolButton(this);
    m_followButton->setText(tr("跟随"));
    m_followButton->setToolTip(tr("地图跟随当前位置（拖动地图时关闭）"));
    m_followButton->setCheckable(true);
    m_followButton->setChecked(true);
    m_followButton->setFocusPolicy(Qt::NoFocus);
    m_followButton->move(6, 6);
    connect(m_followButton, &QToolButton::clicked, this, [this](bool on) { SetFollow(on); });
    m_wholeButton = new QToolButton(this);
    m_wholeButton->setText(tr("全程"));
    m_wholeButton->setToolTip(tr("显示整条航迹"));
    m_wholeButton->setFocusPolicy(Qt::NoFocus);
    m_wholeButton->move(60, 6);
    connect(m_wholeButton, &QToolButton::clicked, this, [this] { ShowWholeTrack(); });

    m_view.Resize(width(), height());
    m_view.SetZoom(StartZoom);
    m_view.CenterOn(sim.Core.Fix.Latitude, sim.Core.Fix.Longitude);
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, [this] { Update(); });
    m_timer.start(FrameMs);
    Update();
}

CMapWindow::~CMapWindow()
{
    // No build may post its result to a window that is going away.
    StopTrackBuild();
    m_retired.clear();
}

void CMapWindow::SetFollow(bool follow)
{
    m_view.Follow = follow;
    m_followButton->setChecked(follow);
    if (follow) m_view.CenterOn(m_sim.Core.Fix.Latitude, m_sim.Core.Fix.Longitude);
    update();
}

void CMapWindow::ShowWholeTrack()
{
    RebuildTrackIfChanged();
    m_wholeWhenReady = m_trackPending;
    if (m_track.Empty()) return;
    SetFollow(false);
    const UnitBox& b = m_track.Bounds();
    m_view.SetZoom(m_track.ZoomToFit(width() - 20, height() - 20));
    m_view.CenterOn(FromUnit({(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2}).Latitude,
                    FromUnit({(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2}).Longitude);
    update();
}

void CMapWindow::RebuildTrackIfChanged()
{
    const TrackStore& store = m_sim.Track;
    const std::span<const TrackPoint> points = store.Loaded() ? store.ForwardPoints() : std::span<const TrackPoint>();
    // A new load installs new lists while the old ones still exist, so the address tells them apart.
    if (points.data() == m_trackData && points.size() == m_trackSize) return;
    m_trackData = points.data();
    m_trackSize = points.size();
    StopTrackBuild();
    m_track.Clear();
    if (points.size() > BackgroundBuildPoints)
        StartTrackBuild(points, store.ForwardSegments());
    else if (!points.empty())
        m_track.Build(points, store.ForwardSegments());
    m_dirty = true;
}

void CMapWindow::StopTrackBuild()
{
    ++m_buildSerial;  // a result already on its way is stale now
    m_trackPending = false;
    m_wholeWhenReady = false;
    if (m_builder.joinable()) {
        m_builder.request_stop();
        m_retired.push_back(std::move(m_builder));
    }
}

void CMapWindow::StartTrackBuild(std::span<const TrackPoint> points, std::span<const TrackSegment> segments)
{
    // The thread works on its own copy: the store may take another load while it runs.
    m_trackPending = true;
    const std::uint64_t serial = m_buildSerial;
    m_builder = std::jthread([this, serial, points = std::vector<TrackPoint>(points.begin(), points.end()),
                              segments = std::vector<TrackSegment>(segments.begin(), segments.end())](std::stop_token stop) {
        auto track = std::make_shared<MapTrack>();
        if (!track->Build(points, segments, stop)) return;
        QMetaObject::invokeMethod(this, [this, serial, track] { TrackBuilt(serial, track); }, Qt::QueuedConnection);
    });
}

void CMapWindow::TrackBuilt(std::uint64_t serial, std::shared_ptr<MapTrack> track)
{
    if (serial != m_buildSerial) return;
    m_track = std::move(*track);
    m_trackPending = false;
    m_builder = {};
    m_retired.clear();  // told to stop long before; joined here rather than left running
    if (m_wholeWhenReady) ShowWholeTrack();
    m_dirty = true;
    update();
}

void CMapWindow::Update()
{
    RebuildTrackIfChanged();
    const SimFix& fix = m_sim.Core.Fix;
    m_trail.Add(m_clock.elapsed() / 1000.0, fix.Latitude, fix.Longitude, fix.Speed);
    if (fix.Latitude != m_lastLatitude || fix.Longitude != m_lastLongitude || fix.Course != m_lastCourse) {
        m_lastLatitude = fix.Latitude;
        m_lastLongitude = fix.Longitude;
        m_lastCourse = fix.Course;
        if (m_view.Follow) m_view.CenterOn(fix.Latitude, fix.Longitude);
        m_dirty = true;
    }
    if (m_dirty) {
        m_dirty = false;
        update();
    }
}

void CMapWindow::paintEvent(QPaintEvent*)
{
    const Engine& engine = m_sim.Core;
    const Replay& replay = m_sim.TrackReplay;
    MapScene scene;
    scene.View = &m_view;
    scene.Track = &m_track;
    const int segments = m_track.SegmentCount();
    if (replay.Track() >= 1 && replay.Track() <= segments)
        scene.ActiveSegment = replay.Reversed() ? segments - replay.Track() : replay.Track() - 1;
    scene.Reversed = replay.Reversed();
    scene.Trail = &m_trail;
    scene.FixLatitude = engine.Fix.Latitude;
    scene.FixLongitude = engine.Fix.Longitude;
    scene.FixCourse = engine.Fix.Course;
    scene.Tiles = m_tiles.get();
    scene.Rasters = &m_rasters;
    if (m_trackPending) scene.Note = tr("正在准备航迹…");
    if (m_mouseAt) {
        const GeoPosition at = PlaceAt(*m_mouseAt);
        const LatLonText text = FormatLatLon(engine.Options.LatLonFormatIndex, at.Latitude, at.Longitude);
        scene.MouseText = FromUtf8(text.Latitude + "  " + text.Longitude);
    }
    QPainter painter(this);
    PaintMap(painter, scene);
}

void CMapWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    m_view.Resize(width(), height());
    update();
}

// --- Mouse: drag pans, the wheel zooms, clicks steer ---

void CMapWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    m_pressAt = e->position().toPoint();
    m_lastDragAt = *m_pressAt;
    m_dragged = false;
    m_doubleClickRelease = false;
}

void CMapWindow::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    m_mouseAt = at;
    if (m_pressAt && (e->buttons() & Qt::LeftButton)) {
        if (!m_dragged && (at - *m_pressAt).manhattanLength() > DragThreshold) m_dragged = true;
        if (m_dragged) {
            m_view.PanBy(at.x() - m_lastDragAt.x(), at.y() - m_lastDragAt.y());
            m_followButton->setChecked(false);
            m_lastDragAt = at;
        }
    }
    update();
}

void CMapWindow::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const bool click = m_pressAt && !m_dragged && !m_doubleClickRelease;
    m_pressAt.reset();
    m_doubleClickRelease = false;
    if (click) Click(e->position().toPoint(), false);
}

void CMapWindow::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    m_doubleClickRelease = true;
    Click(e->position().toPoint(), true);
}

void CMapWindow::Click(QPoint pixel, bool isDouble)
{
    Engine& engine = m_sim.Core;
    // The export runs the replay itself; a click then would move what it is writing.
    if (engine.ExportRunning) return;
    const GeoPosition at = PlaceAt(pixel);
    engine.ApplyMapClick(OziClick{isDouble, at.Latitude, at.Longitude});
    Update();
}

void CMapWindow::wheelEvent(QWheelEvent* e)
{
    // Fine wheels and touchpads send parts of a notch: a level per whole notch, the rest kept.
    m_wheelRest += e->angleDelta().y();
    const int steps = m_wheelRest / 120;
    m_wheelRest -= steps * 120;
    e->accept();
    if (steps == 0) return;
    // While following, the fix stays in the middle; otherwise the place under the mouse stays put.
    const QPointF at = m_view.Follow ? QPointF(width() / 2.0, height() / 2.0) : e->position();
    m_view.ZoomAbout(at.x(), at.y(), steps);
    update();
}

void CMapWindow::leaveEvent(QEvent* e)
{
    m_mouseAt.reset();
    update();
    QWidget::leaveEvent(e);
}

// --- Keys drive the simulator as on the panel ---

void CMapWindow::keyPressEvent(QKeyEvent* e)
{
    if (m_keyTarget) QApplication::sendEvent(m_keyTarget, e);
}

void CMapWindow::keyReleaseEvent(QKeyEvent* e)
{
    if (m_keyTarget) QApplication::sendEvent(m_keyTarget, e);
}

void CMapWindow::closeEvent(QCloseEvent* e)
{
    m_timer.stop();
    emit ClosedByUser();
    e->accept();
}

}  // namespace tolvex
