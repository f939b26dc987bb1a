#pragma once
// The replay engine: moves the fix along the loaded track in modes P (point by point), M (at the
// operator's speed) and S (on the track's own time, scaled by SpeedRatio).

#include <optional>
#include <string>

#include "config/settings.h"
#include "nmea/output_table.h"
#include "sim/geodesy.h"
#include "sim/host.h"
#include "sim/replay_driver.h"
#include "sim/sim_fix.h"
#include "tracks/track_store.h"

namespace tolvex {

// Everything an export run changes and puts back afterwards.
struct ReplaySnapshot {
    SimFix Fix;
    int Point = 0;
    int PointInTrack = 0;
    int PointsInTrack = 0;
    int Track = 0;
    double TrackLatitude = 0;
    double TrackLongitude = 0;
    double TrackSpeed = 0;
    int StepInterval = 1000;
    LoopMode Loop = LoopMode::NoLoop;
    bool PositionHold = false;
};

// Mode S needs two timed points to run on the track's time; without, it steps point by point.
bool TrackCarriesTimes(const TrackStore& store);

// The point of the track nearest to (lat, lon) on the leg p..q, in plain degree coordinates.
GeoPoint ProjectOnLeg(double lat, double lon, const TrackPoint& p, const TrackPoint& q);

class Replay final : public ReplayDriver {
public:
    // exportRunning is read, never written: the export owns it.
    Replay(SimFix& fix, Settings& settings, const OutputTable& outputs, Host& host, TrackStore& store,
           const bool& exportRunning);

    // ReplayDriver
    TrackMode Mode() const override { return m_trackMode; }
    int StepInterval() const override { return m_stepInterval; }
    bool TrackBusy() const override { return m_trackBusy; }
    void ReplayStep(bool& finished, bool stopAtSegmentEnds) override;
    void SnapToTrack(double latitude, double longitude) override;

    void GoToTrackPoint(int segment, int point);
    void GoToPointNumber(int n);
    void ApplyLateralOffset();
    void UpdateReplaySpeed();
    void UpdateStepInterval();

    // Commands of the popup menu and the panel buttons; each that acts ends with RefreshPanel(1).
    void SetTrackMode(TrackMode mode);
    void ToggleReverse();
    void SetLoopMode(LoopMode mode);
    void NextLoopMode();
    void NextSegment();
    void PreviousSegment();
    void SelectSegment();

    // A successful load: the mode used last, the step interval, point 1 of segment 1.
    void StartNewTrack();

    // Entry at 0-based position index of ActivePoints; outside the list the diagnostic is shown
    // and null returned.
    const TrackPoint* GetTrackPointArray(int index);

    // The track's own time (seconds since 1970) where the replay stands, between the times of the
    // two points around it; nothing when the point behind carries no time.
    std::optional<double> TrackTime() const;

    ReplaySnapshot Save() const;
    void Restore(const ReplaySnapshot& snapshot);

    // Raised by dialogs that must hold the replay still (position dialogs, options sheet).
    void SetTrackBusy(bool busy) { m_trackBusy = busy; }
    void SetStepInterval(int ms) { m_stepInterval = ms; }
    void SetLateralOffset(double metres) { m_lateralOffset = metres; }
    void SetSpeedRatio(double ratio) { m_speedRatio = ratio; }
    void SetLoop(LoopMode mode) { m_loopMode = mode; }

    int LastTrackMode() const { return m_settings.LastTrackMode; }
    LoopMode Loop() const { return m_loopMode; }
    bool Reversed() const { return m_store.Reversed(); }
    double LateralOffset() const { return m_lateralOffset; }
    double SpeedRatio() const { return m_speedRatio; }
    double TrackSpeed() const { return m_trackSpeed; }
    int Track() const { return m_nTrack; }                  // m_nTrack
    int PointInTrack() const { return m_nPointInTrack; }    // m_nPointInTrack
    int PointsInTrack() const { return m_nPointsInTrack; }  // m_nPointsInTrack
    int Point() const { return m_nPoint; }                  // m_nPoint
    double TrackLatitude() const { return m_trackLatitude; }
    double TrackLongitude() const { return m_trackLongitude; }
    bool PositionHold() const { return m_positionHold; }
    const TrackStore& Store() const { return m_store; }

private:
    struct IndexFault {};  // a broken index invariant; the public operation is abandoned

    const TrackPoint& At(int n);           // point n, 1-based
    const TrackSegment& SegmentAt(int s);  // segment s, 1-based
    void ReportIndex(const char* what, int index);
    template <typename Operation>
    void Guarded(Operation operation);
    void Recover();

    void GoToTrackPointUnguarded(int segment, int point);
    void GoToPointNumberUnguarded(int n);
    void UpdateReplaySpeedUnguarded();
    void AdvanceOnePoint(bool& finished, bool stopAtSegmentEnds);
    void StepM(bool& finished, bool stopAtSegmentEnds);
    void StepS(bool& finished, bool stopAtSegmentEnds);
    void SnapUnguarded(double latitude, double longitude);
    // Mode S on a track without times moves point by point at a speed that does not match: say so.
    void WarnWithoutTimes();

    SimFix& m_fix;
    Settings& m_settings;
    const OutputTable& m_outputs;
    Host& m_host;
    TrackStore& m_store;
    const bool& m_exportRunning;

    TrackMode m_trackMode = TrackMode::Free;
    LoopMode m_loopMode = LoopMode::NoLoop;
    double m_lateralOffset = 0;
    double m_speedRatio = 1.0;
    double m_trackSpeed = 0;
    int m_stepInterval = 1000;
    int m_nTrack = 0;
    int m_nPointInTrack = 0;
    int m_nPointsInTrack = 0;
    int m_nPoint = 0;
    double m_trackLatitude = 0;
    double m_trackLongitude = 0;
    bool m_positionHold = false;
    bool m_trackBusy = false;
};

}  // namespace tolvex
