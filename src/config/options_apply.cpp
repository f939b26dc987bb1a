#include "config/options_apply.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr const char* TabTexts[OptionsPageCount] = {Texts::Mark("输出1"), Texts::Mark("输出2"), Texts::Mark("输出3"), Texts::Mark("输出0(Ozi)"), "GPS", Texts::Mark("杂项"), Texts::Mark("航迹"), Texts::Mark("卫星")};

// One range check of a page.
struct RangeRow {
    int Page;
    const char* Field;
    double Min, Max;
    bool Integer;
    double (*Read)(const OptionsForm&);
};

template <int Output>
double IntervalOf(const OptionsForm& f)
{
    return f.Outputs[Output].Interval;
}

constexpr RangeRow RangeTable[] = {
    {OptionsPage::Output1, Texts::Mark("输出1 间隔(毫秒)"), 100, 60000, true, IntervalOf<1>},
    {OptionsPage::Output2, Texts::Mark("输出2 间隔(毫秒)"), 100, 60000, true, IntervalOf<2>},
    {OptionsPage::Output3, Texts::Mark("输出3 间隔(毫秒)"), 100, 60000, true, IntervalOf<3>},
    {OptionsPage::Output0, Texts::Mark("输出0 间隔(毫秒)"), 100, 60000, true, IntervalOf<0>},
    {OptionsPage::Gps, Texts::Mark("上限"), 0, 99999, false, [](const OptionsForm& f) { return f.UpperSpeedKmh; }},
    {OptionsPage::Gps, Texts::Mark("下限"), 0, 99999, false, [](const OptionsForm& f) { return f.LowerSpeedKmh; }},
    {OptionsPage::Gps, Texts::Mark("时间缩放因子"), 0, 86400, false, [](const OptionsForm& f) { return f.GPSTimeFactor; }},
    {OptionsPage::Misc, Texts::Mark("按一下"), 0.01, 10, false, [](const OptionsForm& f) { return f.KeySensitivity1; }},
    {OptionsPage::Misc, Texts::Mark("短时间按住"), 0, 10, false, [](const OptionsForm& f) { return f.KeySensitivity2; }},
    {OptionsPage::Misc, Texts::Mark("长时间按住"), 0, 10, false, [](const OptionsForm& f) { return f.KeySensitivity3; }},
    {OptionsPage::Misc, Texts::Mark("鼠标滚轮灵敏度"), -90, 90, false, [](const OptionsForm& f) { return f.WheelSensitivity; }},
    {OptionsPage::Track, Texts::Mark("航迹段最少点数"), 2, 9999, true,
     [](const OptionsForm& f) { return static_cast<double>(f.MinTrackPoints); }},
    {OptionsPage::Track, Texts::Mark("航迹段最短长度（米）"), 0, 999999.99, false,
     [](const OptionsForm& f) { return f.MinTrackLength; }},
    {OptionsPage::Sky, Texts::Mark("截止高度角（度）"), 0, 90, false, [](const OptionsForm& f) { return f.Sky.MaskDeg; }},
    {OptionsPage::Sky, Texts::Mark("用户等效距离误差（米）"), 0, 1000, false, [](const OptionsForm& f) { return f.Sky.Uere; }},
    {OptionsPage::Sky, Texts::Mark("噪声相关时间（秒）"), 1, 86400, false, [](const OptionsForm& f) { return f.Sky.CorrelationTime; }},
};

}  // namespace

const char* OptionsTabText(int page) { return page >= 0 && page < OptionsPageCount ? TabTexts[page] : nullptr; }

int OptionsPageOfOutput(int output)
{
    if (output == 0) return OptionsPage::Output0;
    if (output >= 1 && output <= 3) return output - 1;
    return -1;
}

int OutputOfOptionsPage(int page)
{
    if (page == OptionsPage::Output0) return 0;
    if (page >= OptionsPage::Output1 && page <= OptionsPage::Output3) return page + 1;
    return -1;
}

OptionsForm OptionsFormOf(const Settings& s)
{
    OptionsForm f;
    f.Outputs = s.Outputs;
    f.UpperSpeedKmh = s.GPSUpperSpeed * KmhPerMps;
    f.LowerSpeedKmh = s.GPSLowerSpeed * KmhPerMps;
    f.GPSTimeOffset = s.GPSTimeOffset;
    f.GPSTimeFactor = s.GPSTimeFactor;
    f.LatLonFormatIndex = s.LatLonFormatIndex;
    f.StepIndex = s.StepIndex;
    f.KeySensitivity1 = s.KeySensitivity1;
    f.KeySensitivity2 = s.KeySensitivity2;
    f.KeySensitivity3 = s.KeySensitivity3;
    f.WheelSensitivity = s.WheelSensitivity;
    f.MinTrackPoints = s.MinTrackPoints;
    f.MinTrackLength = s.MinTrackLength;
    f.Sky = s.Sky;
    return f;
}

std::optional<OptionsRangeError> CheckOptionsPage(const OptionsForm& form, int page)
{
    for (const RangeRow& row : RangeTable) {
        if (row.Page != page) continue;
        const double value = row.Read(form);
        // Written so that NaN fails too.
        if (!(value >= row.Min && value <= row.Max))
            return OptionsRangeError{row.Page, Texts::tr(row.Field), row.Min, row.Max, row.Integer};
    }
    return std::nullopt;
}

std::optional<OptionsRangeError> CheckOptionsForm(const OptionsForm& form)
{
    for (int page = 0; page < OptionsPageCount; ++page)
        if (auto error = CheckOptionsPage(form, page)) return error;
    return std::nullopt;
}

int RoundInterval(int ms) { return (ms + 10) / 20 * 20; }

void StoreOptionsPage(const OptionsForm& form, int page, Settings& s)
{
    if (const int output = OutputOfOptionsPage(page); output >= 0) {
        s.Outputs[output] = form.Outputs[output];
        s.Outputs[output].Interval = RoundInterval(form.Outputs[output].Interval);
        return;
    }
    switch (page) {
    case OptionsPage::Gps:
        s.GPSTimeOffset = form.GPSTimeOffset;
        s.GPSTimeFactor = form.GPSTimeFactor;
        break;
    case OptionsPage::Misc:
        s.LatLonFormatIndex = form.LatLonFormatIndex;
        s.StepIndex = form.StepIndex;
        s.KeySensitivity1 = form.KeySensitivity1;
        s.KeySensitivity2 = form.KeySensitivity2;
        s.KeySensitivity3 = form.KeySensitivity3;
        s.WheelSensitivity = form.WheelSensitivity;
        break;
    case OptionsPage::Track:
        s.MinTrackPoints = form.MinTrackPoints;
        s.MinTrackLength = form.MinTrackLength;
        break;
    case OptionsPage::Sky:
        s.Sky = form.Sky;
        break;
    default: break;
    }
}

void ApplyOptionsOk(const OptionsForm& form, Settings& s)
{
    for (int page = 0; page < OptionsPageCount; ++page) StoreOptionsPage(form, page, s);
    // A limit left as shown keeps its m/s value: the trip through km/h is not always exact.
    if (form.UpperSpeedKmh != s.GPSUpperSpeed * KmhPerMps) s.GPSUpperSpeed = form.UpperSpeedKmh / KmhPerMps;
    if (form.LowerSpeedKmh != s.GPSLowerSpeed * KmhPerMps) s.GPSLowerSpeed = form.LowerSpeedKmh / KmhPerMps;
    if (s.StepIndex < 0 || s.StepIndex >= StepCount) s.StepIndex = 1;
    s.Step = StepTable[s.StepIndex].Degrees;
}

void RestoreOptions(const Settings& saved, Settings& s)
{
    s.Outputs = saved.Outputs;
    s.GPSUpperSpeed = saved.GPSUpperSpeed;
    s.GPSLowerSpeed = saved.GPSLowerSpeed;
    s.GPSTimeOffset = saved.GPSTimeOffset;
    s.GPSTimeFactor = saved.GPSTimeFactor;
    s.LatLonFormatIndex = saved.LatLonFormatIndex;
    s.StepIndex = saved.StepIndex;
    s.Step = saved.Step;
    s.KeySensitivity1 = saved.KeySensitivity1;
    s.KeySensitivity2 = saved.KeySensitivity2;
    s.KeySensitivity3 = saved.KeySensitivity3;
    s.WheelSensitivity = saved.WheelSensitivity;
    s.MinTrackPoints = saved.MinTrackPoints;
    s.MinTrackLength = saved.MinTrackLength;
    s.Sky = saved.Sky;
}

OutputPageLook OutputPageLookOf(bool active, bool running, bool isVirtual, bool peerOpen)
{
    OutputPageLook look;
    if (running || !active) {
        look.PortFields = false;
        if (running) {
            look.ActiveBox = false;
            if (isVirtual) look.Status = peerOpen ? Texts::tr("运行中,对方已打开") : Texts::tr("运行中,对方未打开");
        }
    }
    if (!active) look.IntervalAndSentences = false;
    return look;
}

OziPageLook OziPageLookOf(bool active, bool linkUp)
{
    OziPageLook look;
    if (linkUp) {
        look.ActiveBox = false;
        look.Status = Texts::tr("运行中(经Ozi API)");
    }
    // "不输出NMEA" stays usable: the link is also kept for the map clicks alone.
    if (!active) look.IntervalAndSentences = false;
    return look;
}

}  // namespace tolvex
