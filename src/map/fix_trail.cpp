#include "map/fix_trail.h"

#include <algorithm>
#include <cmath>

#include "sim/geodesy.h"

namespace tolvex {

void FixTrail::Add(double seconds, double latitude, double longitude, double speed)
{
    bool jump = m_samples.empty();
    if (!m_samples.empty()) {
        const TrailSample& last = m_samples.back();
        if (last.Latitude == latitude && last.Longitude == longitude) return;
        const double dt = std::max(seconds - last.Seconds, 0.0);
        // Some slack for replay steps, which move by whole track legs.
        const double reach = std::max(3 * std::abs(speed) * dt, 500.0);
        jump = !(GeoDistance(last.Latitude, last.Longitude, latitude, longitude) <= reach);
    }
    m_samples.push_back({seconds, latitude, longitude, jump});
    while (!m_samples.empty() && (m_samples.front().Seconds < seconds - KeptSeconds || m_samples.size() > MaxSamples))
        m_samples.pop_front();
    if (!m_samples.empty()) m_samples.front().Break = true;
}

}  // namespace tolvex
