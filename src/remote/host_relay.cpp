#include "remote/host_relay.h"

#include <utility>

namespace tolvex {

void HostRelay::BeginCapture(GpxContent gpx)
{
    m_capturing = true;
    m_gpx = gpx;
    m_messages.clear();
}

std::vector<std::string> HostRelay::EndCapture()
{
    m_capturing = false;
    return std::exchange(m_messages, {});
}

void HostRelay::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    if (!m_capturing) return m_target.ShowMessage(text, caption, icon);
    // One reply line: the message's own line breaks become blanks.
    std::string line = caption + ": ";
    for (const char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    m_messages.push_back(line);
}

bool HostRelay::AskYesNo(const std::string& text, const std::string& caption)
{
    return m_capturing || m_target.AskYesNo(text, caption);
}

std::optional<std::array<bool, 4>> HostRelay::ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries)
{
    if (!m_capturing) return m_target.ChooseOutputsToStop(entries);
    // `stop` closes everything that runs, as Stop with every box left checked.
    std::array<bool, 4> close{};
    for (std::size_t i = 0; i < entries.size(); ++i) close[i] = entries[i].Enabled;
    return close;
}

std::optional<int> HostRelay::ChooseSegment(const std::vector<std::string>& rows, const std::string& summary)
{
    if (!m_capturing) return m_target.ChooseSegment(rows, summary);
    return std::nullopt;  // no command opens the segment dialog; `segment N` chooses directly
}

std::optional<GpxContent> HostRelay::ChooseGpxContent(int trackCount, int routeCount)
{
    if (!m_capturing) return m_target.ChooseGpxContent(trackCount, routeCount);
    return m_gpx;
}

}  // namespace tolvex
