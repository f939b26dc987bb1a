#pragma once
// Field-by-field comparison of settings and fixes, with the field named in each failure.

#include <gtest/gtest.h>

#include "config/settings.h"
#include "sim/sim_fix.h"

namespace tolvex {

inline void ExpectSameFix(const SimFix& a, const SimFix& b)
{
    EXPECT_EQ(a.Latitude, b.Latitude);
    EXPECT_EQ(a.Longitude, b.Longitude);
    EXPECT_EQ(a.Altitude, b.Altitude);
    EXPECT_EQ(a.Course, b.Course);
    EXPECT_EQ(a.Speed, b.Speed);
}

inline void ExpectSameSettings(const Settings& a, const Settings& b)
{
    EXPECT_EQ(a.AlwaysOnTop, b.AlwaysOnTop);
    EXPECT_EQ(a.BackColor, b.BackColor);
    EXPECT_EQ(a.Text1Color, b.Text1Color);
    EXPECT_EQ(a.Text2Color, b.Text2Color);
    EXPECT_EQ(a.Text3Color, b.Text3Color);
    EXPECT_EQ(a.FontFaceName, b.FontFaceName);
    for (int n = 0; n < OutputCount; ++n) {
        SCOPED_TRACE("output " + std::to_string(n));
        const OutputSettings& x = a.Outputs[n];
        const OutputSettings& y = b.Outputs[n];
        EXPECT_EQ(x.Active, y.Active);
        EXPECT_EQ(x.Interval, y.Interval);
        EXPECT_EQ(x.Send, y.Send);
        EXPECT_EQ(x.NoNMEA, y.NoNMEA);
        EXPECT_EQ(x.Virtual, y.Virtual);
        EXPECT_EQ(x.Port, y.Port);
        EXPECT_EQ(x.BaudRateIndex, y.BaudRateIndex);
        EXPECT_EQ(x.ParityIndex, y.ParityIndex);
        EXPECT_EQ(x.StopBitsIndex, y.StopBitsIndex);
        EXPECT_EQ(x.Device, y.Device);
        EXPECT_EQ(x.Net, y.Net);
    }
    EXPECT_EQ(a.GPSUpperSpeed, b.GPSUpperSpeed);
    EXPECT_EQ(a.GPSLowerSpeed, b.GPSLowerSpeed);
    EXPECT_EQ(a.GPSTimeOffset, b.GPSTimeOffset);
    EXPECT_EQ(a.GPSTimeFactor, b.GPSTimeFactor);
    EXPECT_EQ(a.StepIndex, b.StepIndex);
    EXPECT_EQ(a.Step, b.Step);
    EXPECT_EQ(a.LatLonFormatIndex, b.LatLonFormatIndex);
    EXPECT_EQ(a.KeySensitivity1, b.KeySensitivity1);
    EXPECT_EQ(a.KeySensitivity2, b.KeySensitivity2);
    EXPECT_EQ(a.KeySensitivity3, b.KeySensitivity3);
    EXPECT_EQ(a.WheelSensitivity, b.WheelSensitivity);
    EXPECT_EQ(a.MinTrackPoints, b.MinTrackPoints);
    EXPECT_EQ(a.MinTrackLength, b.MinTrackLength);
    EXPECT_EQ(a.LastTrackMode, b.LastTrackMode);
    EXPECT_EQ(a.Sky.Enabled, b.Sky.Enabled);
    EXPECT_EQ(a.Sky.Systems, b.Sky.Systems);
    EXPECT_EQ(a.Sky.AlmanacFile, b.Sky.AlmanacFile);
    EXPECT_EQ(a.Sky.MaskDeg, b.Sky.MaskDeg);
    EXPECT_EQ(a.Sky.Uere, b.Sky.Uere);
    EXPECT_EQ(a.Sky.CorrelationTime, b.Sky.CorrelationTime);
    EXPECT_EQ(a.Sky.Seed, b.Sky.Seed);
    for (int n = 0; n < FavoriteCount; ++n) {
        SCOPED_TRACE("favourite " + std::to_string(n + 1));
        EXPECT_EQ(a.Favorites[n].Name, b.Favorites[n].Name);
        EXPECT_EQ(a.Favorites[n].Latitude, b.Favorites[n].Latitude);
        EXPECT_EQ(a.Favorites[n].Longitude, b.Favorites[n].Longitude);
        EXPECT_EQ(a.Favorites[n].Altitude, b.Favorites[n].Altitude);
        EXPECT_EQ(a.Favorites[n].Course, b.Favorites[n].Course);
    }
    EXPECT_EQ(a.TimerWaits, b.TimerWaits);
    EXPECT_EQ(a.ChangeWaits, b.ChangeWaits);
    EXPECT_EQ(a.VirtualPortDir, b.VirtualPortDir);
    EXPECT_EQ(a.VirtualPortGroup, b.VirtualPortGroup);
    EXPECT_EQ(a.OziApiLibrary, b.OziApiLibrary);
    EXPECT_EQ(a.MapTileUrl, b.MapTileUrl);
    EXPECT_EQ(a.MapTileFile, b.MapTileFile);
    EXPECT_EQ(a.Language, b.Language);
    EXPECT_EQ(a.MapWindowOpen, b.MapWindowOpen);
}

}  // namespace tolvex
