#pragma once
// What the engine needs of the replay engine: the tick, and placing the replay near a position.

#include "sim/sim_fix.h"

namespace tolvex {

class ReplayDriver {
public:
    virtual ~ReplayDriver() = default;
    virtual TrackMode Mode() const = 0;
    virtual int StepInterval() const = 0;  // ms, at least 100 whenever Mode() is not Free
    virtual bool TrackBusy() const = 0;
    // Moves the fix by one replay step; sets finished when the track ended and no loop applies.
    virtual void ReplayStep(bool& finished, bool stopAtSegmentEnds) = 0;
    // Moves the replay to the place of the track nearest to the position (degrees).
    virtual void SnapToTrack(double latitude, double longitude) = 0;
};

}  // namespace tolvex
