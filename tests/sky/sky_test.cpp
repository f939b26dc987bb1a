#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "sky/almanac.h"
#include "sky/dop.h"
#include "sky/noise.h"
#include "sky/orbit.h"
#include "sky/sky_model.h"

namespace tolvex {
namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Deg = Pi / 180;
constexpr double ShanghaiLat = 31.2304, ShanghaiLon = 121.4737;
constexpr double TestTime = 1685577600;  // 2023-06-01 00:00:00 UTC, GPS week 2264 (216 modulo 1024)

// Three satellites as a YUMA file gives them, the week broadcast modulo 1024.
constexpr const char* Yuma = R"(******** Week 216 almanac for PRN-03 ********
ID:                         03
Health:                     000
Eccentricity:               0.4571914673E-002
Time of Applicability(s):  405504.0000
Orbital Inclination(rad):   0.9660813808
Rate of Right Ascen(r/s):  -0.7931758547E-008
SQRT(A)  (m 1/2):           5153.625977
Right Ascen at Week(rad):  -0.1217592239E+001
Argument of Perigee(rad):   0.815247178
Mean Anom(rad):             0.2142316103E+001
Af0(s):                     0.4959106445E-003
Af1(s/s):                   0.0000000000E+000
week:                        216

******** Week 216 almanac for PRN-14 ********
ID:                         14
Health:                     000
Eccentricity:               0.2170562744E-001
Time of Applicability(s):  405504.0000
Orbital Inclination(rad):   0.9400236607
Rate of Right Ascen(r/s):  -0.7783154210E-008
SQRT(A)  (m 1/2):           5153.588379
Right Ascen at Week(rad):   0.1921648979E+001
Argument of Perigee(rad):  -0.268717289
Mean Anom(rad):            -0.1009474039E+001
Af0(s):                    -0.1316070557E-003
Af1(s/s):                   0.0000000000E+000
week:                        216

******** Week 216 almanac for PRN-27 ********
ID:                         27
Health:                     000
Eccentricity:               0.1153659821E-001
Time of Applicability(s):  405504.0000
Orbital Inclination(rad):   0.9575591087
Rate of Right Ascen(r/s):  -0.8171767336E-008
SQRT(A)  (m 1/2):           5153.688477
Right Ascen at Week(rad):   0.8802590370E+000
Argument of Perigee(rad):   0.690618515
Mean Anom(rad):             0.3010210752E+001
Af0(s):                     0.1144409180E-003
Af1(s/s):                   0.3637978807E-011
week:                        216
)";

// The same three as a SEM file: angles in semicircles, the inclination as an offset from 0.30.
std::string SemOf(const std::vector<OrbitElements>& sats)
{
    char line[512];
    std::string text = std::to_string(sats.size()) + " CURRENT.ALM\n216 405504\n";
    for (const OrbitElements& o : sats) {
        std::snprintf(line, sizeof line,
                      "\n%d\n%d\n0\n%.10E %.10E %.10E\n%.10E %.10E %.10E\n%.10E 0.0E+00 0.0E+00\n0\n11\n", o.Prn,
                      o.Prn + 40, o.Eccentricity, o.Inclination / Pi - 0.30, o.RateOfRightAscension / Pi, o.SqrtA,
                      o.RightAscension / Pi, o.ArgumentOfPerigee / Pi, o.MeanAnomaly / Pi);
        text += line;
    }
    return text;
}

// A reference written apart from the production code: Newton's method for Kepler's equation and
// the orbit turned into the Earth frame by three rotations, then east-north-up by dot products.
struct Reference {
    static void Rotate(double angle, int axis, double v[3])
    {
        const double c = std::cos(angle), s = std::sin(angle);
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        const double a = c * v[i] - s * v[j], b = s * v[i] + c * v[j];
        v[i] = a;
        v[j] = b;
    }
    static LookAngles See(const OrbitElements& o, double unixTime, double lat, double lon)
    {
        const double gps = unixTime - 315964800 + 18;
        const double week = 2264;  // the test time's week; the file says 216 = 2264 mod 1024
        const double tk = gps - (week * 604800 + o.Toa);
        const double a = o.SqrtA * o.SqrtA;
        const double m = o.MeanAnomaly + std::sqrt(3.986005e14 / (a * a * a)) * tk;
        double e = m;
        for (int k = 0; k < 10; ++k) e -= (e - o.Eccentricity * std::sin(e) - m) / (1 - o.Eccentricity * std::cos(e));
        double r[3] = {a * (std::cos(e) - o.Eccentricity), a * std::sqrt(1 - o.Eccentricity * o.Eccentricity) * std::sin(e), 0};
        Rotate(o.ArgumentOfPerigee, 2, r);
        Rotate(o.Inclination, 0, r);
        const double we = 7.2921151467e-5;
        Rotate(o.RightAscension + (o.RateOfRightAscension - we) * tk - we * o.Toa, 2, r);

        const double f = 1 / 298.257223563, e2 = f * (2 - f);
        const double n = 6378137 / std::sqrt(1 - e2 * std::sin(lat * Deg) * std::sin(lat * Deg));
        const double p[3] = {n * std::cos(lat * Deg) * std::cos(lon * Deg), n * std::cos(lat * Deg) * std::sin(lon * Deg),
                             n * (1 - e2) * std::sin(lat * Deg)};
        const double d[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
        const double east[3] = {-std::sin(lon * Deg), std::cos(lon * Deg), 0};
        const double north[3] = {-std::sin(lat * Deg) * std::cos(lon * Deg), -std::sin(lat * Deg) * std::sin(lon * Deg),
                                 std::cos(lat * Deg)};
        const double up[3] = {std::cos(lat * Deg) * std::cos(lon * Deg), std::cos(lat * Deg) * std::sin(lon * Deg),
                              std::sin(lat * Deg)};
        auto dot = [&](const double* u) { return u[0] * d[0] + u[1] * d[1] + u[2] * d[2]; };
        const double range = std::sqrt(dot(d));
        LookAngles look;
        look.Elevation = std::asin(dot(up) / range) / Deg;
        look.Azimuth = std::fmod(std::atan2(dot(east), dot(north)) / Deg + 360, 360);
        return look;
    }
};

double AngleGap(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

TEST(Almanac, YumaPropagatesAsTheReferenceOverAnHour)
{
    const AlmanacResult almanac = ParseAlmanac(Yuma);
    ASSERT_TRUE(almanac) << almanac.Error;
    ASSERT_EQ(almanac.Satellites.size(), 3u);
    for (double lat : {ShanghaiLat, -33.8688, 78.2}) {
        const double lon = lat > 0 ? ShanghaiLon : -70.6693;
        const Ecef receiver = GeodeticToEcef(lat, lon, 0);
        for (int minute = 0; minute <= 60; minute += 5) {
            const double t = TestTime + minute * 60;
            for (const OrbitElements& o : almanac.Satellites) {
                const LookAngles got = Look(lat, lon, receiver, SatellitePosition(o, GpsSecondsFromUnix(t)));
                const LookAngles want = Reference::See(o, t, lat, lon);
                EXPECT_NEAR(got.Elevation, want.Elevation, 0.1) << "PRN " << o.Prn << " minute " << minute;
                if (want.Elevation < 89) {
                    EXPECT_LT(AngleGap(got.Azimuth, want.Azimuth), 0.1) << "PRN " << o.Prn;
                }
            }
        }
    }
}

TEST(Almanac, SemReadsAsTheSameOrbits)
{
    const AlmanacResult yuma = ParseAlmanac(Yuma);
    ASSERT_TRUE(yuma);
    const AlmanacResult sem = ParseAlmanac(SemOf(yuma.Satellites));
    ASSERT_TRUE(sem) << sem.Error;
    ASSERT_EQ(sem.Satellites.size(), yuma.Satellites.size());
    for (std::size_t i = 0; i < sem.Satellites.size(); ++i) {
        const OrbitElements &a = yuma.Satellites[i], &b = sem.Satellites[i];
        EXPECT_EQ(a.Prn, b.Prn);
        EXPECT_EQ(a.Week, b.Week);
        EXPECT_DOUBLE_EQ(a.Toa, b.Toa);
        for (auto field : {&OrbitElements::Eccentricity, &OrbitElements::Inclination, &OrbitElements::RateOfRightAscension,
                           &OrbitElements::SqrtA, &OrbitElements::RightAscension, &OrbitElements::ArgumentOfPerigee,
                           &OrbitElements::MeanAnomaly})
            EXPECT_NEAR(a.*field, b.*field, 1e-9 * std::max(1.0, std::fabs(a.*field)));
    }
}

struct BadAlmanac {
    const char* Name;
    std::string Text;
    const char* Error;  // a part of the message
};

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

class AlmanacErrors : public ::testing::TestWithParam<BadAlmanac> {};

TEST_P(AlmanacErrors, NameTheCause)
{
    const AlmanacResult result = ParseAlmanac(GetParam().Text);
    EXPECT_FALSE(result);
    EXPECT_TRUE(result.Satellites.empty());
    EXPECT_NE(result.Error.find(GetParam().Error), std::string::npos) << result.Error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlmanacErrors,
    ::testing::Values(
        BadAlmanac{"Empty", "", "record count"},
        BadAlmanac{"YumaWithoutSqrtA", Replace(Yuma, "SQRT(A)  (m 1/2):           5153.688477\n", ""), "SQRT(A)"},
        BadAlmanac{"YumaTextForNumber", Replace(Yuma, "0.4571914673E-002", "zero"), "line 4: \"Eccentricity\""},
        BadAlmanac{"YumaPrnOutOfRange", Replace(Yuma, "ID:                         14", "ID: 40"), "PRN 40"},
        BadAlmanac{"YumaOpenOrbit", Replace(Yuma, "0.2170562744E-001", "1.5"), "eccentricity"},
        BadAlmanac{"SemCutShort", "2 X\n216 405504\n1 41 0 0.01 0.01 -2.5e-9 5153.6 0.1 0.2 0.3 0 0 0 11\n2 42",
                   "file ends where the URA"},
        BadAlmanac{"SemBadNumber", "1 X\n216 405504\n1 41 0 0.01 0.01 -2.5e-9 5153.6 0.1 0.2 oops 0 0 0 11",
                   "line 3: the mean anomaly \"oops\""},
        BadAlmanac{"SemTooManyRecords", "9999 X\n216 405504\n", "record count outside"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Almanac, CutAtEveryLengthReadsWholeRecordsOrFails)
{
    const std::string text = Yuma;
    for (std::size_t n = 0; n < text.size(); ++n) {
        const AlmanacResult result = ParseAlmanac(text.substr(0, n));
        ASSERT_TRUE(result.Satellites.size() <= 3 && (result || result.Satellites.empty())) << n;
        for (const OrbitElements& o : result.Satellites) ASSERT_GT(o.SqrtA, 5000) << n;
    }
}

TEST(Sky, NominalSatellitesRiseAndSetOverAnHour)
{
    SkyModel sky;
    SkySettings settings;
    settings.Enabled = true;
    ASSERT_EQ(sky.Configure(settings), "");
    EXPECT_EQ(sky.Orbits().size(), 24u);
    SimFix fix;
    fix.Latitude = ShanghaiLat;
    fix.Longitude = ShanghaiLon;
    auto visible = [&](double t) {
        std::set<int> prns;
        for (const SatelliteView& s : sky.Observe(fix, t).Satellites) {
            EXPECT_GE(s.Elevation, settings.MaskDeg);
            prns.insert(s.Prn);
        }
        return prns;
    };
    const std::set<int> first = visible(TestTime);
    const std::set<int> last = visible(TestTime + 3600);
    EXPECT_GE(first.size(), 4u);
    std::vector<int> rose, set;
    std::set_difference(last.begin(), last.end(), first.begin(), first.end(), std::back_inserter(rose));
    std::set_difference(first.begin(), first.end(), last.begin(), last.end(), std::back_inserter(set));
    EXPECT_FALSE(rose.empty());
    EXPECT_FALSE(set.empty());
}

struct DopCase {
    const char* Name;
    int Ring;             // satellites evenly spaced in azimuth
    double RingElevation; // degrees
    bool Zenith;          // one more straight overhead
};

class DopGeometry : public ::testing::TestWithParam<DopCase> {};

// A ring of N satellites at elevation e and one at the zenith: the normal matrix splits into the
// horizontal block N cos²e / 2 per axis and an up-clock block, which give
// HDOP = 2 / (cos e √N) and VDOP² = (N + 1) / ((N sin²e + 1)(N + 1) − (N sin e + 1)²).
TEST_P(DopGeometry, MatchesTheClosedForm)
{
    const DopCase& c = GetParam();
    std::vector<LookAngles> used;
    for (int k = 0; k < c.Ring; ++k) used.push_back({c.RingElevation, 360.0 * k / c.Ring + 10});
    if (c.Zenith) used.push_back({90, 0});
    const std::optional<DilutionOfPrecision> dop = ComputeDop(used);
    if (!c.Zenith) {
        EXPECT_FALSE(dop) << "a single cone fixes no height";
        return;
    }
    ASSERT_TRUE(dop);
    const double n = c.Ring, s = std::sin(c.RingElevation * Deg), co = std::cos(c.RingElevation * Deg);
    const double hdop = 2 / (co * std::sqrt(n));
    const double vdop = std::sqrt((n + 1) / ((n * s * s + 1) * (n + 1) - (n * s + 1) * (n * s + 1)));
    EXPECT_NEAR(dop->HDOP, hdop, 1e-9);
    EXPECT_NEAR(dop->VDOP, vdop, 1e-9);
    EXPECT_NEAR(dop->PDOP, std::hypot(hdop, vdop), 1e-9);
    EXPECT_NEAR(dop->EastDOP, dop->NorthDOP, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, DopGeometry,
                         ::testing::Values(DopCase{"FourOnTheHorizon", 4, 0, true}, DopCase{"ThreeAt30", 3, 30, true},
                                           DopCase{"SixAt45", 6, 45, true}, DopCase{"ElevenAt10", 11, 10, true},
                                           DopCase{"ConeWithoutZenith", 6, 30, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Sky, FewerThanFourSatellitesGiveNoDop)
{
    const std::vector<LookAngles> three = {{90, 0}, {10, 0}, {10, 120}};
    EXPECT_FALSE(ComputeDop(three));
}

TEST(Sky, RaisingTheMaskRaisesHdopAndFinallyLosesTheFix)
{
    SimFix fix;
    fix.Latitude = ShanghaiLat;
    fix.Longitude = ShanghaiLon;
    double previous = 0;
    bool lost = false;
    for (double mask : {0.0, 10.0, 20.0, 30.0, 40.0, 60.0, 90.0}) {
        SkyModel sky;
        SkySettings settings;
        settings.MaskDeg = mask;
        sky.Configure(settings);
        const SkyView& view = sky.Observe(fix, TestTime);
        if (!view.FixValid) {
            lost = true;
            EXPECT_EQ(view.UsedCount, 0);
            EXPECT_TRUE(std::none_of(view.Satellites.begin(), view.Satellites.end(), [](auto& s) { return s.Used; }));
            continue;
        }
        EXPECT_FALSE(lost) << "the fix came back at a higher mask " << mask;
        EXPECT_GE(view.Dop.HDOP, previous - 1e-12) << "mask " << mask;
        previous = view.Dop.HDOP;
    }
    EXPECT_TRUE(lost);
    EXPECT_GT(previous, 1.0);
}

TEST(Sky, FixLostOnCommandAndRecovered)
{
    SkyModel sky;
    sky.Configure(SkySettings{});
    SimFix fix;
    EXPECT_TRUE(sky.Observe(fix, TestTime).FixValid);
    sky.SetFixLost(true);
    const SkyView& lost = sky.Observe(fix, TestTime + 1);
    EXPECT_FALSE(lost.FixValid);
    EXPECT_FALSE(lost.Satellites.empty()) << "the satellites stay in view";
    sky.SetFixLost(false);
    EXPECT_TRUE(sky.Observe(fix, TestTime + 2).FixValid);
}

TEST(Noise, GaussMarkovHasUnitVarianceAndDecaysOverItsCorrelationTime)
{
    SkyRandom random(12345);
    constexpr double Tau = 60;
    constexpr int Lag = 60, Steps = 200000;
    GaussMarkov process(Tau, random);
    std::vector<double> x(Steps);
    for (double& v : x) v = process.Step(1.0, random);
    double mean = 0, var = 0, cov = 0;
    for (double v : x) mean += v / Steps;
    for (int i = 0; i < Steps; ++i) var += (x[i] - mean) * (x[i] - mean) / Steps;
    for (int i = 0; i + Lag < Steps; ++i) cov += (x[i] - mean) * (x[i + Lag] - mean) / (Steps - Lag);
    EXPECT_NEAR(mean, 0, 0.1);
    EXPECT_NEAR(var, 1, 0.1);
    EXPECT_NEAR(cov / var, std::exp(-1.0), 0.05);
}

TEST(Noise, PositionErrorFollowsUereTimesDop)
{
    SkyModel sky;
    SkySettings settings;
    settings.Uere = 3;
    settings.CorrelationTime = 5;
    settings.Seed = 99;
    sky.Configure(settings);
    SimFix fix;
    fix.Latitude = ShanghaiLat;
    fix.Longitude = ShanghaiLon;
    double horizontal = 0, vertical = 0;
    constexpr int Steps = 20000;
    for (int i = 0; i < Steps; ++i) {
        const SkyView& v = sky.Observe(fix, TestTime + i);
        ASSERT_TRUE(v.FixValid);
        const double h = v.Uere * v.Dop.HDOP;
        horizontal += (v.NorthError * v.NorthError + v.EastError * v.EastError) / (h * h) / Steps;
        vertical += v.UpError * v.UpError / (v.SigmaUp * v.SigmaUp) / Steps;
    }
    EXPECT_NEAR(horizontal, 1, 0.12);
    EXPECT_NEAR(vertical, 1, 0.12);
}

TEST(Noise, SameSeedSameErrorsOtherSeedOthers)
{
    auto run = [](std::uint32_t seed) {
        SkyModel sky;
        SkySettings settings;
        settings.Uere = 5;
        settings.Seed = seed;
        sky.Configure(settings);
        std::vector<double> errors;
        for (int i = 0; i < 50; ++i) errors.push_back(sky.Observe(SimFix{}, TestTime + i).NorthError);
        return errors;
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}

}  // namespace
}  // namespace tolvex
