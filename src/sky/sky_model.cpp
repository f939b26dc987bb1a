#include "sky/sky_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "sim/geodesy.h"
#include "sky/almanac.h"

namespace tolvex {
namespace {

constexpr double Pi = std::numbers::pi;

struct ConstellationShape {
    int FirstPrn;
    int Planes;
    int PerPlane;
    double InclinationDeg;
    double SemiMajorAxis;  // metres
};

// Indexed by GnssSystem.
constexpr std::array<ConstellationShape, GnssSystemCount> Shapes = {{
    {1, 6, 4, 55.0, 26559700.0},   // GPS
    {65, 3, 8, 64.8, 25510000.0},  // GLONASS
    {1, 3, 8, 56.0, 29600000.0},   // Galileo
    {1, 3, 8, 55.0, 27906000.0},   // BeiDou MEO
}};

// A fixed epoch for the nominal orbits, so that the sky of a given time is always the same.
constexpr int NominalWeek = 2200;

// C/N0 of a satellite at an elevation: weak near the horizon, strong overhead.
constexpr double SnrLow = 28, SnrHigh = 50, SnrSpread = 2;

}  // namespace

std::vector<OrbitElements> NominalConstellation(GnssSystem system)
{
    const ConstellationShape& shape = Shapes[static_cast<std::size_t>(system)];
    const int total = shape.Planes * shape.PerPlane;
    std::vector<OrbitElements> orbits;
    for (int p = 0; p < shape.Planes; ++p) {
        for (int s = 0; s < shape.PerPlane; ++s) {
            OrbitElements o;
            o.System = system;
            o.Prn = shape.FirstPrn + p * shape.PerPlane + s;
            o.Week = NominalWeek;
            o.Inclination = shape.InclinationDeg * DegToRad;
            o.SqrtA = std::sqrt(shape.SemiMajorAxis);
            o.RightAscension = 2 * Pi * p / shape.Planes;
            // Walker phasing: each plane's satellites a step further along than the previous plane's.
            o.MeanAnomaly = 2 * Pi * s / shape.PerPlane + 2 * Pi * p / total;
            orbits.push_back(o);
        }
    }
    return orbits;
}

SkyModel::SkyModel() { Reseed(); }

void SkyModel::Reseed()
{
    std::uint64_t seed = m_settings.Seed;
    if (seed == 0) seed = (static_cast<std::uint64_t>(std::random_device{}()) << 32) | std::random_device{}();
    m_noiseRandom = SkyRandom(seed);
    m_signalRandom = SkyRandom(seed ^ 0x9E3779B97F4A7C15ull);
    const double tau = m_settings.CorrelationTime > 0 ? m_settings.CorrelationTime : 60;
    m_north.emplace(tau, m_noiseRandom);
    m_east.emplace(tau, m_noiseRandom);
    m_up.emplace(tau, m_noiseRandom);
    m_lastTime.reset();
}

std::string SkyModel::Configure(const SkySettings& settings)
{
    const bool orbitsChanged = !m_configured || settings.Systems != m_settings.Systems ||
                               settings.AlmanacFile != m_settings.AlmanacFile;
    const bool noiseChanged = !m_configured || settings.Seed != m_settings.Seed ||
                              settings.CorrelationTime != m_settings.CorrelationTime;
    m_settings = settings;
    m_configured = true;
    if (noiseChanged) Reseed();
    if (!orbitsChanged) return {};

    std::string error;
    m_orbits.clear();
    for (int i = 0; i < GnssSystemCount; ++i) {
        const auto system = static_cast<GnssSystem>(i);
        if ((settings.Systems & SystemBit(system)) == 0) continue;
        if (system == GnssSystem::Gps && !settings.AlmanacFile.empty()) {
            AlmanacResult almanac = ReadAlmanacFile(settings.AlmanacFile);
            if (almanac) {
                m_orbits.insert(m_orbits.end(), almanac.Satellites.begin(), almanac.Satellites.end());
                continue;
            }
            error = almanac.Error;
        }
        const std::vector<OrbitElements> nominal = NominalConstellation(system);
        m_orbits.insert(m_orbits.end(), nominal.begin(), nominal.end());
    }
    return error;
}

const SkyView& SkyModel::Observe(const SimFix& fix, double unixSeconds)
{
    SkyView& view = m_view;
    view.Satellites.clear();
    view.Systems = m_settings.Systems;
    const double gpsSeconds = GpsSecondsFromUnix(unixSeconds);
    const double latitude = std::clamp(std::isfinite(fix.Latitude) ? fix.Latitude : 0.0, -90.0, 90.0);
    const double longitude = std::isfinite(fix.Longitude) ? fix.Longitude : 0.0;
    const double height = std::clamp(std::isfinite(fix.Altitude) ? fix.Altitude : 0.0, -MaxAltitude, MaxAltitude);
    const Ecef receiver = GeodeticToEcef(latitude, longitude, height);

    for (const OrbitElements& orbit : m_orbits) {
        if (orbit.Health != 0) continue;
        const LookAngles look = Look(latitude, longitude, receiver, SatellitePosition(orbit, gpsSeconds));
        if (look.Elevation < m_settings.MaskDeg) continue;
        SatelliteView sat;
        sat.System = orbit.System;
        sat.Prn = orbit.Prn;
        sat.Elevation = look.Elevation;
        sat.Azimuth = look.Azimuth;
        const double snr = SnrLow + (SnrHigh - SnrLow) * std::sin(std::max(look.Elevation, 0.0) * DegToRad) +
                           m_signalRandom.Uniform(-SnrSpread, SnrSpread);
        sat.Snr = static_cast<int>(std::lround(std::clamp(snr, 0.0, 99.0)));
        view.Satellites.push_back(sat);
    }
    std::sort(view.Satellites.begin(), view.Satellites.end(), [](const SatelliteView& a, const SatelliteView& b) {
        return a.System != b.System ? a.System < b.System : a.Prn < b.Prn;
    });

    // Each system's highest satellites, as many as its GSA can list.
    for (int i = 0; i < GnssSystemCount; ++i) {
        std::vector<SatelliteView*> candidates;
        for (SatelliteView& sat : view.Satellites)
            if (static_cast<int>(sat.System) == i) candidates.push_back(&sat);
        std::sort(candidates.begin(), candidates.end(),
                  [](const SatelliteView* a, const SatelliteView* b) { return a->Elevation > b->Elevation; });
        for (std::size_t k = 0; k < candidates.size() && k < MaxUsedPerSystem; ++k) candidates[k]->Used = true;
    }
    m_used.clear();
    for (const SatelliteView& sat : view.Satellites)
        if (sat.Used) m_used.push_back({sat.Elevation, sat.Azimuth});
    const std::optional<DilutionOfPrecision> dop = ComputeDop(m_used);
    view.FixValid = !m_fixLost && dop.has_value();
    view.Dop = dop.value_or(DilutionOfPrecision{});
    view.UsedCount = view.FixValid ? static_cast<int>(m_used.size()) : 0;
    if (!view.FixValid)
        for (SatelliteView& sat : view.Satellites) sat.Used = false;

    // The noise runs on whether or not it is shown, so that its course depends on time alone.
    const double dt = m_lastTime ? unixSeconds - *m_lastTime : 0.0;
    m_lastTime = unixSeconds;
    const double north = m_north->Step(dt, m_noiseRandom);
    const double east = m_east->Step(dt, m_noiseRandom);
    const double up = m_up->Step(dt, m_noiseRandom);
    view.Uere = m_settings.Uere;
    if (view.FixValid && m_settings.Uere > 0) {
        view.SigmaNorth = m_settings.Uere * view.Dop.NorthDOP;
        view.SigmaEast = m_settings.Uere * view.Dop.EastDOP;
        view.SigmaUp = m_settings.Uere * view.Dop.VDOP;
    } else {
        view.SigmaNorth = view.SigmaEast = view.SigmaUp = 0;
    }
    view.NorthError = view.SigmaNorth * north;
    view.EastError = view.SigmaEast * east;
    view.UpError = view.SigmaUp * up;
    return view;
}

}  // namespace tolvex
