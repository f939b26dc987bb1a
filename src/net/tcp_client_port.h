#pragma once
// "tcp:": a client that connects to a listening program and sends it every sentence group while
// connected. Connecting never blocks: a refused or lost connection is tried again after 1 s,
// then 2, 4, ... up to 30 s while the output runs. Sentences while disconnected are dropped.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "links/serial_port.h"
#include "net/net_address.h"
#include "net/send_queue.h"

namespace tolvex {

using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

inline constexpr std::chrono::seconds FirstRetryDelay{1};
inline constexpr std::chrono::seconds LongestRetryDelay{30};
// A connection attempt that has not completed by then counts as failed.
inline constexpr std::chrono::seconds ConnectTimeLimit{10};

class TcpClientPort final : public SerialPort {
public:
    // Resolves the host; null with the resolver's reason in error. The first attempt to connect
    // is made at once.
    static std::unique_ptr<TcpClientPort> Open(const NetEndpoint& endpoint, std::string& error, SteadyNow now = {});
    ~TcpClientPort() override;

    int Number() const override { return 0; }
    bool IsVirtual() const override { return false; }
    std::string Describe() const override;  // "TCP 127.0.0.1:5000 client"
    WriteResult Write(const char* bytes, std::size_t length) override;
    void Close() override;
    bool IsPeerOpen() override { return m_state == State::Connected; }
    std::string NetworkLabel() const override;
    void Service() override;

    // Disconnected, waiting for the next attempt, which is made at NextAttempt.
    bool IsWaiting() const { return m_state == State::Waiting; }
    std::chrono::steady_clock::time_point NextAttempt() const { return m_deadline; }

private:
    enum class State { Waiting, Connecting, Connected, Closed };
    TcpClientPort(std::vector<ResolvedAddress> addresses, SteadyNow now);
    void Attempt();
    void Disconnect();  // and wait for the next attempt

    std::vector<ResolvedAddress> m_addresses;
    std::size_t m_next = 0;
    SteadyNow m_now;
    State m_state = State::Waiting;
    int m_fd = -1;
    std::chrono::steady_clock::time_point m_deadline{};  // of the wait or of the attempt
    std::chrono::steady_clock::duration m_delay = FirstRetryDelay;
    SendQueue m_queue;
};

}  // namespace tolvex
