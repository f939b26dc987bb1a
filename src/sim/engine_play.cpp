// tolvex run --play: the tick sends a recorded log's lines instead of the sentences it builds,
// through the same outputs, each line as the log has it.

#include "links/ozi_link.h"
#include "links/serial_port.h"
#include "nmea/log_player.h"
#include "sim/engine.h"
#include "sim/host.h"

namespace tolvex {
namespace {

constexpr double TickMs = 20;

}  // namespace

// A virtual port that nobody has opened yet would swallow the start of the log: play begins
// once a program reads one, or at once when an output always delivers (a real port, stdout).
bool Engine::SomeoneListens() const
{
    bool virtualPort = false;
    if (MirrorOutput1 || Outputs[0].LinkUp)
        return true;
    for (int k = 1; k < OutputCount; ++k) {
        SerialPort* port = Outputs[k].OpenPort.get();
        if (port == nullptr)
            continue;
        if (!port->IsVirtual() || port->IsPeerOpen())
            return true;
        virtualPort = true;
    }
    return !virtualPort;
}

void Engine::SendPlayedLine(std::string_view line)
{
    const auto length = static_cast<int>(line.size());
    if (MirrorOutput1)
        MirrorOutput1(line.data(), length);
    for (int k = 1; k < OutputCount; ++k) {
        if (Outputs[k].OpenPort) {
            Outputs.Write(k, line.data(), length);
            if (!Outputs[k].OpenPort) m_host.RefreshPanel(2);  // the device went away
        }
    }
    // The link takes sentences without their line end.
    std::string_view sentence = line;
    while (!sentence.empty() && (sentence.back() == '\n' || sentence.back() == '\r')) sentence.remove_suffix(1);
    if (Outputs[0].LinkUp && !Options.Outputs[0].NoNMEA && Outputs.Ozi() != nullptr && !sentence.empty())
        Outputs.Ozi()->Send(std::string(sentence).c_str());
}

std::optional<double> Engine::MsToNextPlayedBurst() const
{
    if (m_player == nullptr || State != RunState::Running || !m_playStarted) return std::nullopt;
    return m_player->MsToNextBurst();
}

void Engine::PlayBetweenTicks(double msSinceTick)
{
    if (m_player == nullptr || State != RunState::Running || !m_playStarted) return;
    bool sent = false;
    m_player->SendDueBy(msSinceTick, [this, &sent](std::string_view line) {
        SendPlayedLine(line);
        sent = true;
    });
    // Network peers get what their ports queued now, not after the next tick.
    if (sent) Outputs.Service();
}

void Engine::PlayTick()
{
    if (State != RunState::Running) return;
    if (!m_playStarted && !SomeoneListens()) return;
    m_playStarted = true;
    m_player->Advance(TickMs, [this](std::string_view line) { SendPlayedLine(line); });
}

}  // namespace tolvex
