#include <algorithm>
#include <cmath>

#include "control/keyboard.h"
#include "control/operator.h"
#include "sim/engine.h"
#include "sim/geodesy.h"
#include "tracks/replay.h"

namespace tolvex {
namespace {

enum class KeyAction {
    QuickHelp, HoldShift, HoldCtrl, Stop, Pause, Run,
    TurnLeft, TurnRight, SpeedUp, SlowDown,
    Turn,       // Course += Amount, key wrap
    SetCourse,  // Course = Amount
    Jump,       // Latitude += North × JumpDistance, Longitude += East × JumpDistance
    JumpLeft, JumpRight,
    Digit,      // Ctrl: favourite Amount (0 meaning 10); otherwise speed preset
    Preset,     // the grave accent: always the first preset
    MapWindow,  // open or close the map window
};

enum class KeyCondition { None, FreeOnly, NotPaused };

struct KeyRow {
    int Key;
    KeyAction Action;
    bool FirstPressOnly;
    KeyCondition Condition;
    double Amount = 0;
    double North = 0;
    double East = 0;
};

using A = KeyAction;
using C = KeyCondition;

// The key table, one row per key code.
constexpr KeyRow KeyTable[] = {
    {VK_RETURN, A::QuickHelp, false, C::None},
    {VK_SHIFT, A::HoldShift, false, C::None},
    {VK_CONTROL, A::HoldCtrl, false, C::None},
    {VK_ESCAPE, A::Stop, true, C::None},
    {VK_SPACE, A::Pause, true, C::None},
    {VK_F2, A::Run, true, C::None},
    {VK_LEFT, A::TurnLeft, true, C::FreeOnly},
    {VK_RIGHT, A::TurnRight, true, C::FreeOnly},
    {VK_UP, A::SpeedUp, false, C::NotPaused},
    {VK_DOWN, A::SlowDown, false, C::NotPaused},
    {VkLetter('Q'), A::Turn, true, C::FreeOnly, -10},
    {VkLetter('O'), A::Turn, true, C::FreeOnly, -10},
    {VkLetter('W'), A::Turn, true, C::FreeOnly, 10},
    {VkLetter('P'), A::Turn, true, C::FreeOnly, 10},
    {VkLetter('Z'), A::Turn, true, C::FreeOnly, -45},
    {VK_OEM_COMMA, A::Turn, true, C::FreeOnly, -45},
    {VkLetter('X'), A::Turn, true, C::FreeOnly, 45},
    {VK_OEM_PERIOD, A::Turn, true, C::FreeOnly, 45},
    {VK_F5, A::SetCourse, false, C::FreeOnly, 0},
    {VK_F6, A::SetCourse, false, C::FreeOnly, 90},
    {VK_F7, A::SetCourse, false, C::FreeOnly, 180},
    {VK_F8, A::SetCourse, false, C::FreeOnly, 270},
    {VkLetter('Y'), A::Jump, false, C::FreeOnly, 0, 1, 0},
    {VkLetter('B'), A::Jump, false, C::FreeOnly, 0, -1, 0},
    {VkLetter('H'), A::Jump, false, C::FreeOnly, 0, 0, 1},
    {VkLetter('G'), A::Jump, false, C::FreeOnly, 0, 0, -1},
    {VkLetter('U'), A::Jump, false, C::FreeOnly, 0, 1, 1},
    {VkLetter('N'), A::Jump, false, C::FreeOnly, 0, -1, 1},
    {VkLetter('V'), A::Jump, false, C::FreeOnly, 0, -1, -1},
    {VkLetter('T'), A::Jump, false, C::FreeOnly, 0, 1, -1},
    {VkLetter('A'), A::JumpLeft, false, C::None},
    {VkLetter('L'), A::JumpLeft, false, C::None},
    {VkLetter('S'), A::JumpRight, false, C::None},
    {VK_OEM_1, A::JumpRight, false, C::None},
    {VkDigit(1), A::Digit, false, C::None, 1},
    {VkDigit(2), A::Digit, false, C::None, 2},
    {VkDigit(3), A::Digit, false, C::None, 3},
    {VkDigit(4), A::Digit, false, C::None, 4},
    {VkDigit(5), A::Digit, false, C::None, 5},
    {VkDigit(6), A::Digit, false, C::None, 6},
    {VkDigit(7), A::Digit, false, C::None, 7},
    {VkDigit(8), A::Digit, false, C::None, 8},
    {VkDigit(9), A::Digit, false, C::None, 9},
    {VkDigit(0), A::Digit, false, C::None, 0},
    {VK_OEM_3, A::Preset, false, C::NotPaused},
    {VkLetter('D'), A::MapWindow, true, C::None},
};

const KeyRow* FindKey(int key)
{
    for (const KeyRow& row : KeyTable)
        if (row.Key == key) return &row;
    return nullptr;
}

// Index into SpeedPresets of a digit: ` is 0, 1..9 are 1..9, 0 is 10.
int PresetIndexOfDigit(int digit) { return digit == 0 ? 10 : digit; }

}  // namespace

bool Operator::HandleKeyDown(int virtualKey, bool repeat)
{
    const KeyRow* row = FindKey(virtualKey);
    if (!row) return false;

    const TrackMode mode = Mode();
    const bool paused = m_engine.State == RunState::Paused;
    const bool conditionHolds = row->Condition == KeyCondition::None ||
                                (row->Condition == KeyCondition::FreeOnly && mode == TrackMode::Free) ||
                                (row->Condition == KeyCondition::NotPaused && !paused);
    if ((row->FirstPressOnly && repeat) || !conditionHolds) {
        Refresh();
        return true;
    }

    SimFix& fix = m_engine.Fix;
    switch (row->Action) {
    case KeyAction::QuickHelp:
        if (ShowQuickHelp() && QuickHelpOpened) QuickHelpOpened();
        break;
    case KeyAction::MapWindow:
        ToggleMapWindow();
        if (MapWindowToggled) MapWindowToggled();
        break;
    case KeyAction::HoldShift:
        m_engine.HeldKeys |= ShiftHeld;
        break;
    case KeyAction::HoldCtrl:
        m_engine.HeldKeys |= CtrlHeld;
        break;
    case KeyAction::Stop:
        m_engine.StopCommand();
        break;
    case KeyAction::Pause:
        m_engine.PauseCommand();
        break;
    case KeyAction::Run:
        m_engine.RunCommand();
        break;
    case KeyAction::TurnLeft:
        fix.Course = WrapCourseKey(fix.Course - m_engine.Options.KeySensitivity1);
        m_engine.LeftTurnTicks = 0;
        m_engine.HeldKeys |= TurnLeftHeld;
        break;
    case KeyAction::TurnRight:
        fix.Course = WrapCourseKey(fix.Course + m_engine.Options.KeySensitivity1);
        m_engine.RightTurnTicks = 0;
        m_engine.HeldKeys |= TurnRightHeld;
        break;
    case KeyAction::SpeedUp:
        SpeedUp();
        break;
    case KeyAction::SlowDown:
        SlowDown();
        break;
    case KeyAction::Turn:
        fix.Course = WrapCourseKey(fix.Course + row->Amount);
        break;
    case KeyAction::SetCourse:
        fix.Course = row->Amount;
        break;
    case KeyAction::Jump:
        JumpBy(row->North * JumpDistance(), row->East * JumpDistance());
        break;
    case KeyAction::JumpLeft:
        JumpSideways(-1);
        break;
    case KeyAction::JumpRight:
        JumpSideways(1);
        break;
    case KeyAction::Digit: {
        const int digit = static_cast<int>(row->Amount);
        if (m_engine.HeldKeys & CtrlHeld)
            JumpToFavorite(digit == 0 ? 10 : digit);
        else if (!paused)
            SetPreset(PresetIndexOfDigit(digit));
        break;
    }
    case KeyAction::Preset:
        SetPreset(0);
        break;
    }
    Refresh();
    return true;
}

bool Operator::HandleKeyUp(int virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT: m_engine.HeldKeys &= ~ShiftHeld; break;
    case VK_CONTROL: m_engine.HeldKeys &= ~CtrlHeld; break;
    case VK_LEFT: m_engine.HeldKeys &= ~TurnLeftHeld; break;
    case VK_RIGHT: m_engine.HeldKeys &= ~TurnRightHeld; break;
    default: break;
    }
    return false;
}

void Operator::SetRatio(double ratio)
{
    if (!m_replay) return;
    m_replay->SetSpeedRatio(ratio);
    m_engine.Fix.Speed = m_replay->TrackSpeed() * ratio;
}

void Operator::ChangeOffset(double metres)
{
    if (!m_replay) return;
    m_replay->SetLateralOffset(std::clamp(m_replay->LateralOffset() + metres, -MaxLateralOffset, MaxLateralOffset));
}

void Operator::SpeedUp()
{
    switch (Mode()) {
    case TrackMode::Free:
    case TrackMode::M: m_engine.Fix.Speed = SpeedUpKey(m_engine.Fix.Speed); break;
    case TrackMode::S: SetRatio(RatioUpKey(m_replay->SpeedRatio())); break;
    case TrackMode::P: break;
    }
}

void Operator::SlowDown()
{
    switch (Mode()) {
    case TrackMode::Free:
    case TrackMode::M: m_engine.Fix.Speed = SlowDownKey(m_engine.Fix.Speed); break;
    case TrackMode::S: SetRatio(RatioDownKey(m_replay->SpeedRatio())); break;
    case TrackMode::P: break;
    }
}

void Operator::SetPreset(int index)
{
    const SpeedPreset& preset = SpeedPresets[index];
    switch (Mode()) {
    case TrackMode::Free:
    case TrackMode::M: m_engine.Fix.Speed = preset.Speed; break;
    case TrackMode::S: SetRatio(preset.Ratio); break;
    case TrackMode::P: break;
    }
}

void Operator::JumpBy(double northDegrees, double eastDegrees)
{
    SimFix& fix = m_engine.Fix;
    fix.Latitude = ClampLatitude(fix.Latitude + northDegrees);
    fix.Longitude = WrapLongitude(fix.Longitude + eastDegrees);
}

// sign -1 is left of the course, +1 right.
void Operator::JumpSideways(double sign)
{
    const double distance = JumpDistance();
    if (Mode() != TrackMode::Free) {
        ChangeOffset(sign * distance * MetresPerJumpDegree);
        return;
    }
    const double c = m_engine.Fix.Course * DegToRad;
    JumpBy(-sign * std::sin(c) * distance, sign * std::cos(c) * distance);
}

}  // namespace tolvex
