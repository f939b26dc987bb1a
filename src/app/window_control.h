#pragma once
// The control channel in the window: the same commands as `tolvex run --control`, served on the
// window's thread between ticks by a timer of the tick's period.

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

#include "remote/control_server.h"
#include "remote/remote_control.h"

namespace tolvex {

class CTolvexDlg;

class WindowControl final : public QObject, public RemoteFrontEnd {
    Q_OBJECT
public:
    explicit WindowControl(CTolvexDlg& window);
    ~WindowControl() override;

    // Opens the channel (standard input is refused: the window has no console of its own).
    bool Listen(const ControlSpec& target, std::string& error);
    std::string Where() const { return m_server.Where(); }

    void TrackLoaded(const LoadOutcome& outcome) override;
    void RequestQuit() override;

private:
    CTolvexDlg& m_window;
    RemoteControl m_control;
    ControlServer m_server;
    QTimer m_timer;
};

}  // namespace tolvex
