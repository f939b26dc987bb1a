#pragma once
// The options sheet without its window: the pages' values, their range checks, what leaving a
// page and OK store into the live settings, what Cancel puts back, and the pages' enabling rules.

#include <array>
#include <optional>
#include <string>

#include "config/settings.h"
#include "sim/texts.h"

namespace tolvex {

// Tab order of the pages.
inline constexpr int OptionsPageCount = 8;
namespace OptionsPage {
inline constexpr int Output1 = 0;
inline constexpr int Output2 = 1;
inline constexpr int Output3 = 2;
inline constexpr int Output0 = 3;
inline constexpr int Gps = 4;
inline constexpr int Misc = 5;
inline constexpr int Track = 6;
inline constexpr int Sky = 7;
}  // namespace OptionsPage

// "输出1", "输出2", "输出3", "输出0(Ozi)", "GPS", "杂项", "航迹", "卫星"; null outside 0..7.
const char* OptionsTabText(int page);
// The page of output 0..3 (3 for output 0, 0..2 for outputs 1..3); -1 for any other number.
int OptionsPageOfOutput(int output);
// The output a page edits; -1 for the pages that edit none.
int OutputOfOptionsPage(int page);

// The step list of the miscellaneous page: its text and the jump-key step in degrees.
struct StepRow {
    const char* Text;
    double Degrees;
};
inline constexpr StepRow StepTable[] = {
    {Texts::Mark("0.000001 度"), 0.000001}, {Texts::Mark("0.00001 度"), 0.00001}, {Texts::Mark("0.0001 度"), 0.0001},  {Texts::Mark("0.001度"), 0.001},
    {Texts::Mark("0.0001分"), 0.0001 / 60}, {Texts::Mark("0.001分"), 0.001 / 60}, {Texts::Mark("0.01分"), 0.01 / 60},   {Texts::Mark("0.1分"), 0.1 / 60},
    {Texts::Mark("0.01秒"), 0.01 / 3600},   {Texts::Mark("0.1秒"), 0.1 / 3600},   {Texts::Mark("1秒"), 1.0 / 3600},     {Texts::Mark("10秒"), 10.0 / 3600},
};
inline constexpr int StepCount = static_cast<int>(std::size(StepTable));

// What the pages' controls hold: the settings, except the GPS limits which the page shows in km/h.
struct OptionsForm {
    std::array<OutputSettings, OutputCount> Outputs{};
    double UpperSpeedKmh = 0;
    double LowerSpeedKmh = 0;
    double GPSTimeOffset = 0;
    double GPSTimeFactor = 1;
    int LatLonFormatIndex = 0;
    int StepIndex = 1;
    double KeySensitivity1 = 1;
    double KeySensitivity2 = 2;
    double KeySensitivity3 = 5;
    double WheelSensitivity = 5;
    int MinTrackPoints = 2;
    double MinTrackLength = 0;
    SkySettings Sky;
};
OptionsForm OptionsFormOf(const Settings& settings);

// A value the page refuses, with the range the message names.
struct OptionsRangeError {
    int Page = 0;
    std::string Field;
    double Min = 0;
    double Max = 0;
    bool Integer = false;
};
std::optional<OptionsRangeError> CheckOptionsPage(const OptionsForm& form, int page);
// Every page in tab order; the first refusal.
std::optional<OptionsRangeError> CheckOptionsForm(const OptionsForm& form);

// (ms + 10) div 20 × 20: the nearest multiple of the 20 ms tick, halves rounding up.
int RoundInterval(int ms);

// A page left for another tab: its values become the live settings (the GPS limits wait for OK,
// as the page keeps them in km/h). Call only after CheckOptionsPage passed.
void StoreOptionsPage(const OptionsForm& form, int page, Settings& settings);
// OK: every page stored, the limits to m/s, intervals to the tick, the step from the table
// (an index outside it becomes 1). Call only after CheckOptionsForm passed.
void ApplyOptionsOk(const OptionsForm& form, Settings& settings);
// Cancel: the fields the sheet edits return to what saved held when it opened.
void RestoreOptions(const Settings& saved, Settings& settings);

// Enabling of an output page (outputs 1..3) at its initialisation and after a click on "启用".
struct OutputPageLook {
    bool ActiveBox = true;         // "启用"
    bool PortFields = true;        // "虚拟串口", port, baud rate, parity, stop bits
    bool IntervalAndSentences = true;
    std::string Status;            // "运行中,对方已打开" / "运行中,对方未打开" or empty
};
// running: the output has an open port; peerOpen is read only for a running virtual port.
OutputPageLook OutputPageLookOf(bool active, bool running, bool isVirtual, bool peerOpen);

// Enabling of the output-0 page at its initialisation (a click on "启用" switches "不输出NMEA"
// with the interval and the sentences).
struct OziPageLook {
    bool ActiveBox = true;
    bool NoNmeaBox = true;
    bool IntervalAndSentences = true;
    std::string Status;  // "运行中(经Ozi API)" while the link is up
};
OziPageLook OziPageLookOf(bool active, bool linkUp);

}  // namespace tolvex
