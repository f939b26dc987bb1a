#include "app/window_control.h"

#include "app/tolvex_dlg.h"

namespace tolvex {

WindowControl::WindowControl(CTolvexDlg& window)
    : m_window(window), m_control(window.Sim(), window.Op(), window.Relay(), *this), m_server(m_control)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_server.Serve();
        m_server.AfterTick();
    });
}

WindowControl::~WindowControl() { m_server.Flush(std::chrono::milliseconds(200)); }

bool WindowControl::Listen(const ControlSpec& target, std::string& error)
{
    if (target.Type == ControlSpec::Kind::Stdin) {
        error = "the window takes commands on unix:PATH or tcp:[ADDR:]PORT; stdin is for `tolvex run`";
        return false;
    }
    if (!m_server.Listen(target, error)) return false;
    m_timer.start();
    return true;
}

void WindowControl::TrackLoaded(const LoadOutcome& outcome) { m_window.ApplyLoadOutcome(outcome); }

void WindowControl::RequestQuit()
{
    // After this command's reply is out: the close runs the window's own sequence (settings saved).
    m_server.StopServing();
    QTimer::singleShot(0, &m_window, [this] {
        m_server.Flush(std::chrono::milliseconds(200));
        m_window.RequestClose();  // open dialogs are cancelled first, as for a signal
    });
}

}  // namespace tolvex
