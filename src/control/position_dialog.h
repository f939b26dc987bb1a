#pragma once
// The three current-position dialogs as data: the values shown when one opens, the enabled fields,
// the ranges "确定" checks, and turning the fields back into a position.

#include <optional>
#include <string>

#include "sim/lat_lon_format.h"
#include "sim/sim_fix.h"

namespace tolvex {

// One latitude or longitude as the dialog of a format holds it.
struct AngleFields {
    double SignedDegrees = 0;  // CCurrentD: signed degrees, 6 decimals shown
    int Degrees = 0;           // CCurrentDM, CCurrentDMS: whole degrees
    double Minutes = 0;        // CCurrentDM: minutes, 4 decimals shown
    int WholeMinutes = 0;      // CCurrentDMS: whole minutes
    double Seconds = 0;        // CCurrentDMS: seconds, 2 decimals shown
    bool Negative = false;     // the "南" / "西" radio (DM and DMS)
};

struct PositionForm {
    LatLonFormat Format = LatLonFormat::D;
    AngleFields Latitude;
    AngleFields Longitude;
    double Altitude = 0;  // "高度(米)"
    double Course = 0;    // "方位角(度)"
    double SpeedKmh = 0;  // "速度(千米/小时)"
    bool AltitudeEnabled = true;
    bool CourseEnabled = true;
    bool SpeedEnabled = true;
};

// Template number, title and the labels of one dialog.
struct PositionDialogLook {
    int Template;
    const char* Title;
    const char* LatitudeLabel;
    const char* LongitudeLabel;
};
PositionDialogLook PositionDialogOf(LatLonFormat format);

// The field that failed its range check on "确定", with its range.
struct FieldRangeError {
    std::string Field;  // the field's label ("纬度", "方位角(度)", ...)
    double Min = 0;
    double Max = 0;
};

// The form shown for a pose: values split and rounded as the dialog of the format shows them;
// speedMps is what the speed field shows (SavedSpeed while paused).
PositionForm FillPositionForm(LatLonFormat format, const SimFix& fix, double speedMps, TrackMode mode);

// The first field out of its range, in the dialog's order; nothing when all pass.
std::optional<FieldRangeError> CheckPositionForm(const PositionForm& form);

// Degrees from the fields (minutes and seconds added, the radio's sign), limited to ±limit.
double AngleFromFields(LatLonFormat format, const AngleFields& fields, double limit);

}  // namespace tolvex
