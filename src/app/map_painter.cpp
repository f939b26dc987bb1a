#include "app/map_painter.h"

#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "app/tile_source.h"

namespace tolvex {
namespace {

const QColor MapBackground(242, 239, 233);
const QColor GridLine(190, 190, 200);
const QColor GridLabel(110, 110, 130);
const QColor TrackColor(30, 60, 220, 200);
const QColor ActiveTrackColor(220, 0, 110);
const QColor TrailColor(0, 160, 60);
const QColor FixColor(230, 30, 30);

QString DegreesText(double value, double spacing)
{
    const int decimals = spacing >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(spacing) - 1e-9));
    return QString::number(value, 'f', decimals) + QChar(0x00B0);
}

void PaintGrid(QPainter& painter, const MapView& view)
{
    painter.fillRect(QRect(0, 0, view.Width(), view.Height()), MapBackground);
    const double spacing = GridSpacing(view.Zoom(), 120);
    const GeoPosition topLeft = view.ToGeo(0, 0);
    const GeoPosition bottomRight = view.ToGeo(view.Width(), view.Height());
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);

    // Longitude lines, walked in unit x so the antimeridian and wide views need no special case.
    const UnitBox box = view.VisibleUnits();
    const double unitSpacing = spacing / 360;
    for (double ux = std::floor(box.Left / unitSpacing) * unitSpacing; ux <= box.Right; ux += unitSpacing) {
        const double x = view.UnitToScreen(ux, 0).X;
        painter.setPen(GridLine);
        painter.drawLine(QPointF(x, 0), QPointF(x, view.Height()));
        painter.setPen(GridLabel);
        painter.drawText(QPointF(x + 2, 12), DegreesText(WrapMapLongitude(ux * 360 - 180 + 1e-9), spacing));
    }
    for (double lat = std::floor(bottomRight.Latitude / spacing) * spacing; lat <= topLeft.Latitude; lat += spacing) {
        if (std::abs(lat) > MercatorLimit) continue;
        const double y = view.UnitToScreen(0, ToUnit(lat, 0).Y).Y;
        painter.setPen(GridLine);
        painter.drawLine(QPointF(0, y), QPointF(view.Width(), y));
        painter.setPen(GridLabel);
        painter.drawText(QPointF(2, y - 2), DegreesText(lat, spacing));
    }
}

void PaintTiles(QPainter& painter, const MapView& view, TileSource& tiles)
{
    for (const PlacedTile& placed : view.VisibleTiles()) {
        const QImage image = tiles.Tile(placed.Tile);
        if (image.isNull()) continue;
        painter.drawImage(QRect(placed.X, placed.Y, TileSize, TileSize), image);
    }
}

}  // namespace

QImage MapRasterCache::Tile(const MapTrack& track, int zoom, MapTileKey tile, int activeSegment)
{
    if (track.Generation() != m_generation) {
        m_entries.clear();
        m_generation = track.Generation();
    }
    ++m_clock;
    for (Entry& e : m_entries) {
        if (e.Zoom == zoom && e.Key == tile && e.ActiveSegment == activeSegment) {
            e.LastUsed = m_clock;
            return e.Image;
        }
    }
    QImage indexed(TileSize, TileSize, QImage::Format_Indexed8);
    track.RasterTile(zoom, tile, activeSegment,
                     std::span<std::uint8_t>(indexed.bits(), static_cast<std::size_t>(indexed.sizeInBytes())));
    QList<QRgb> colors(3);
    colors[RasterEmpty] = 0;
    colors[RasterTrack] = TrackColor.rgba();
    colors[RasterActive] = ActiveTrackColor.rgba();
    indexed.setColorTable(colors);
    Entry* slot = nullptr;
    if (m_entries.size() < Capacity) {
        slot = &m_entries.emplace_back();
    } else {
        slot = &*std::min_element(m_entries.begin(), m_entries.end(),
                                  [](const Entry& a, const Entry& b) { return a.LastUsed < b.LastUsed; });
    }
    *slot = {zoom, tile, activeSegment, m_clock, indexed.convertToFormat(QImage::Format_ARGB32_Premultiplied)};
    return slot->Image;
}

namespace {

// The world copies (one step east or west) the track may show on near the antimeridian.
template <typename Fn>
void ForEachCopy(const MapView& view, const MapTrack& track, Fn&& fn)
{
    const UnitBox view0 = view.VisibleUnits();
    for (int k = -1; k <= 1; ++k) {
        const UnitBox shifted{view0.Left - k, view0.Top, view0.Right - k, view0.Bottom};
        if (shifted.Intersects(track.Bounds())) fn(k, shifted);
    }
}

// Thin cosmetic lines have the rasteriser's fast path; a wide pen would go through the stroker,
// which is far too slow for a track of a million points (or a trail of a scribbling fix). Lines
// get their width from the same hairline drawn again at pixel offsets (the raster tiles of a
// dense track widen theirs the same way).
constexpr QPointF Thin[] = {{0, 0}, {1, 0}, {0, 1}};
constexpr QPointF Thick[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {-1, 0}, {0, -1}};

void SetHairline(QPainter& painter, const QColor& color)
{
    QPen pen(color, 1);
    pen.setCosmetic(true);
    painter.setPen(pen);
}

void DrawWidened(QPainter& painter, const QPolygonF& line, std::span<const QPointF> offsets)
{
    for (const QPointF& offset : offsets) {
        painter.translate(offset);
        painter.drawPolyline(line);
        painter.translate(-offset);
    }
}

// The tiles where the track is too dense for lines, between the inactive lines and the active.
void PaintRasters(QPainter& painter, const MapScene& scene, MapRasterCache& cache)
{
    const MapView& view = *scene.View;
    const MapTrack& track = *scene.Track;
    if (track.DenseTiles(view.Zoom()).empty()) return;
    const double w = view.WorldPixels();
    const double tiles = w / TileSize;
    const UnitPoint centre = view.CenterUnit();
    ForEachCopy(view, track, [&](int k, const UnitBox& box) {
        const int top = static_cast<int>(std::floor(box.Top * tiles));
        const int bottom = static_cast<int>(std::floor(box.Bottom * tiles));
        const int left = static_cast<int>(std::floor(box.Left * tiles));
        const int right = static_cast<int>(std::floor(box.Right * tiles));
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                if (!track.IsDense(view.Zoom(), {x, y})) continue;
                const QImage image = cache.Tile(track, view.Zoom(), {x, y}, scene.ActiveSegment);
                const QPoint at(static_cast<int>(std::round((x / tiles + k - centre.X) * w + view.Width() / 2.0)),
                                static_cast<int>(std::round((y / tiles - centre.Y) * w + view.Height() / 2.0)));
                painter.drawImage(at, image);
            }
        }
    });
}

void PaintTrack(QPainter& painter, const MapScene& scene)
{
    const MapView& view = *scene.View;
    const MapTrack& track = *scene.Track;
    const double w = view.WorldPixels();
    const UnitPoint centre = view.CenterUnit();
    const double halfW = view.Width() / 2.0;
    const double halfH = view.Height() / 2.0;
    QPolygonF line;
    MapRasterCache frameCache;
    for (const bool active : {false, true}) {
        if (active) PaintRasters(painter, scene, scene.Rasters ? *scene.Rasters : frameCache);
        SetHairline(painter, active ? ActiveTrackColor : TrackColor);
        const std::span<const QPointF> offsets = active ? std::span<const QPointF>(Thick) : std::span<const QPointF>(Thin);
        ForEachCopy(view, track, [&](int k, const UnitBox& box) {
            track.ForEachVisibleLine(view.Zoom(), box, [&](const MapRun& run, std::span<const MapTrackPoint> points) {
                if ((run.Segment == scene.ActiveSegment) != active) return;
                line.resize(static_cast<qsizetype>(points.size()));
                for (std::size_t i = 0; i < points.size(); ++i)
                    line[static_cast<qsizetype>(i)] =
                        QPointF((points[i].X + k - centre.X) * w + halfW, (points[i].Y - centre.Y) * w + halfH);
                DrawWidened(painter, line, offsets);
            });
        });
    }
    if (view.Zoom() < PointNumberZoom) return;

    // Point numbers, as the panel counts them (the reversed list counts from the other end).
    std::vector<std::pair<QPointF, int>> labels;
    bool tooMany = false;
    ForEachCopy(view, track, [&](int k, const UnitBox& box) {
        track.ForEachVisibleRun(view.Zoom(), box, [&](const MapRun&, std::span<const MapTrackPoint> points) {
            for (const MapTrackPoint& p : points) {
                const QPointF at((p.X + k - centre.X) * w + halfW, (p.Y - centre.Y) * w + halfH);
                if (at.x() < 0 || at.y() < 0 || at.x() > view.Width() || at.y() > view.Height()) continue;
                if (labels.size() >= MaxPointNumbers) {
                    tooMany = true;
                    return;
                }
                labels.emplace_back(at, scene.Reversed ? track.PointCount() - p.Index : p.Index + 1);
            }
        });
    });
    if (tooMany) return;
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    int lastNumber = -1;
    for (const auto& [at, number] : labels) {
        if (number == lastNumber) continue;  // the shared end of two runs
        lastNumber = number;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(at, 3, 3);
        painter.setPen(Qt::black);
        painter.drawText(at + QPointF(5, -4), QString::number(number));
    }
    painter.setBrush(Qt::NoBrush);
}

void PaintTrail(QPainter& painter, const MapView& view, const FixTrail& trail)
{
    // Without smoothing: a fix replaying a scribble draws thousands of short steps a frame.
    painter.setRenderHint(QPainter::Antialiasing, false);
    SetHairline(painter, TrailColor);
    QPolygonF piece;
    auto flush = [&] {
        if (piece.size() > 1) DrawWidened(painter, piece, Thick);
        piece.clear();
    };
    for (const TrailSample& s : trail.Samples()) {
        const ScreenPos at = view.ToScreen(s.Latitude, s.Longitude);
        // A step of half the world is the antimeridian seen from the other side: no line across.
        if (s.Break || (!piece.isEmpty() && std::abs(piece.back().x() - at.X) > view.WorldPixels() / 2)) flush();
        // Samples within half a pixel of the last one drawn would not show.
        if (piece.size() > 1 && std::abs(piece.back().x() - at.X) < 0.5 && std::abs(piece.back().y() - at.Y) < 0.5) continue;
        piece.append(QPointF(at.X, at.Y));
    }
    flush();
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void PaintFix(QPainter& painter, const MapScene& scene)
{
    const ScreenPos at = scene.View->ToScreen(scene.FixLatitude, scene.FixLongitude);
    painter.save();
    painter.translate(at.X, at.Y);
    painter.rotate(scene.FixCourse);
    QPainterPath arrow;
    arrow.moveTo(0, -14);
    arrow.lineTo(9, 10);
    arrow.lineTo(0, 5);
    arrow.lineTo(-9, 10);
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(FixColor);
    painter.drawPath(arrow);
    painter.restore();
}

QString LengthText(double metres)
{
    return metres >= 1000 ? QString("%1 km").arg(metres / 1000) : QString("%1 m").arg(metres);
}

// A text on a pale box, so it reads on any map.
void PaintLabel(QPainter& painter, const QPointF& bottomLeft, const QString& text, int pixels)
{
    QFont font = painter.font();
    font.setPixelSize(pixels);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QRectF box(bottomLeft.x(), bottomLeft.y() - metrics.height(), metrics.horizontalAdvance(text) + 8, metrics.height());
    painter.fillRect(box, QColor(255, 255, 255, 200));
    painter.setPen(Qt::black);
    painter.drawText(box.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}

void PaintOverlay(QPainter& painter, const MapScene& scene)
{
    const MapView& view = *scene.View;
    const int h = view.Height();
    // Scale bar at the bottom left, for the latitude in the middle of the view.
    const ScaleBar bar = ChooseScaleBar(MetresPerPixel(view.Center().Latitude, view.Zoom()), 120);
    const QPointF start(10, h - 34);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(start, start + QPointF(bar.Pixels, 0));
    painter.drawLine(start + QPointF(0, -5), start + QPointF(0, 0));
    painter.drawLine(start + QPointF(bar.Pixels, -5), start + QPointF(bar.Pixels, 0));
    PaintLabel(painter, start + QPointF(bar.Pixels + 6, 6), LengthText(bar.Metres), 11);

    if (!scene.MouseText.isEmpty()) PaintLabel(painter, QPointF(6, h - 6), scene.MouseText, 12);

    const QString credit = scene.Tiles ? scene.Tiles->Attribution() : QString::fromUtf8(OsmAttribution);
    QFont font = painter.font();
    font.setPixelSize(11);
    const int creditWidth = QFontMetrics(font).horizontalAdvance(credit) + 8;
    PaintLabel(painter, QPointF(view.Width() - creditWidth, h), credit, 11);

    double noteAt = 46;
    if (scene.Tiles && !scene.Tiles->Problem().isEmpty()) {
        painter.setPen(QColor(160, 0, 0));
        PaintLabel(painter, QPointF(6, noteAt), scene.Tiles->Problem(), 11);
        noteAt += 18;
    }
    if (!scene.Note.isEmpty()) PaintLabel(painter, QPointF(6, noteAt), scene.Note, 11);
}

}  // namespace

void PaintMap(QPainter& painter, const MapScene& scene)
{
    const MapView& view = *scene.View;
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintGrid(painter, view);
    if (scene.Tiles) PaintTiles(painter, view, *scene.Tiles);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (scene.Track && !scene.Track->Empty()) PaintTrack(painter, scene);
    if (scene.Trail) PaintTrail(painter, view, *scene.Trail);
    if (scene.ShowFix) PaintFix(painter, scene);
    PaintOverlay(painter, scene);
}

}  // namespace tolvex
