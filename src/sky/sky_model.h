#pragma once
// The sky a receiver sees from the fix: satellites on their orbits, the ones above the elevation
// mask, the ones used and their DOP, the position error the noise adds, and whether there is a fix.

#include <optional>
#include <string>
#include <vector>

#include "config/settings.h"
#include "sim/sim_fix.h"
#include "sky/dop.h"
#include "sky/noise.h"
#include "sky/orbit.h"

namespace tolvex {

inline constexpr int MaxUsedPerSystem = 12;  // the PRN slots of one GSA

struct SatelliteView {
    GnssSystem System = GnssSystem::Gps;
    int Prn = 0;
    double Elevation = 0;  // degrees
    double Azimuth = 0;    // degrees
    int Snr = 0;           // C/N0, dB-Hz
    bool Used = false;
};

struct SkyView {
    std::vector<SatelliteView> Satellites;  // above the mask, by system, then by PRN
    unsigned Systems = 0;                   // the systems flown, bits of GnssSystem
    bool FixValid = false;
    int UsedCount = 0;
    DilutionOfPrecision Dop;
    // Metres the reported position lies off the true one, and the standard deviations they are drawn with.
    double NorthError = 0, EastError = 0, UpError = 0;
    double SigmaNorth = 0, SigmaEast = 0, SigmaUp = 0;
    double Uere = 0;
};

// The nominal constellation of a system: its planes evenly spaced in right ascension, its
// satellites evenly spaced in each plane, circular orbits.
std::vector<OrbitElements> NominalConstellation(GnssSystem system);

class SkyModel {
public:
    SkyModel();

    // Takes new settings; orbits are rebuilt only when the systems or the almanac file changed, the
    // noise restarted only when the seed or the correlation time did. Returns an error text naming
    // the file and the cause when the almanac cannot be used; GPS then flies its nominal constellation.
    std::string Configure(const SkySettings& settings);
    const SkySettings& Applied() const { return m_settings; }

    // The fix lost on command (a street canyon, a script), whatever the sky.
    void SetFixLost(bool lost) { m_fixLost = lost; }
    bool FixLost() const { return m_fixLost; }

    // The sky seen from the fix at a UTC time (seconds since 1970). The noise advances by the time
    // since the previous observation.
    const SkyView& Observe(const SimFix& fix, double unixSeconds);
    const SkyView& View() const { return m_view; }
    const std::vector<OrbitElements>& Orbits() const { return m_orbits; }

private:
    void Reseed();

    SkySettings m_settings;
    bool m_configured = false;
    bool m_fixLost = false;
    std::vector<OrbitElements> m_orbits;
    SkyRandom m_noiseRandom{0};
    SkyRandom m_signalRandom{0};
    std::optional<GaussMarkov> m_north, m_east, m_up;
    std::optional<double> m_lastTime;
    SkyView m_view;
    std::vector<LookAngles> m_used;
};

}  // namespace tolvex
