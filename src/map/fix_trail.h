#pragma once
// Where the fix has been over the last minutes, sampled by the map window. A jump (a double
// click, a favourite, a new replay position) starts a new piece rather than drawing a line.

#include <deque>

namespace tolvex {

struct TrailSample {
    double Seconds = 0;    // the sampler's clock
    double Latitude = 0;   // degrees
    double Longitude = 0;  // degrees
    bool Break = false;    // not joined to the sample before
};

class FixTrail {
public:
    static constexpr double KeptSeconds = 300;
    static constexpr std::size_t MaxSamples = 20000;

    // speed in m/s: a step longer than the fix could have driven since the last sample is a jump.
    void Add(double seconds, double latitude, double longitude, double speed);
    void Clear() { m_samples.clear(); }
    const std::deque<TrailSample>& Samples() const { return m_samples; }

private:
    std::deque<TrailSample> m_samples;
};

}  // namespace tolvex
