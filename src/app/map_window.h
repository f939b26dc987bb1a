#pragma once
// CMapWindow: the map beside the panel. Shows the fix, its trail and the loaded track on tiles or a
// grid, follows the fix until dragged, and turns clicks into the same map clicks OziExplorer sends.

#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/map_painter.h"
#include "map/fix_trail.h"
#include "map/map_track.h"
#include "map/map_view.h"

class QToolButton;

namespace tolvex {

struct Simulator;
class TileSource;

class CMapWindow : public QWidget {
    Q_OBJECT
public:
    // keyTarget: the panel, which gets the keys typed while the map has the focus.
    CMapWindow(Simulator& sim, QWidget* keyTarget, const QString& tileCacheRoot);
    ~CMapWindow() override;

    MapView& View() { return m_view; }
    const MapTrack& Track() const { return m_track; }
    // A big track's simplified copies are being made off the window thread; until they arrive
    // the map shows the fix without the track.
    bool TrackPending() const { return m_trackPending; }
    TileSource* Tiles() const { return m_tiles.get(); }
    // The place under a pixel of the window.
    GeoPosition PlaceAt(QPoint pixel) const { return m_view.ToGeo(pixel.x(), pixel.y()); }
    // Turns following on (the view jumps to the fix) or off.
    void SetFollow(bool follow);
    // Shows the whole loaded track.
    void ShowWholeTrack();
    // Takes in what changed since the last frame: the track, the fix, the trail. The window's own
    // timer calls it; tests call it to step without waiting.
    void Update();

signals:
    // The user closed the window (not the program).
    void ClosedByUser();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Click(QPoint pixel, bool isDouble);
    void RebuildTrackIfChanged();
    void StartTrackBuild(std::span<const TrackPoint> points, std::span<const TrackSegment> segments);
    void TrackBuilt(std::uint64_t serial, std::shared_ptr<MapTrack> track);
    void StopTrackBuild();

    Simulator& m_sim;
    QWidget* m_keyTarget;
    std::unique_ptr<TileSource> m_tiles;
    MapView m_view;
    MapTrack m_track;
    const void* m_trackData = nullptr;  // the point list the map track was built from
    std::size_t m_trackSize = 0;
    MapRasterCache m_rasters;
    std::jthread m_builder;              // the build the window waits for
    std::vector<std::jthread> m_retired;  // builds of tracks replaced since, told to stop
    std::uint64_t m_buildSerial = 0;     // the build whose result is wanted
    bool m_trackPending = false;
    bool m_wholeWhenReady = false;       // "全程" was pressed while the track was being prepared
    FixTrail m_trail;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QToolButton* m_followButton = nullptr;
    QToolButton* m_wholeButton = nullptr;

    // Mouse: where the left button went down, whether it has dragged since, and the release that
    // ends a double click (which is not another single click).
    std::optional<QPoint> m_pressAt;
    QPoint m_lastDragAt;
    bool m_dragged = false;
    bool m_doubleClickRelease = false;
    int m_wheelRest = 0;  // wheel delta short of a whole notch
    std::optional<QPoint> m_mouseAt;
    bool m_dirty = true;
    double m_lastLatitude = 1e9;
    double m_lastLongitude = 1e9;
    double m_lastCourse = 1e9;
};

}  // namespace tolvex
