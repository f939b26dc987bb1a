#pragma once
// The listeners of the control channel: a unix socket, a TCP port or standard input. Every
// descriptor is non-blocking and served between ticks; one bounded output buffer per client, and a
// client that does not read its replies is dropped rather than waited for.

#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tolvex {

class RemoteControl;

struct ControlSpec {
    enum class Kind { Unix, Tcp, Stdin };
    Kind Type = Kind::Unix;
    std::string Path;     // unix
    std::string Address;  // tcp: numeric IPv4 or IPv6
    int Port = 0;         // tcp: 0 takes a free port
};

// The socket address of a unix or tcp target, for bind and connect; returns its length.
socklen_t ControlAddress(const ControlSpec& target, sockaddr_storage& storage);

// $XDG_RUNTIME_DIR/tolvex/control, else /tmp/tolvex-<uid>/control.
std::string DefaultControlPath();
// "unix:PATH", "tcp:[ADDR:]PORT" (ADDR 127.0.0.1 by default, IPv6 in brackets), "stdin"; empty
// gives the default unix socket. The reason in plain English when the text is none of these.
std::variant<ControlSpec, std::string> ParseControlSpec(std::string_view text);

inline constexpr int MaxControlClients = 64;
inline constexpr std::size_t MaxClientOutput = 1 << 20;  // bytes of replies a client may leave unread
// Commands one Serve runs over all clients, a few from each in turn: a flood cannot hold up the tick.
inline constexpr int MaxCommandsPerServe = 64;
inline constexpr int CommandsPerTurn = 4;

class ControlServer {
public:
    explicit ControlServer(RemoteControl& control);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Opens the listener (or takes standard input); false with the reason.
    bool Listen(const ControlSpec& target, std::string& error);
    // Where clients connect: "unix:/run/user/1000/tolvex/control", "tcp:127.0.0.1:40123", "stdin".
    std::string Where() const;

    // Accepts, reads, runs the complete lines and writes what it can; never blocks.
    void Serve();
    // Serves as requests come until the deadline; returns early once a quit or end of input is seen.
    void ServeUntil(std::chrono::steady_clock::time_point deadline);
    // Once per tick: the status lines of the watches that are due.
    void AfterTick();
    // Before closing: hands out pending replies for at most timeout.
    void Flush(std::chrono::milliseconds timeout);

    // Standard input reached its end: nobody is left to control the run.
    // True once every line it sent has been answered.
    bool InputEnded() const;
    int ClientCount() const { return static_cast<int>(m_clients.size()); }
    void StopServing() { m_stopped = true; }

private:
    struct Client;
    void Accept();
    void Read(Client& client);
    // Runs at most limit complete lines; returns how many it answered.
    int RunLines(Client& client, int limit);
    void Write(Client& client);
    void Send(Client& client, const std::string& line);
    void DropClosed();

    RemoteControl& m_control;
    ControlSpec m_spec;
    int m_listener = -1;
    std::string m_boundPath;  // the socket file to remove at the end
    std::vector<std::unique_ptr<Client>> m_clients;
    std::size_t m_firstTurn = 0;  // the client whose turn comes first in the next Serve
    bool m_inputEnded = false;
    bool m_serving = false;  // re-entry guard: a dialog's loop may call Serve again
    bool m_stopped = false;
};

}  // namespace tolvex
