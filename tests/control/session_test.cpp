// A whole session at the panel without a window: keys, wheel and menu drive the simulator and the
// panel model shows what the window would draw.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "control/keyboard.h"
#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::FakePort;
using testing_fakes::Session;

std::string TextAt(const PanelFrame& frame, int x, int y)
{
    const PanelText* text = frame.TextAt(x, y);
    return text ? text->Text : "<none>";
}

void Ticks(Session& s, int n)
{
    for (int i = 0; i < n; ++i) s.engine.TimerTick();
}

TEST(SessionTest, FreeDrivingThenReplayFromThePanelAlone)
{
    Session s;
    s.engine.Fix = SimFix{31.2304, 121.4737, 4, 0, 0};

    // Run: output 1 (virtual COM3) opens and waits for a reader.
    s.op.HandleKeyDown(VK_F2, false);
    PanelFrame frame = s.op.RefreshPanel(2);
    EXPECT_EQ(TextAt(frame, 46, 70), "运行 ");
    EXPECT_EQ(frame.Outputs[1].Indicator, OutputIndicator::Waiting);

    // 50 km/h due east for one second.
    s.op.HandleKeyDown(VkDigit(5), false);
    s.op.HandleKeyDown(VK_F6, false);
    Ticks(s, 50);
    const double metresPerDegree = 111319.49 * std::cos(31.2304 * 0.017453292519943295);
    EXPECT_NEAR((s.engine.Fix.Longitude - 121.4737) * metresPerDegree, 50 / 3.6, 0.05);
    EXPECT_NEAR(s.engine.Fix.Latitude, 31.2304, 1e-9);
    auto* port = static_cast<FakePort*>(s.engine.Outputs[1].OpenPort.get());
    ASSERT_NE(port, nullptr);
    EXPECT_NE(port->Written.find("$GPRMC"), std::string::npos);

    frame = s.op.RefreshPanel(1);
    EXPECT_EQ(TextAt(frame, 4, 24), "速度    50.0 Km/h     ");
    EXPECT_EQ(TextAt(frame, 176, 44), "方位角  90.00°    ");

    // A reader opens the port: the next refresh redraws the table on its own.
    s.ports.PeerOpen[3] = true;
    frame = s.op.RefreshPanel(1);
    EXPECT_TRUE(frame.FullRedraw);
    EXPECT_EQ(frame.Outputs[1].Indicator, OutputIndicator::Sending);

    // Steer with the wheel and the held arrow key.
    s.op.HandleMouseWheel(-120, 20, 100);  // plain wheel: 5 degrees left
    EXPECT_EQ(s.engine.Fix.Course, 85);
    s.op.HandleKeyDown(VK_LEFT, false);
    Ticks(s, 11);
    s.op.HandleKeyUp(VK_LEFT);
    EXPECT_EQ(s.engine.Fix.Course, 82);  // 1 for the press, 2 on the eleventh tick

    // Left button and wheel: faster.
    s.op.LeftButtonPressed();
    s.op.HandleMouseWheel(120, 100, 100);
    s.op.LeftButtonReleased();
    EXPECT_NEAR(s.engine.Fix.Speed, 50 / 3.6 * (1 + 120 / 1440.0), 1e-12);

    // Pause: nothing moves, the panel reports 0 to the receiver side.
    s.op.HandleKeyDown(VK_SPACE, false);
    const SimFix paused = s.engine.Fix;
    Ticks(s, 100);
    EXPECT_EQ(s.engine.Fix.Longitude, paused.Longitude);
    frame = s.op.RefreshPanel(2);
    EXPECT_EQ(TextAt(frame, 46, 70), "暂停 ");
    EXPECT_EQ(TextAt(frame, 4, 44), "GPS速度     0.0 Km/h     ");

    // Ctrl+1 while paused: the favourite pose.
    s.engine.Options.Favorites[0] = FavoritePoint{"起点", -0.5, -122.419, 12, 180};
    s.op.HandleKeyDown(VK_CONTROL, false);
    s.op.HandleKeyDown(VkDigit(1), false);
    s.op.HandleKeyUp(VK_CONTROL);
    s.engine.Options.LatLonFormatIndex = 1;
    frame = s.op.RefreshPanel(1);
    EXPECT_EQ(TextAt(frame, 4, 4), "纬度 -00°30.0000'  ");
    EXPECT_EQ(TextAt(frame, 176, 4), "经度 -122°25.1400'  ");
    s.op.HandleKeyDown(VK_SPACE, false);
    EXPECT_EQ(s.engine.State, RunState::Running);

    // A track: replay in S, ratio by key and wheel, points by the wheel.
    s.Load({30, 30}, TrackMode::M);
    s.op.RunMenuCommand(MenuId::ModeS);
    s.op.RunMenuCommand(MenuId::FileLoop);
    s.op.HandleKeyDown(VkDigit(6), false);  // ratio 2
    EXPECT_EQ(s.replay.SpeedRatio(), 2);
    s.op.RightButtonPressed();
    s.op.HandleMouseWheel(-120, 250, 210);  // ratio row: 1.9
    EXPECT_NEAR(s.replay.SpeedRatio(), 1.9, 1e-12);
    s.op.HandleMouseWheel(120, 40, 150);  // segment area: next segment
    EXPECT_FALSE(s.op.RightButtonReleased());
    EXPECT_EQ(s.replay.Track(), 2);
    EXPECT_EQ(s.replay.Point(), 31);
    s.op.HandleMouseWheel(-120, 300, 20);  // plain wheel: one point back
    EXPECT_EQ(s.replay.Point(), 30);
    s.op.HandleKeyDown(VkLetter('S'), false);  // one metre to the right
    frame = s.op.RefreshPanel(1);
    EXPECT_EQ(TextAt(frame, 5, 160), "1 / 2 段      ");
    EXPECT_EQ(TextAt(frame, 195, 160), "总 30 / 60 点          ");
    EXPECT_EQ(TextAt(frame, 214, 182), "偏移 右1.0m      ");
    EXPECT_EQ(TextAt(frame, 214, 200), "速度比例 1.90     ");

    // Free-only keys are swallowed while replaying; the replay keeps to the track.
    const double course = s.engine.Fix.Course;
    EXPECT_TRUE(s.op.HandleKeyDown(VkLetter('Q'), false));
    EXPECT_EQ(s.engine.Fix.Course, course);
    Ticks(s, 200);
    EXPECT_NEAR(s.engine.Fix.Latitude, 0, 0.001);  // on the equator track, plus the 1 m offset

    // Stop.
    s.op.HandleKeyDown(VK_ESCAPE, false);
    EXPECT_EQ(TextAt(s.op.RefreshPanel(2), 46, 70), "停止 ");
    EXPECT_TRUE(s.host.Messages.empty());
}

TEST(SessionTest, WithoutAReplayEngineEveryControlIsSafe)
{
    testing_fakes::FakeHost host;
    testing_fakes::FixedClock clock;
    testing_fakes::FakePortFactory ports;
    Engine engine(host, clock, ports);
    Operator op(engine, nullptr);

    for (int key = 0; key < 256; ++key) {
        op.HandleKeyDown(key, false);
        op.HandleKeyUp(key);
    }
    op.RightButtonPressed();
    for (int y = 0; y <= 240; y += 8)
        for (int x = 0; x <= 320; x += 8) op.HandleMouseWheel(-240, x, y);
    for (const MenuItem& item : op.ContextMenu()) {
        if (item.Separator) continue;
        op.RunMenuCommand(item.Id);
        if (item.Id >= MenuId::ModeP && item.Id <= MenuId::SaveNmea && item.Id != MenuId::LoadTrack) {
            EXPECT_FALSE(item.Enabled) << item.Text;
        }
    }
    const PanelFrame frame = op.RefreshPanel(2);
    EXPECT_FALSE(frame.ReplayShown);
    EXPECT_TRUE(std::isfinite(engine.Fix.Latitude));
    EXPECT_GE(engine.Fix.Latitude, -90);
    EXPECT_LE(engine.Fix.Latitude, 90);
    EXPECT_GE(engine.Fix.Course, 0);
    EXPECT_LE(engine.Fix.Course, 360);
}

}  // namespace
}  // namespace tolvex
