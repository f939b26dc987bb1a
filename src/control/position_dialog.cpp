#include "control/position_dialog.h"

#include <algorithm>
#include <cmath>

#include "control/operator.h"
#include "sim/engine.h"
#include "tracks/replay.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr PositionDialogLook DialogLooks[] = {
    {129, Texts::Mark("当前位置"), Texts::Mark("纬度(度)"), Texts::Mark("经度(度)")},
    {130, Texts::Mark("当前位置"), Texts::Mark("纬度"), Texts::Mark("经度")},
    {135, Texts::Mark("当前位置"), Texts::Mark("纬度"), Texts::Mark("经度")},
};

// The framework's range checks, in the order the dialog exchanges its fields.
struct RangeRow {
    const char* Label;
    double Min;
    double Max;
};
constexpr RangeRow AltitudeRange = {Texts::Mark("高度(米)"), -MaxAltitude, MaxAltitude};
constexpr RangeRow CourseRange = {Texts::Mark("方位角(度)"), 0, 360};
constexpr RangeRow SpeedRange = {Texts::Mark("速度(千米/小时)"), 0, 99999};

bool Outside(double value, double min, double max) { return !(value >= min && value <= max); }

AngleFields Split(LatLonFormat format, double value)
{
    AngleFields fields;
    const ShownAngle shown = RoundAngle(format, value);
    fields.Negative = shown.Negative;
    fields.SignedDegrees = shown.Negative ? -shown.Decimal : shown.Decimal;
    fields.Degrees = shown.Degrees;
    fields.Minutes = shown.Minutes;
    fields.WholeMinutes = shown.WholeMinutes;
    fields.Seconds = shown.Seconds;
    return fields;
}

// The first field of one angle out of range; limit is 90 or 180.
std::optional<FieldRangeError> CheckAngle(LatLonFormat format, const AngleFields& f, double limit,
                                          const char* label)
{
    const std::string name = Texts::tr(label);
    switch (format) {
    case LatLonFormat::D:
        if (Outside(f.SignedDegrees, -limit, limit)) return FieldRangeError{name, -limit, limit};
        break;
    case LatLonFormat::DM:
        if (Outside(f.Degrees, 0, limit)) return FieldRangeError{name, 0, limit};
        if (Outside(f.Minutes, 0, 60)) return FieldRangeError{name, 0, 60};
        break;
    case LatLonFormat::DMS:
        if (Outside(f.Degrees, 0, limit)) return FieldRangeError{name, 0, limit};
        if (Outside(f.WholeMinutes, 0, 59)) return FieldRangeError{name, 0, 59};
        if (Outside(f.Seconds, 0, 60)) return FieldRangeError{name, 0, 60};
        break;
    }
    return std::nullopt;
}

}  // namespace

PositionDialogLook PositionDialogOf(LatLonFormat format) { return DialogLooks[static_cast<int>(format)]; }

PositionForm FillPositionForm(LatLonFormat format, const SimFix& fix, double speedMps, TrackMode mode)
{
    PositionForm form;
    form.Format = format;
    form.Latitude = Split(format, fix.Latitude);
    form.Longitude = Split(format, fix.Longitude);
    form.Altitude = RoundToDecimals(2, fix.Altitude);
    form.Course = RoundToDecimals(4, fix.Course);
    form.SpeedKmh = RoundToDecimals(2, speedMps * KmhPerMps);
    form.AltitudeEnabled = form.CourseEnabled = mode == TrackMode::Free;
    form.SpeedEnabled = mode == TrackMode::Free || mode == TrackMode::M;
    return form;
}

std::optional<FieldRangeError> CheckPositionForm(const PositionForm& form)
{
    const PositionDialogLook look = PositionDialogOf(form.Format);
    if (auto e = CheckAngle(form.Format, form.Latitude, 90, look.LatitudeLabel)) return e;
    if (auto e = CheckAngle(form.Format, form.Longitude, 180, look.LongitudeLabel)) return e;
    for (const auto& [value, range] : {std::pair{form.Altitude, AltitudeRange}, std::pair{form.Course, CourseRange},
                                       std::pair{form.SpeedKmh, SpeedRange}})
        if (Outside(value, range.Min, range.Max)) return FieldRangeError{Texts::tr(range.Label), range.Min, range.Max};
    return std::nullopt;
}

double AngleFromFields(LatLonFormat format, const AngleFields& fields, double limit)
{
    double value = 0;
    switch (format) {
    case LatLonFormat::D:
        value = fields.SignedDegrees;
        break;
    case LatLonFormat::DM:
        value = fields.Degrees + fields.Minutes / 60;
        break;
    case LatLonFormat::DMS:
        value = fields.Degrees + fields.WholeMinutes / 60.0 + fields.Seconds / 3600;
        break;
    }
    if (format != LatLonFormat::D && fields.Negative) value = -value;
    return std::clamp(value, -limit, limit);
}

PositionForm Operator::OpenPositionDialog(LatLonFormat format)
{
    if (m_engine.State == RunState::Running && m_replay) m_replay->SetTrackBusy(true);
    const double speed = m_engine.State == RunState::Paused ? m_engine.SavedSpeed : m_engine.Fix.Speed;
    return FillPositionForm(format, m_engine.Fix, speed, Mode());
}

std::optional<FieldRangeError> Operator::ConfirmPositionDialog(const PositionForm& form)
{
    if (auto error = CheckPositionForm(form)) return error;
    const double latitude = AngleFromFields(form.Format, form.Latitude, 90);
    const double longitude = AngleFromFields(form.Format, form.Longitude, 180);
    const TrackMode mode = Mode();
    SimFix& fix = m_engine.Fix;
    if (mode == TrackMode::Free) {
        fix.Latitude = latitude;
        fix.Longitude = longitude;
        fix.Altitude = form.Altitude;
        fix.Course = form.Course;
    }
    // The replay is released before it is moved, so the snap is not held back by the dialog's own hold.
    if (m_replay) m_replay->SetTrackBusy(false);
    if (mode != TrackMode::Free && TrackLoaded()) m_replay->SnapToTrack(latitude, longitude);
    if (mode == TrackMode::Free || mode == TrackMode::M) {
        const double speed = form.SpeedKmh / KmhPerMps;
        if (m_engine.State == RunState::Paused)
            m_engine.SavedSpeed = speed;
        else
            fix.Speed = speed;
    }
    Refresh();
    return std::nullopt;
}

void Operator::CancelPositionDialog()
{
    if (m_replay) m_replay->SetTrackBusy(false);
    Refresh();
}

}  // namespace tolvex
