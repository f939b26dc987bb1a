#pragma once
// Text forms of latitude and longitude: the list and menu form, the panel's padded form, the
// clipboard copies, and the rounding the position dialogs show.

#include <string>

namespace tolvex {

// LatLonFormatIndex of the settings: D = "(d)dd.dddddd", DM = "(d)ddmm.mmmm", DMS = "(d)ddmmss.ss".
enum class LatLonFormat : int { D = 0, DM = 1, DMS = 2 };

// Any index outside 0..2 (a hand-edited settings file) reads as D rather than as no text at all.
LatLonFormat ToLatLonFormat(int index);

// A value split for DM and DMS: Degrees is truncated toward zero and keeps the sign,
// Minutes = |v - Degrees| * 60, WholeMinutes its truncation, Seconds = (Minutes - WholeMinutes) * 60.
struct DegreeParts {
    int Degrees = 0;
    double Minutes = 0;
    int WholeMinutes = 0;
    double Seconds = 0;
};
DegreeParts SplitDegrees(double value);

// A value as a text of the format shows it: rounded once at the shown precision (D 6 decimals of
// degrees, DM 4 of minutes, DMS 2 of seconds), with minutes or seconds that round up to 60 carried
// into the next field, and the sign of the rounded value (a value that rounds to zero is positive).
// Every coordinate text and the sentences' fields use it, so none shows 60 minutes or seconds.
struct ShownAngle {
    bool Negative = false;
    int Degrees = 0;          // |whole degrees| (DM, DMS)
    double Decimal = 0;       // D: |value| rounded to 6 decimals
    double Minutes = 0;       // DM: minutes rounded to 4 decimals
    int WholeMinutes = 0;     // DMS
    double Seconds = 0;       // DMS: seconds rounded to 2 decimals
};
ShownAngle RoundAngle(LatLonFormat format, double value);

// UTF-8 texts beginning with "纬度" / "经度".
struct LatLonText {
    std::string Latitude;
    std::string Longitude;
};

// The form of menus, dialogs and segment lists: "纬度 -33°52.1280'" (degrees, either sign).
LatLonText FormatLatLon(LatLonFormat format, double latitude, double longitude);
LatLonText FormatLatLon(int formatIndex, double latitude, double longitude);

// The panel's form: the same texts with trailing blanks that wipe a longer text drawn before
// (five after D, two after DM and DMS).
LatLonText FormatPanelLatLon(LatLonFormat format, double latitude, double longitude);
LatLonText FormatPanelLatLon(int formatIndex, double latitude, double longitude);

enum class CoordinateAxis { Latitude, Longitude };
// The three clipboard forms of the menu: "dd.dddddd", "ddmm.mmmm", "ddmmss.ss".
enum class CopyForm { Degrees, DegreesMinutes, DegreesMinutesSeconds };

// The 8-bit text a clipboard copy of the value carries ("31.230400", "-7040.1580", "311349.44").
// A value strictly between -1 and 0 keeps its "-" in front of the zero degrees in the DM and
// DMS forms, where a signed integer zero would otherwise drop it.
std::string CopyCoordinate(CoordinateAxis axis, CopyForm form, double value);

// x printed with n decimals ("%.nf") and read back: what a dialog field with n decimals holds.
// n is limited to 0..17.
double RoundToDecimals(int n, double x);

}  // namespace tolvex
