// One map frame of a million-point track, drawn as the window draws it: the whole track at the
// zoom that fits it, and street level in its middle. Each must stay under 16 ms (60 frames a
// second while panning), for a long drive and for a scribble of the same size packed into a few
// kilometres. The simplified copies are made once per load and timed for the record, and so is
// the slowest zoom in between. Frames are timed in the drawing thread's CPU time, so a machine
// busy with other work does not count against them.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "app/map_painter.h"
#include "map/map_track.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Points = 1000000;
constexpr double FrameBudgetMs = 16;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A drive of 10 m steps whose heading wanders as a road's does, in ten segments (a fixed generator).
void MakeDrive(std::vector<tolvex::TrackPoint>& points, std::vector<tolvex::TrackSegment>& segments)
{
    double lat = 31.2, lon = 121.4, heading = 0.3, turn = 0;
    unsigned seed = 12345;
    for (int i = 0; i < Points; ++i) {
        seed = seed * 1664525u + 1013904223u;
        // Bends every few kilometres, turns at junctions now and then, a general direction for days.
        const double bend = 0.6 * std::sin(i / 700.0) + 0.3 * std::sin(i / 130.0);
        if ((seed >> 8) % 5000 == 0) turn += ((seed >> 4) % 2 ? 1.57 : -1.57);
        heading = 0.8 + std::sin(i / 200000.0) + bend + turn * 0.3;
        lat += 10 * std::cos(heading) / 111320;
        lon += 10 * std::sin(heading) / (111320 * std::cos(lat * 0.017453292519943295));
        points.push_back({lat, lon, 0, 0, 0});
    }
    for (int s = 0; s < 10; ++s) segments.push_back({s * Points / 10 + 1, Points / 10, 0, {}});
}

// A logger left on for days in one town: 10 m steps in ever-changing directions, held inside a
// circle of 5 km, in two segments. Every zoom has far more points than pixels to put them on.
void MakeScribble(std::vector<tolvex::TrackPoint>& points, std::vector<tolvex::TrackSegment>& segments)
{
    const double lat0 = 31.2, lon0 = 121.4, metresLon = 111320 * std::cos(lat0 * 0.017453292519943295);
    double north = 0, east = 0, heading = 0;
    unsigned seed = 777;
    for (int i = 0; i < Points; ++i) {
        seed = seed * 1664525u + 1013904223u;
        heading += (((seed >> 8) % 2001) - 1000) * 1e-3;
        if (north * north + east * east > 5000.0 * 5000.0) heading = std::atan2(-east, -north);
        north += 10 * std::cos(heading);
        east += 10 * std::sin(heading);
        points.push_back({lat0 + north / 111320, lon0 + east / metresLon, 0, 0, 0});
    }
    segments.push_back({1, Points / 2, 0, {}});
    segments.push_back({Points / 2 + 1, Points / 2, 0, {}});
}

// Median of a number of frames, in ms; the first (which makes the raster tiles) apart.
struct Frames {
    double First = 0;
    double Median = 0;
};

Frames FrameMs(const tolvex::MapScene& scene, QImage& image)
{
    std::vector<double> times;
    for (int i = 0; i < 31; ++i) {
        const double start = ThreadCpuMs();
        QPainter painter(&image);
        tolvex::PaintMap(painter, scene);
        painter.end();
        times.push_back(ThreadCpuMs() - start);
    }
    const double first = times.front();
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return {first, times[times.size() / 2]};
}

// Draws one track at the whole-track zoom and at street level; true when either misses the budget.
bool Measure(const char* name, const std::vector<tolvex::TrackPoint>& points,
             const std::vector<tolvex::TrackSegment>& segments, int activeSegment)
{
    tolvex::MapTrack track;
    const auto buildStart = Clock::now();
    track.Build(points, segments);
    std::printf("%s of %d points: simplified copies built in %.0f ms\n", name, Points, Ms(Clock::now() - buildStart));

    QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
    tolvex::MapView view;
    view.Resize(image.width(), image.height());
    tolvex::FixTrail trail;
    for (int i = 0; i < 3000; ++i) trail.Add(i * 0.1, points[500000 + i].Latitude, points[500000 + i].Longitude, 30);
    tolvex::MapRasterCache rasters;
    tolvex::MapScene scene;
    scene.View = &view;
    scene.Track = &track;
    scene.ActiveSegment = activeSegment;
    scene.Trail = &trail;
    scene.Rasters = &rasters;
    scene.FixLatitude = points[503000].Latitude;
    scene.FixLongitude = points[503000].Longitude;
    scene.MouseText = QString::fromUtf8("纬度  31.230400°  经度  121.473700°");

    const tolvex::UnitBox& b = track.Bounds();
    const int wholeZoom = track.ZoomToFit(image.width(), image.height());
    view.SetZoom(wholeZoom);
    const tolvex::GeoPosition middle = tolvex::FromUnit({(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2});
    view.CenterOn(middle.Latitude, middle.Longitude);
    const Frames whole = FrameMs(scene, image);
    std::printf("  whole track (zoom %d, %d points kept, %zu raster tiles): %.2f ms, first %.2f ms (target < %.0f ms)\n",
                view.Zoom(), track.PointsAt(view.Zoom()), track.DenseTiles(view.Zoom()).size(), whole.Median,
                whole.First, FrameBudgetMs);

    view.SetZoom(17);
    view.CenterOn(points[Points / 2].Latitude, points[Points / 2].Longitude);
    const Frames street = FrameMs(scene, image);
    std::printf("  street level (zoom 17, %zu raster tiles): %.2f ms, first %.2f ms (target < %.0f ms)\n",
                track.DenseTiles(17).size(), street.Median, street.First, FrameBudgetMs);

    // For the record: the slowest zoom between the two, as the wheel passes through them.
    Frames slowest;
    int slowestZoom = wholeZoom;
    for (int zoom = wholeZoom + 1; zoom < 17; ++zoom) {
        view.SetZoom(zoom);
        const Frames f = FrameMs(scene, image);
        if (f.Median > slowest.Median) {
            slowest = f;
            slowestZoom = zoom;
        }
    }
    if (slowestZoom != wholeZoom)
        std::printf("  slowest zoom between (zoom %d): %.2f ms, first %.2f ms\n", slowestZoom, slowest.Median, slowest.First);
    return whole.Median >= FrameBudgetMs || street.Median >= FrameBudgetMs;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::vector<tolvex::TrackPoint> points;
    std::vector<tolvex::TrackSegment> segments;
    MakeDrive(points, segments);
    bool missed = Measure("map frame, drive", points, segments, 5);
    points.clear();
    segments.clear();
    MakeScribble(points, segments);
    missed = Measure("map frame, scribble", points, segments, 1) || missed;
    if (missed) std::printf("map frame: MISSED the %.0f ms target\n", FrameBudgetMs);
    return missed ? 1 : 0;
}
