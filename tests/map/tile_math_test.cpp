// Tile numbers and pixels against values worked out by hand from the slippy-map formulas, the
// edges of the world, the view's conversions and the scale bar.
#include <gtest/gtest.h>

#include <cmath>

#include "map/map_view.h"
#include "map/tile_math.h"

namespace tolvex {

void PrintTo(const PlacedTile& t, std::ostream* os)
{
    *os << t.Tile.Z << "/" << t.Tile.X << "/" << t.Tile.Y << "@" << t.X << "," << t.Y;
}

namespace {

struct TileCase {
    const char* Name;
    double Latitude;
    double Longitude;
    int Zoom;
    int TileX;
    int TileY;
    double PixelX;  // on the world at that zoom
    double PixelY;
};

class TileMath : public ::testing::TestWithParam<TileCase> {};

TEST_P(TileMath, TileAndPixelOfAPlace)
{
    const TileCase& c = GetParam();
    const TileId tile = TileAt(c.Latitude, c.Longitude, c.Zoom);
    EXPECT_EQ(tile, (TileId{c.Zoom, c.TileX, c.TileY}));
    const UnitPoint u = ToUnit(c.Latitude, WrapMapLongitude(c.Longitude));
    EXPECT_NEAR(u.X * WorldPixels(c.Zoom), c.PixelX, 1e-3);
    EXPECT_NEAR(u.Y * WorldPixels(c.Zoom), c.PixelY, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Tile, TileMath,
    ::testing::Values(TileCase{"WholeWorldCentre", 0, 0, 0, 0, 0, 128, 128},
                      TileCase{"LondonZoom10", 51.5074, -0.1278, 10, 511, 340, 130978.93888, 87169.5706005},
                      TileCase{"LondonZoom16", 51.5074, -0.1278, 16, 32744, 21792, 8382652.08832, 5578852.5184351},
                      TileCase{"SydneyZoom12", -33.8688, 151.2093, 12, 3768, 2457, 964717.0082133, 629242.3326656},
                      TileCase{"TokyoZoom19", 35.6762, 139.6503, 19, 465524, 206462, 119174269.50144, 52854300.9159261},
                      TileCase{"EastOfTheAntimeridianIsTheFirstColumn", 10, 180, 3, 0, 3, 0, 966.8200695},
                      TileCase{"WestOfTheAntimeridianIsTheLastColumn", 10, 179.999, 3, 7, 3, 2047.994311, 966.8200695},
                      TileCase{"LongitudeBeyond180Wraps", 0, 190, 2, 0, 2, 28.4444444, 512},
                      TileCase{"NorthernLimitIsRowZero", MercatorLimit, 0, 5, 16, 0, 4096, 0},
                      TileCase{"PoleClampsToTheLimit", 90, -180, 5, 0, 0, 0, 0},
                      TileCase{"SouthPoleIsTheLastRow", -90, 0, 4, 8, 15, 2048, 4096}),
    [](const auto& info) { return info.param.Name; });

TEST(TileMathRoundTrip, PlaceToPixelAndBackAtEveryZoom)
{
    const double latitudes[] = {-MercatorLimit, -60.5, -0.000001, 0, 33.3, 85};
    const double longitudes[] = {-180, -122.419, 0, 0.000001, 179.999999};
    for (int zoom = MinMapZoom; zoom <= MaxMapZoom; ++zoom) {
        for (double lat : latitudes) {
            for (double lon : longitudes) {
                const UnitPoint u = ToUnit(lat, lon);
                const GeoPosition back = FromUnit(u);
                // Within a thousandth of a pixel at this zoom.
                const double pixelDegrees = 360 / WorldPixels(zoom);
                EXPECT_NEAR(back.Longitude, lon, pixelDegrees * 1e-3) << zoom << " " << lat << " " << lon;
                const UnitPoint again = ToUnit(back.Latitude, back.Longitude);
                EXPECT_NEAR(again.Y * WorldPixels(zoom), u.Y * WorldPixels(zoom), 1e-3) << zoom << " " << lat;
            }
        }
    }
}

struct UrlCase {
    const char* Pattern;
    const char* Url;
    bool IsPattern;
};

class TileUrlPattern : public ::testing::TestWithParam<UrlCase> {};

TEST_P(TileUrlPattern, FillsEveryField)
{
    EXPECT_EQ(TileUrl(GetParam().Pattern, {3, 4, 5}), GetParam().Url);
    EXPECT_EQ(IsTilePattern(GetParam().Pattern), GetParam().IsPattern);
}

INSTANTIATE_TEST_SUITE_P(
    Tile, TileUrlPattern,
    ::testing::Values(UrlCase{"https://tile.example/{z}/{x}/{y}.png", "https://tile.example/3/4/5.png", true},
                      UrlCase{"http://127.0.0.1:1/{z}-{y}-{x}?z={z}", "http://127.0.0.1:1/3-5-4?z=3", true},
                      UrlCase{"http://h/{z}/{x}.png", "http://h/3/4.png", false},
                      UrlCase{"{x{y}}{", "{x5}{", false}, UrlCase{"", "", false}));

TEST(TileMathScale, ScaleBarIsTheLongestRoundLengthThatFits)
{
    const struct {
        double MetresPerPixel;
        double Metres;
    } cases[] = {{1, 100}, {3, 200}, {0.7, 50}, {1000, 100000}, {0.011, 1}};
    for (const auto& c : cases) {
        const ScaleBar bar = ChooseScaleBar(c.MetresPerPixel, 100);
        EXPECT_DOUBLE_EQ(bar.Metres, c.Metres) << c.MetresPerPixel;
        EXPECT_NEAR(bar.Pixels, c.Metres / c.MetresPerPixel, 1e-9);
        EXPECT_LE(bar.Pixels, 100);
    }
    // 40075 km around the equator over the 256 pixels of zoom 0.
    EXPECT_NEAR(MetresPerPixel(0, 0), 156543.034, 1e-3);
    EXPECT_NEAR(MetresPerPixel(60, 1), 156543.034 / 4, 1e-3);
}

struct ViewTilesCase {
    const char* Name;
    double Latitude;
    double Longitude;
    int Zoom;
    int Width;
    int Height;
    std::vector<PlacedTile> Tiles;
};

class MapViewTiles : public ::testing::TestWithParam<ViewTilesCase> {};

TEST_P(MapViewTiles, CoverTheViewExactly)
{
    const ViewTilesCase& c = GetParam();
    MapView view;
    view.Resize(c.Width, c.Height);
    view.SetZoom(c.Zoom);
    view.CenterOn(c.Latitude, c.Longitude);
    EXPECT_EQ(view.VisibleTiles(), c.Tiles);
}

INSTANTIATE_TEST_SUITE_P(
    Map, MapViewTiles,
    ::testing::Values(
        ViewTilesCase{"FourMiddleTilesAtZoom2", 0, 0, 2, 512, 512,
                      {{{2, 1, 1}, 0, 0}, {{2, 2, 1}, 256, 0}, {{2, 1, 2}, 0, 256}, {{2, 2, 2}, 256, 256}}},
        ViewTilesCase{"AntimeridianJoinsTheLastColumnToTheFirst", 0, 180, 1, 512, 256,
                      {{{1, 1, 0}, 0, -128}, {{1, 0, 0}, 256, -128}, {{1, 1, 1}, 0, 128}, {{1, 0, 1}, 256, 128}}},
        ViewTilesCase{"NothingNorthOfTheLimit", MercatorLimit, 0, 1, 256, 256, {{{1, 0, 0}, -128, 128}, {{1, 1, 0}, 128, 128}}},
        ViewTilesCase{"ZoomZeroRepeatsAcrossAWideView", 0, 0, 0, 600, 256,
                      {{{0, 0, 0}, -84, 0}, {{0, 0, 0}, 172, 0}, {{0, 0, 0}, 428, 0}}}),
    [](const auto& info) { return info.param.Name; });

TEST(MapViewControl, PanZoomAndPixelsAgree)
{
    MapView view;
    view.Resize(640, 480);
    view.SetZoom(15);
    view.CenterOn(31.2304, 121.4737);
    ASSERT_TRUE(view.Follow);

    // A pixel and the place under it convert back to the same pixel.
    const GeoPosition under = view.ToGeo(100, 400);
    const ScreenPos back = view.ToScreen(under.Latitude, under.Longitude);
    EXPECT_NEAR(back.X, 100, 1e-6);
    EXPECT_NEAR(back.Y, 400, 1e-6);

    // Zooming keeps the place under the mouse where it was.
    view.ZoomAbout(100, 400, 2);
    EXPECT_EQ(view.Zoom(), 17);
    const ScreenPos still = view.ToScreen(under.Latitude, under.Longitude);
    EXPECT_NEAR(still.X, 100, 1e-6);
    EXPECT_NEAR(still.Y, 400, 1e-6);
    view.ZoomAbout(0, 0, 100);
    EXPECT_EQ(view.Zoom(), MaxMapZoom);
    EXPECT_TRUE(view.Follow);

    // Dragging moves the map with the mouse and stops following.
    const GeoPosition centre = view.Center();
    view.PanBy(30, -20);
    EXPECT_FALSE(view.Follow);
    const ScreenPos moved = view.ToScreen(centre.Latitude, centre.Longitude);
    EXPECT_NEAR(moved.X, 320 + 30, 1e-6);
    EXPECT_NEAR(moved.Y, 240 - 20, 1e-6);
}

TEST(MapViewControl, PlacesAcrossTheAntimeridianLandNearTheCentre)
{
    MapView view;
    view.Resize(400, 400);
    view.SetZoom(10);
    view.CenterOn(-16.5, 179.99);
    const ScreenPos east = view.ToScreen(-16.5, -179.99);
    EXPECT_NEAR(east.X, 200 + 0.02 / 360 * view.WorldPixels(), 1e-6);
    // A click east of the line reads as a longitude in [-180, 180).
    EXPECT_NEAR(view.ToGeo(east.X, east.Y).Longitude, -179.99, 1e-9);
}

}  // namespace
}  // namespace tolvex
