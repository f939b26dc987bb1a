#pragma once
// The host the simulator talks to, passed on to the real one (the window or the console) except
// while a control command runs: then nobody sits at the dialogs, so questions get the answers a
// typed command gets and messages are kept for the command's reply instead of shown.

#include <string>
#include <vector>

#include "sim/host.h"

namespace tolvex {

class HostRelay final : public Host {
public:
    explicit HostRelay(Host& target) : m_target(target) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) override;
    std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) override;
    std::optional<GpxContent> ChooseGpxContent(int trackCount, int routeCount) override;
    void RefreshPanel(int mode) override { m_target.RefreshPanel(mode); }

    // Messages shown while a capture is on, oldest first; EndCapture returns and clears them.
    void BeginCapture(GpxContent gpx = GpxContent::Tracks);
    std::vector<std::string> EndCapture();
    bool Capturing() const { return m_capturing; }

private:
    Host& m_target;
    bool m_capturing = false;
    GpxContent m_gpx = GpxContent::Tracks;
    std::vector<std::string> m_messages;
};

}  // namespace tolvex
