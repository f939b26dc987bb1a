#include "tracks/replay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <numbers>

#include "tracks/segment_rows.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr double MinTimeStep = 0.09;        // s, shortest usable time step in mode S
constexpr double MaxLegTime = 3600;         // s, longest leg S mode interpolates on
constexpr double MinLegLength = 0.01;       // m, shortest leg S mode interpolates on
constexpr double InitialBestDistance = 1e38;
constexpr int DefaultStepInterval = 1000;   // ms
constexpr int MinStepInterval = 100;        // ms
constexpr int MaxStepInterval = 60000;      // ms
constexpr double RadToDeg = 180.0 / std::numbers::pi;

double Distance(const TrackPoint& a, const TrackPoint& b)
{
    return GeoDistance(a.Latitude, a.Longitude, b.Latitude, b.Longitude);
}

bool Timed(const TrackPoint& p)
{
    return (p.Flags & HasTime) != 0;
}

// The fraction x of the way from (lat, lon) to (toLat, toLon) at which GeoDistance from (lat, lon)
// is distance, for 0 < distance < GeoDistance to the end. The flat-earth distance of a long leg
// depends on the mean latitude it is taken at, so a step is measured from where it starts, exactly
// as the reach of the next point is: consecutive positions are then distance apart on any leg.
double FractionForDistance(double lat, double lon, double toLat, double toLon, double distance)
{
    const double dLat = toLat - lat;
    const double dLon = toLon - lon;
    auto along = [&](double x) { return GeoDistance(lat, lon, lat + x * dLat, lon + x * dLon); };
    // The distance is nearly proportional to x, so rescaling converges in two or three rounds;
    // the bracket falls back to halving should it not.
    double low = 0;
    double high = 1;
    double x = 1;
    for (int round = 0; round < 100; ++round) {
        const double d = along(x);
        if (std::abs(d - distance) <= 1e-12 * distance)
            return x;
        (d < distance ? low : high) = x;
        double next = d > 0 ? x * distance / d : (low + high) / 2;
        if (!(next > low && next < high))
            next = (low + high) / 2;
        if (next == x)
            return x;
        x = next;
    }
    return x;
}

}  // namespace

bool TrackCarriesTimes(const TrackStore& store)
{
    int timed = 0;
    for (const TrackPoint& p : store.ForwardPoints())
        if (Timed(p) && ++timed == 2)
            return true;
    return false;
}

GeoPoint ProjectOnLeg(double lat, double lon, const TrackPoint& p, const TrackPoint& q)
{
    if (p.Latitude == q.Latitude)
        return {p.Latitude, std::clamp(lon, std::min(p.Longitude, q.Longitude), std::max(p.Longitude, q.Longitude))};
    if (p.Longitude == q.Longitude)
        return {std::clamp(lat, std::min(p.Latitude, q.Latitude), std::max(p.Latitude, q.Latitude)), p.Longitude};

    const double k = (q.Latitude - p.Latitude) / (q.Longitude - p.Longitude);
    const double xLon = (k * (lat - p.Latitude) + k * k * p.Longitude + lon) / (k * k + 1);
    const double xLat = p.Latitude + k * (xLon - p.Longitude);
    const bool inside = xLat >= std::min(p.Latitude, q.Latitude) && xLat <= std::max(p.Latitude, q.Latitude) &&
                        xLon >= std::min(p.Longitude, q.Longitude) && xLon <= std::max(p.Longitude, q.Longitude);
    if (inside)
        return {xLat, xLon};
    const double toP = GeoDistance(xLat, xLon, p.Latitude, p.Longitude);
    const double toQ = GeoDistance(xLat, xLon, q.Latitude, q.Longitude);
    if (toQ > toP)
        return {p.Latitude, p.Longitude};
    return {q.Latitude, q.Longitude};
}

Replay::Replay(SimFix& fix, Settings& settings, const OutputTable& outputs, Host& host, TrackStore& store,
               const bool& exportRunning)
    : m_fix(fix), m_settings(settings), m_outputs(outputs), m_host(host), m_store(store), m_exportRunning(exportRunning)
{
}

// ---- guarded access -----------------------------------------------------------------------------

void Replay::ReportIndex(const char* what, int index)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "%s(%d)\nm_nPoint=%d, m_nPoints=%d\nm_nPointInTrack=%d, m_nPointsInTrack=%d\nm_nTrack=%d, m_nTracks=%d",
                  what, index, m_nPoint, m_store.PointCountTotal(), m_nPointInTrack, m_nPointsInTrack, m_nTrack,
                  m_store.SegmentCountTotal());
    m_host.ShowMessage(text, "Tolvex", MessageIcon::Error);
}

const TrackPoint* Replay::GetTrackPointArray(int index)
{
    const TrackPoint* point = m_store.PointAt(index);
    if (!point)
        ReportIndex("GetTrackPointArray", index);
    return point;
}

const TrackPoint& Replay::At(int n)
{
    const TrackPoint* point = GetTrackPointArray(n - 1);
    if (!point)
        throw IndexFault{};
    return *point;
}

const TrackSegment& Replay::SegmentAt(int s)
{
    const TrackSegment* segment = m_store.SegmentAt(s);
    if (!segment) {
        ReportIndex("GetTrackSegment", s);
        throw IndexFault{};
    }
    return *segment;
}

// A bad index abandons the operation after its diagnostic; the replay is put back on a valid
// point so that the next tick cannot fault again.
template <typename Operation>
void Replay::Guarded(Operation operation)
{
    try {
        operation();
    } catch (const IndexFault&) {
        Recover();
    }
}

void Replay::Recover()
{
    m_trackBusy = false;
    if (!m_store.Loaded())
        return;
    const int s = std::clamp(m_nTrack, 1, m_store.SegmentCountTotal());
    const TrackSegment& segment = m_store.ActiveSegments()[s - 1];
    try {
        GoToTrackPointUnguarded(s, std::clamp(m_nPointInTrack, 1, segment.PointCount));
    } catch (const IndexFault&) {
        // The store itself is inconsistent; nothing sensible is left to place.
    }
}

// ---- placing --------------------------------------------------------------------------------------

void Replay::ApplyLateralOffset()
{
    // Most replays have no offset: the track's position as it is, without trigonometry every step.
    if (m_lateralOffset == 0) {
        m_fix.Latitude = m_trackLatitude;
        m_fix.Longitude = m_trackLongitude;
        return;
    }
    const double a = (m_fix.Course + 90) * DegToRad;
    const double d = m_lateralOffset * RadToDeg;
    m_fix.Latitude = m_trackLatitude + std::cos(a) * d / PolarRadius;
    m_fix.Longitude = m_trackLongitude + std::sin(a) * d / (std::cos(m_trackLatitude * DegToRad) * EquatorialRadius);
}

void Replay::UpdateReplaySpeed()
{
    if (m_store.Loaded())
        Guarded([&] { UpdateReplaySpeedUnguarded(); });
}

void Replay::UpdateReplaySpeedUnguarded()
{
    if (m_trackMode != TrackMode::P && m_trackMode != TrackMode::S)
        return;
    const int g = SegmentAt(m_nTrack).FirstPoint + m_nPointInTrack - 1;
    const TrackPoint& from = m_nPointInTrack >= 2 ? At(g - 1) : At(g);
    const TrackPoint& to = m_nPointInTrack >= 2 ? At(g) : At(g + 1);
    const double d = Distance(from, to);
    if (m_trackMode == TrackMode::P) {
        m_fix.Speed = d / (m_stepInterval / 1000.0);
        return;
    }
    double t = 1;
    if (Timed(from) && Timed(to) && to.Time - from.Time >= MinTimeStep)
        t = to.Time - from.Time;
    m_trackSpeed = d / t;
    m_fix.Speed = m_trackSpeed * m_speedRatio;
}

void Replay::GoToTrackPointUnguarded(int segment, int point)
{
    segment = std::clamp(segment, 1, std::max(m_store.SegmentCountTotal(), 1));
    const TrackSegment& seg = SegmentAt(segment);
    m_nPointsInTrack = seg.PointCount;
    point = std::clamp(point, 1, std::max(seg.PointCount, 1));
    m_nPointInTrack = point;
    const int g = seg.FirstPoint + point - 1;
    const TrackPoint& p = At(g);
    m_trackLatitude = p.Latitude;
    m_trackLongitude = p.Longitude;
    m_nTrack = segment;
    m_fix.Altitude = p.Altitude;
    m_nPoint = g;

    const TrackPoint& from = point < m_nPointsInTrack ? p : At(g - 1);
    const TrackPoint& to = point < m_nPointsInTrack ? At(g + 1) : p;
    bool valid = false;
    const double course = GeoBearing(from.Latitude, from.Longitude, to.Latitude, to.Longitude, &valid);
    if (valid)
        m_fix.Course = course;

    UpdateReplaySpeedUnguarded();
    ApplyLateralOffset();
    m_positionHold = true;
}

void Replay::GoToPointNumberUnguarded(int n)
{
    const auto segments = m_store.ActiveSegments();
    if (n <= 1) {
        GoToTrackPointUnguarded(1, 1);
    } else if (n > m_store.PointCountTotal()) {
        GoToTrackPointUnguarded(m_store.SegmentCountTotal(), SegmentAt(m_store.SegmentCountTotal()).PointCount);
    } else {
        // Segments are contiguous and ordered: the first whose last point is at or after n.
        const auto it = std::partition_point(segments.begin(), segments.end(), [n](const TrackSegment& s) {
            return s.FirstPoint + s.PointCount - 1 < n;
        });
        const int s = static_cast<int>(it - segments.begin()) + 1;
        GoToTrackPointUnguarded(s, n - SegmentAt(s).FirstPoint + 1);
    }
}

void Replay::GoToTrackPoint(int segment, int point)
{
    if (!m_store.Loaded())
        return;
    Guarded([&] { GoToTrackPointUnguarded(segment, point); });
}

void Replay::GoToPointNumber(int n)
{
    if (!m_store.Loaded())
        return;
    Guarded([&] { GoToPointNumberUnguarded(n); });
}

// ---- stepping -------------------------------------------------------------------------------------

void Replay::AdvanceOnePoint(bool& finished, bool stopAtSegmentEnds)
{
    ++m_nPoint;
    GoToPointNumberUnguarded(m_nPoint);
    if (m_exportRunning &&
        (m_nPoint >= m_store.PointCountTotal() || (stopAtSegmentEnds && m_nPointInTrack >= m_nPointsInTrack)))
        finished = true;
}

void Replay::StepM(bool& finished, bool stopAtSegmentEnds)
{
    double remaining = m_stepInterval * m_fix.Speed / 1000;
    double startLat = m_trackLatitude;
    double startLon = m_trackLongitude;
    int r = m_nPoint + 1;
    double reach = GeoDistance(startLat, startLon, At(r).Latitude, At(r).Longitude);
    while (remaining >= reach) {
        if (At(r).Flags & SegmentEnd) {
            AdvanceOnePoint(finished, stopAtSegmentEnds);
            return;
        }
        remaining -= reach;
        startLat = At(r).Latitude;
        startLon = At(r).Longitude;
        ++m_nPointInTrack;
        ++m_nPoint;
        ++r;
        reach = Distance(At(r - 1), At(r));
    }
    const TrackPoint& s = At(m_nPoint);
    const TrackPoint& next = At(r);
    // The position lies on the leg s..next; it moves along it towards next. A step of no length
    // (speed 0, or a leg the flat-earth distance cannot measure) keeps it where it is.
    const double f = remaining > 0 ? FractionForDistance(startLat, startLon, next.Latitude, next.Longitude, remaining) : 0;
    m_trackLatitude = startLat + f * (next.Latitude - startLat);
    m_trackLongitude = startLon + f * (next.Longitude - startLon);
    m_fix.Course = GeoBearing(s.Latitude, s.Longitude, next.Latitude, next.Longitude);
    m_fix.Altitude = s.Altitude;
}

void Replay::StepS(bool& finished, bool stopAtSegmentEnds)
{
    const TrackPoint& r = At(m_nPoint);
    const TrackPoint& q = At(m_nPoint + 1);
    const double dt = q.Time - r.Time;
    const double c = Distance(r, q);
    if (!Timed(r) || !Timed(q) || dt < MinTimeStep || dt > MaxLegTime || c < MinLegLength) {
        AdvanceOnePoint(finished, stopAtSegmentEnds);
        return;
    }
    const double present = r.Time + dt * GeoDistance(m_trackLatitude, m_trackLongitude, r.Latitude, r.Longitude) / c;
    const double target = present + (m_stepInterval / 1000.0) * m_speedRatio;

    for (;;) {
        const TrackPoint& next = At(m_nPoint + 1);
        // The last leg of a segment is replayed on its own time like any other; the step that
        // reaches its end lands on the end point, and the next step ends or loops.
        if (!Timed(next) || ((next.Flags & SegmentEnd) && target >= next.Time)) {
            AdvanceOnePoint(finished, stopAtSegmentEnds);
            return;
        }
        if (target < next.Time) {
            const TrackPoint& p = At(m_nPoint);
            const double dt2 = next.Time - p.Time;
            if (dt2 < MinTimeStep) {
                AdvanceOnePoint(finished, stopAtSegmentEnds);
                return;
            }
            const double f = (target - p.Time) / dt2;
            m_trackLatitude = p.Latitude + f * (next.Latitude - p.Latitude);
            m_trackLongitude = p.Longitude + f * (next.Longitude - p.Longitude);
            m_fix.Altitude = p.Altitude;
            m_fix.Course = GeoBearing(p.Latitude, p.Longitude, next.Latitude, next.Longitude);
            m_trackSpeed = Distance(p, next) / dt2;
            m_fix.Speed = m_trackSpeed * m_speedRatio;
            return;
        }
        ++m_nPointInTrack;
        ++m_nPoint;
    }
}

void Replay::ReplayStep(bool& finished, bool stopAtSegmentEnds)
{
    if (!m_store.Loaded() || m_trackMode == TrackMode::Free)
        return;
    Guarded([&] {
        if (!m_positionHold) {
            if (m_nPointInTrack >= m_nPointsInTrack) {
                const int tracks = m_store.SegmentCountTotal();
                switch (m_loopMode) {
                case LoopMode::NoLoop:
                    if (m_nTrack < tracks) {
                        GoToTrackPointUnguarded(m_nTrack + 1, 1);
                    } else {
                        finished = true;
                        GoToTrackPointUnguarded(tracks, SegmentAt(tracks).PointCount);
                    }
                    break;
                case LoopMode::FileLoop:
                    GoToTrackPointUnguarded(m_nTrack < tracks ? m_nTrack + 1 : 1, 1);
                    break;
                case LoopMode::SegmentLoop:
                    GoToTrackPointUnguarded(m_nTrack, 1);
                    break;
                }
            } else if (m_trackMode == TrackMode::P) {
                AdvanceOnePoint(finished, stopAtSegmentEnds);
            } else if (m_trackMode == TrackMode::M) {
                StepM(finished, stopAtSegmentEnds);
            } else {
                StepS(finished, stopAtSegmentEnds);
            }
        }
        m_positionHold = false;
        ApplyLateralOffset();
    });
}

// ---- snapping -------------------------------------------------------------------------------------

void Replay::SnapUnguarded(double latitude, double longitude)
{
    double best = InitialBestDistance;
    int bestNumber = 0;
    GeoPoint bestPosition;
    const int n = m_store.PointCountTotal();
    const bool byPoint = m_settings.LastTrackMode == static_cast<int>(TrackMode::P);
    for (int i = 1; i <= n; ++i) {
        const TrackPoint& p = At(i);
        GeoPoint x{p.Latitude, p.Longitude};
        if (!byPoint) {
            if (p.Flags & SegmentEnd)
                continue;
            x = ProjectOnLeg(latitude, longitude, p, At(i + 1));
        }
        const double d = GeoDistance(latitude, longitude, x.Latitude, x.Longitude);
        if (d < best) {
            best = d;
            bestNumber = i;
            bestPosition = x;
        }
    }
    m_nPoint = bestNumber;
    GoToPointNumberUnguarded(bestNumber);
    // No distance compared (a position that is not a number): stay on the point just placed
    // rather than at 0,0.
    if (bestNumber > 0) {
        m_trackLatitude = bestPosition.Latitude;
        m_trackLongitude = bestPosition.Longitude;
    }
}

void Replay::SnapToTrack(double latitude, double longitude)
{
    if (!m_store.Loaded())
        return;
    m_trackBusy = true;
    Guarded([&] { SnapUnguarded(latitude, longitude); });
    m_trackBusy = false;
}

// ---- commands -------------------------------------------------------------------------------------

void Replay::UpdateStepInterval()
{
    int interval = DefaultStepInterval;
    const auto& out = m_settings.Outputs;
    auto firstSerial = [&](auto&& pick) {
        for (int k = 1; k <= 3; ++k) {
            if (pick(k))
                return k;
        }
        return 0;
    };
    if (int k = firstSerial([&](int i) { return m_outputs[i].IsOpen(); }))
        interval = out[k].Interval;
    else if (m_outputs[0].IsOpen())
        interval = out[0].Interval;
    else if (int a = firstSerial([&](int i) { return out[i].Active; }))
        interval = out[a].Interval;
    else if (out[0].Active)
        interval = out[0].Interval;
    // A settings file edited by hand must not give a zero step (mode P divides by it).
    m_stepInterval = std::clamp(interval, MinStepInterval, MaxStepInterval);
}

void Replay::SetTrackMode(TrackMode mode)
{
    if (mode == TrackMode::Free) {
        if (m_trackMode == TrackMode::Free)
            return;
        m_settings.LastTrackMode = static_cast<int>(m_trackMode);
        m_trackMode = TrackMode::Free;
        m_host.RefreshPanel(1);
        return;
    }
    if (!m_store.Loaded())
        return;
    if (m_trackMode == TrackMode::Free)
        SnapToTrack(m_fix.Latitude, m_fix.Longitude);
    const bool newlyS = mode == TrackMode::S && m_trackMode != TrackMode::S;
    m_trackMode = mode;
    m_settings.LastTrackMode = static_cast<int>(mode);
    UpdateStepInterval();
    UpdateReplaySpeed();
    m_host.RefreshPanel(1);
    if (newlyS)
        WarnWithoutTimes();
}

void Replay::StartNewTrack()
{
    const int last = m_settings.LastTrackMode;
    m_trackMode = last >= 1 && last <= 3 ? static_cast<TrackMode>(last) : TrackMode::P;
    UpdateStepInterval();
    GoToTrackPoint(1, 1);
    if (m_trackMode == TrackMode::S)
        WarnWithoutTimes();
}

void Replay::WarnWithoutTimes()
{
    if (!TrackCarriesTimes(m_store))
        m_host.ShowMessage(Texts::tr("航迹不含时间，S模式将每步前进一个点，显示的速度与实际运动不符 "), Texts::tr("警告"),
                           MessageIcon::Warning);
}

void Replay::ToggleReverse()
{
    if (m_trackMode == TrackMode::Free || !m_store.Loaded())
        return;
    m_trackBusy = true;
    try {
        m_store.SetReversed(!m_store.Reversed());
    } catch (const std::bad_alloc&) {
        // The reversed copy is as large as the track: without the memory the replay goes on as it was.
        m_trackBusy = false;
        m_host.ShowMessage(Texts::tr("内存不足，无法反向回放航迹"), Texts::tr("错误"), MessageIcon::Error);
        return;
    }
    // Standing on a point (P, or at the end of a segment) maps to the same point; between two
    // points, to the point behind the replay in the new direction.
    if (m_trackMode == TrackMode::P || m_nPoint >= m_store.PointCountTotal() || m_nPointInTrack >= m_nPointsInTrack) {
        m_nPoint = m_store.PointCountTotal() - m_nPoint + 1;
        m_nPointInTrack = m_nPointsInTrack - m_nPointInTrack + 1;
    } else {
        m_nPoint = m_store.PointCountTotal() - m_nPoint;
        m_nPointInTrack = m_nPointsInTrack - m_nPointInTrack;
    }
    m_nTrack = m_store.SegmentCountTotal() - m_nTrack + 1;
    m_lateralOffset = -m_lateralOffset;
    m_fix.Course += 180;
    if (m_fix.Course > 360)
        m_fix.Course -= 360;
    m_trackBusy = false;
    m_host.RefreshPanel(1);
}

void Replay::SetLoopMode(LoopMode mode)
{
    if (m_trackMode == TrackMode::Free)
        return;
    m_loopMode = mode;
    m_host.RefreshPanel(1);
}

void Replay::NextLoopMode()
{
    SetLoopMode(static_cast<LoopMode>((static_cast<int>(m_loopMode) + 1) % 3));
}

void Replay::NextSegment()
{
    if (m_trackMode == TrackMode::Free || !m_store.Loaded())
        return;
    const int tracks = m_store.SegmentCountTotal();
    if (m_loopMode == LoopMode::FileLoop)
        GoToTrackPoint(m_nTrack % tracks + 1, 1);
    else if (m_nTrack < tracks)
        GoToTrackPoint(m_nTrack + 1, 1);
    m_host.RefreshPanel(1);
}

void Replay::PreviousSegment()
{
    if (m_trackMode == TrackMode::Free || !m_store.Loaded())
        return;
    const int tracks = m_store.SegmentCountTotal();
    if (m_loopMode == LoopMode::FileLoop)
        GoToTrackPoint((m_nTrack + tracks - 2) % tracks + 1, 1);
    else if (m_nTrack > 1)
        GoToTrackPoint(m_nTrack - 1, 1);
    m_host.RefreshPanel(1);
}

void Replay::SelectSegment()
{
    if (!m_store.Loaded())
        return;
    m_trackBusy = true;
    const std::optional<int> chosen =
        m_host.ChooseSegment(SegmentRows(m_store, m_settings.LatLonFormatIndex), SegmentSummary(m_store));
    if (chosen) {
        if (*chosen != -1)
            GoToTrackPoint(*chosen + 1, 1);
        m_host.RefreshPanel(1);
    }
    m_trackBusy = false;
}

std::optional<double> Replay::TrackTime() const
{
    const TrackPoint* p = m_store.PointAt(m_nPoint - 1);
    if (p == nullptr || !Timed(*p))
        return std::nullopt;
    const TrackPoint* q = (p->Flags & SegmentEnd) ? nullptr : m_store.PointAt(m_nPoint);
    if (q == nullptr || !Timed(*q))
        return p->Time;
    // The replay stands on the straight line p..q: the share of the larger coordinate change is exact.
    const double dLat = q->Latitude - p->Latitude;
    const double dLon = q->Longitude - p->Longitude;
    double f = 0;
    if (std::abs(dLat) >= std::abs(dLon) && dLat != 0)
        f = (m_trackLatitude - p->Latitude) / dLat;
    else if (dLon != 0)
        f = (m_trackLongitude - p->Longitude) / dLon;
    return p->Time + (q->Time - p->Time) * std::clamp(f, 0.0, 1.0);
}

ReplaySnapshot Replay::Save() const
{
    return ReplaySnapshot{m_fix,           m_nPoint,        m_nPointInTrack,  m_nPointsInTrack,
                          m_nTrack,        m_trackLatitude, m_trackLongitude, m_trackSpeed,
                          m_stepInterval,  m_loopMode,      m_positionHold};
}

void Replay::Restore(const ReplaySnapshot& s)
{
    m_fix = s.Fix;
    m_nPoint = s.Point;
    m_nPointInTrack = s.PointInTrack;
    m_nPointsInTrack = s.PointsInTrack;
    m_nTrack = s.Track;
    m_trackLatitude = s.TrackLatitude;
    m_trackLongitude = s.TrackLongitude;
    m_trackSpeed = s.TrackSpeed;
    m_stepInterval = s.StepInterval;
    m_loopMode = s.Loop;
    m_positionHold = s.PositionHold;
}

}  // namespace tolvex
