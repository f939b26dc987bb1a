// The window takes the control channel's commands on its own thread, between its ticks: a load
// shows the title and the track-mode bar, a failure comes back as a reply and not as a box, and
// quit closes the window the ordinary way.

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>

#include "app/window_control.h"
#include "app_fixture.h"

namespace tolvex {
namespace {

using testing_app::TestData;
using testing_app::WindowTest;

// One line sent, the reply read while the window's event loop keeps running.
std::string Ask(int fd, const std::string& line)
{
    const std::string request = line + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return "<send>";
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0) continue;
        char c;
        while (::recv(fd, &c, 1, MSG_DONTWAIT) == 1) {
            if (c == '\n') return reply;
            reply += c;
        }
    }
    return "<no reply>";
}

TEST_F(WindowTest, AcceptsTheControlCommands)
{
    CTolvexDlg& window = Open("Speed=0\n");
    WindowControl control(window);
    std::string error;
    const std::string socketPath = (m_dir / "control").string();
    ASSERT_TRUE(control.Listen({ControlSpec::Kind::Unix, socketPath, "", 0}, error)) << error;

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    EXPECT_EQ(Ask(fd, "goto 48.1 11.5"), "ok");
    EXPECT_EQ(window.Sim().Core.Fix.Latitude, 48.1);
    EXPECT_EQ(Ask(fd, "run"), "ok {\"state\":\"running\",\"mode\":\"F\"}");

    // A failed load is told in the reply; no message box waits for a user.
    const std::string failed = Ask(fd, "load " + TestData("gpx/malformed.gpx"));
    EXPECT_EQ(failed.rfind("error load: cannot load", 0), 0u) << failed;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const std::string path = TestData("gpx/minimal.gpx");
    EXPECT_EQ(Ask(fd, "load " + path), "ok {\"segments\":1,\"points\":2,\"mode\":\"P\"}");
    EXPECT_EQ(window.windowTitle().toStdString(), "Tolvex - " + path);
    EXPECT_TRUE(window.TrackModeBarShown());
    EXPECT_EQ(Ask(fd, "mode M").rfind("ok", 0), 0u);
    EXPECT_EQ(window.Sim().TrackReplay.Mode(), TrackMode::M);

    EXPECT_EQ(Ask(fd, "quit"), "ok");
    for (int i = 0; i < 50 && window.isVisible(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(window.isVisible());
    EXPECT_NE(ReadIni().find("LastTrackMode=2"), std::string::npos) << ReadIni();
    ::close(fd);
}

}  // namespace
}  // namespace tolvex
