#include "remote/control_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "remote/command.h"
#include "remote/remote_control.h"

namespace tolvex {
namespace {

constexpr std::size_t ReadChunk = 16384;
// Unanswered input kept per client before reading pauses: the socket's own buffer then fills and
// the sender waits, not the simulator.
constexpr std::size_t MaxPendingInput = 4 * MaxLineLength;

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

bool EnsurePrivateFolder(const std::string& folder)
{
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') continue;
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLoopback(const std::string& address)
{
    return address.rfind("127.", 0) == 0 || address == "::1";
}

}  // namespace

struct ControlServer::Client {
    int In = -1;
    int Out = -1;
    bool Socket = true;
    std::string Input;
    std::string Output;
    bool Discarding = false;  // inside a line already too long: skip to its end
    bool Closed = false;
    int WatchTicks = 0;       // 0: no watch
    int WatchLeft = 0;
};

socklen_t ControlAddress(const ControlSpec& target, sockaddr_storage& storage)
{
    storage = {};
    if (target.Type == ControlSpec::Kind::Unix) {
        auto* a = reinterpret_cast<sockaddr_un*>(&storage);
        a->sun_family = AF_UNIX;
        std::snprintf(a->sun_path, sizeof a->sun_path, "%s", target.Path.c_str());
        return sizeof *a;
    }
    if (target.Address.find(':') != std::string::npos) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(static_cast<std::uint16_t>(target.Port));
        ::inet_pton(AF_INET6, target.Address.c_str(), &a->sin6_addr);
        return sizeof *a;
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(target.Port));
    ::inet_pton(AF_INET, target.Address.c_str(), &a->sin_addr);
    return sizeof *a;
}

std::string DefaultControlPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tolvex/control";
    return "/tmp/tolvex-" + std::to_string(::getuid()) + "/control";
}

std::variant<ControlSpec, std::string> ParseControlSpec(std::string_view text)
{
    ControlSpec target;
    if (text.empty()) {
        target.Path = DefaultControlPath();
        return target;
    }
    if (text == "stdin") {
        target.Type = ControlSpec::Kind::Stdin;
        return target;
    }
    if (text.rfind("unix:", 0) == 0) {
        target.Path = std::string(text.substr(5));
        if (target.Path.empty()) return std::string("unix: needs a socket path, as in unix:/tmp/tolvex.sock");
        if (target.Path.size() >= sizeof(sockaddr_un::sun_path))
            return "the socket path " + target.Path + " is longer than 107 bytes";
        return target;
    }
    if (text.rfind("tcp:", 0) == 0) {
        target.Type = ControlSpec::Kind::Tcp;
        std::string_view rest = text.substr(4);
        std::string_view port = rest;
        target.Address = "127.0.0.1";
        if (!rest.empty() && rest.front() == '[') {
            const std::size_t close = rest.find("]:");
            if (close == std::string_view::npos) return std::string("tcp:[ADDR]:PORT needs the port after the bracket");
            target.Address = std::string(rest.substr(1, close - 1));
            port = rest.substr(close + 2);
        } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
            target.Address = std::string(rest.substr(0, colon));
            port = rest.substr(colon + 1);
        }
        int number = -1;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (port.empty() || error != std::errc() || end != port.data() + port.size() || number < 0 || number > 65535)
            return "the TCP port " + std::string(port) + " is not a number from 0 to 65535";
        target.Port = number;
        in6_addr probe6{};
        in_addr probe4{};
        if (::inet_pton(AF_INET, target.Address.c_str(), &probe4) != 1 &&
            ::inet_pton(AF_INET6, target.Address.c_str(), &probe6) != 1)
            return "the address " + target.Address + " is not a numeric IPv4 or IPv6 address";
        return target;
    }
    return "unknown control channel " + std::string(text) + ": use unix:PATH, tcp:[ADDR:]PORT or stdin";
}

ControlServer::ControlServer(RemoteControl& control) : m_control(control) {}

ControlServer::~ControlServer()
{
    for (auto& client : m_clients)
        if (client->Socket) ::close(client->In);
    if (m_listener >= 0) ::close(m_listener);
    if (!m_boundPath.empty()) ::unlink(m_boundPath.c_str());
}

bool ControlServer::Listen(const ControlSpec& target, std::string& error)
{
    m_spec = target;
    if (target.Type == ControlSpec::Kind::Stdin) {
        auto client = std::make_unique<Client>();
        client->In = STDIN_FILENO;
        client->Out = STDOUT_FILENO;
        client->Socket = false;
        m_clients.push_back(std::move(client));
        return true;
    }
    if (target.Type == ControlSpec::Kind::Unix) {
        const std::size_t slash = target.Path.rfind('/');
        if (slash != std::string::npos && slash > 0 && !EnsurePrivateFolder(target.Path.substr(0, slash))) {
            error = ErrnoText("cannot create the folder of " + target.Path);
            return false;
        }
        sockaddr_storage address{};
        const socklen_t addressLength = ControlAddress(target, address);
        struct stat st {};
        if (::lstat(target.Path.c_str(), &st) == 0) {
            if (!S_ISSOCK(st.st_mode)) {
                error = target.Path + " exists and is not a socket";
                return false;
            }
            // A socket file left by a run that ended without cleaning up is taken over; a live one is not.
            const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const bool live = ::connect(probe, reinterpret_cast<sockaddr*>(&address), addressLength) == 0;
            ::close(probe);
            if (live) {
                error = "another Tolvex already listens on " + target.Path;
                return false;
            }
            ::unlink(target.Path.c_str());
        }
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        // Only the owner may drive the simulator: the socket is created 0600.
        const mode_t oldMask = ::umask(0177);
        const bool bound =
            m_listener >= 0 && ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), addressLength) == 0;
        ::umask(oldMask);
        if (!bound || ::listen(m_listener, 16) != 0) {
            error = ErrnoText("cannot listen on " + target.Path);
            return false;
        }
        m_boundPath = target.Path;
        return true;
    }
    sockaddr_storage storage{};
    socklen_t length = ControlAddress(target, storage);
    const bool v6 = storage.ss_family == AF_INET6;
    m_listener = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (m_listener >= 0) ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(m_listener, 16) != 0) {
        error = ErrnoText("cannot listen on TCP " + target.Address + " port " + std::to_string(target.Port));
        return false;
    }
    // The port actually taken, for tcp:0.
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&storage), &length);
    m_spec.Port = v6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port)
                     : ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    if (!IsLoopback(target.Address))
        std::fprintf(stderr, "tolvex: warning: the control channel on %s takes commands from anyone who can reach it\n",
                     target.Address.c_str());
    return true;
}

std::string ControlServer::Where() const
{
    switch (m_spec.Type) {
    case ControlSpec::Kind::Unix: return "unix:" + m_spec.Path;
    case ControlSpec::Kind::Stdin: return "stdin";
    case ControlSpec::Kind::Tcp:
        if (m_spec.Address.find(':') != std::string::npos)
            return "tcp:[" + m_spec.Address + "]:" + std::to_string(m_spec.Port);
        return "tcp:" + m_spec.Address + ":" + std::to_string(m_spec.Port);
    }
    return {};
}

void ControlServer::Accept()
{
    if (m_listener < 0) return;
    while (true) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // EAGAIN: nobody else waits; other errors: tried again next time
        if (static_cast<int>(m_clients.size()) >= MaxControlClients) {
            static constexpr char Full[] = "error too many clients: at most 64 at once\n";
            [[maybe_unused]] const ssize_t n = ::send(fd, Full, sizeof Full - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            continue;
        }
        auto client = std::make_unique<Client>();
        client->In = client->Out = fd;
        m_clients.push_back(std::move(client));
    }
}

void ControlServer::Read(Client& client)
{
    char buffer[ReadChunk];
    while (!client.Closed && client.Input.size() < MaxPendingInput) {
        const ssize_t n = ::read(client.In, buffer, sizeof buffer);
        if (n > 0) {
            client.Input.append(buffer, static_cast<std::size_t>(n));
            // Standard input may block: read once per readiness report.
            if (!client.Socket) return;
            continue;
        }
        if (n == 0) {
            // Standard input stays to take its last replies; a line cut off by a disconnect is
            // dropped unanswered.
            if (client.Socket)
                client.Closed = true;
            else
                m_inputEnded = true;
            // The last line of a file need not end in a line break.
            if (!client.Socket && !client.Input.empty() && !client.Discarding) client.Input += '\n';
            return;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) client.Closed = true;
        return;
    }
}

void ControlServer::Send(Client& client, const std::string& line)
{
    if (client.Closed) return;
    if (client.Output.size() + line.size() + 1 > MaxClientOutput) {
        client.Closed = true;  // it stopped reading: its replies would pile up for ever
        return;
    }
    client.Output += line;
    client.Output += '\n';
}

int ControlServer::RunLines(Client& client, int limit)
{
    int done = 0;
    while (done < limit && !client.Closed && !m_stopped) {
        const std::size_t end = client.Input.find('\n');
        if (end == std::string::npos) {
            if (client.Input.size() > MaxLineLength) {
                client.Input.clear();
                client.Discarding = true;
            }
            return done;
        }
        std::string line = client.Input.substr(0, end);
        client.Input.erase(0, end + 1);
        if (client.Discarding) {
            client.Discarding = false;
            Send(client, "error line longer than 4096 bytes");
            ++done;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        ++done;
        client.WatchTicks = 0;  // any command ends a watch
        ParseResult parsed = ParseCommand(line);
        if (auto* message = std::get_if<std::string>(&parsed)) {
            Send(client, Error(*message).Line());
            continue;
        }
        const Command& command = std::get<Command>(parsed);
        if (command.Name == Verb::Watch) {
            client.WatchTicks = std::max(1, static_cast<int>(command.Value * 50 + 0.5));
            client.WatchLeft = client.WatchTicks;
            Send(client, Ok(m_control.StatusJson()).Line());
            continue;
        }
        Send(client, m_control.Execute(command).Line());
    }
    return done;
}

void ControlServer::Write(Client& client)
{
    while (!client.Output.empty() && !client.Closed) {
        ssize_t n;
        if (client.Socket) {
            n = ::send(client.Out, client.Output.data(), client.Output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        } else {
            // Standard output may be a blocking pipe: write only what poll says fits.
            pollfd p{client.Out, POLLOUT, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLOUT)) return;
            n = ::write(client.Out, client.Output.data(), std::min<std::size_t>(client.Output.size(), PIPE_BUF));
        }
        if (n > 0) {
            client.Output.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) client.Closed = true;
        return;
    }
}

void ControlServer::DropClosed()
{
    std::erase_if(m_clients, [](const std::unique_ptr<Client>& client) {
        if (!client->Closed) return false;
        if (client->Socket) ::close(client->In);
        return true;
    });
}

void ControlServer::Serve()
{
    if (m_serving) return;
    m_serving = true;
    Accept();
    for (auto& client : m_clients) {
        if (!client->Socket) {
            pollfd p{client->In, POLLIN, 0};
            if (!m_inputEnded && ::poll(&p, 1, 0) > 0) Read(*client);
        } else {
            Read(*client);
        }
    }
    // Turns of a few lines each, starting one client further every time, until the budget is spent.
    const std::size_t count = m_clients.size();
    int budget = MaxCommandsPerServe;
    for (bool more = count > 0; more && budget > 0 && !m_stopped;) {
        more = false;
        for (std::size_t k = 0; k < count && budget > 0; ++k) {
            Client& client = *m_clients[(m_firstTurn + k) % count];
            budget -= RunLines(client, std::min(budget, CommandsPerTurn));
            more = more || (!client.Closed && client.Input.find('\n') != std::string::npos);
        }
    }
    if (count > 0) m_firstTurn = (m_firstTurn + 1) % count;
    for (auto& client : m_clients) Write(*client);
    DropClosed();
    m_serving = false;
}

void ControlServer::ServeUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    std::vector<pollfd> fds;
    while (!m_stopped && !InputEnded()) {
        const auto now = steady_clock::now();
        if (now >= deadline) return;
        fds.clear();
        if (m_listener >= 0) fds.push_back({m_listener, POLLIN, 0});
        for (const auto& client : m_clients) {
            short events = client->Input.find('\n') != std::string::npos ? 0 : POLLIN;
            if (client->Socket && !client->Output.empty()) events |= POLLOUT;
            if (!client->Socket && m_inputEnded) events &= ~POLLIN;
            fds.push_back({client->In, events, 0});
            if (!client->Socket && !client->Output.empty()) fds.push_back({client->Out, POLLOUT, 0});
        }
        // Rounded up, so the loop does not spin through the last fraction of a millisecond.
        const auto wait = duration_cast<milliseconds>(deadline - now + microseconds(999));
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
        if (ready > 0) Serve();
        // Lines left over by the per-serve limit are taken up on the next pass without waiting.
        for (const auto& client : m_clients)
            if (client->Input.find('\n') != std::string::npos) {
                Serve();
                break;
            }
    }
}

bool ControlServer::InputEnded() const
{
    if (!m_inputEnded) return false;
    for (const auto& client : m_clients)
        if (!client->Socket && client->Input.find('\n') != std::string::npos) return false;
    return true;
}

void ControlServer::AfterTick()
{
    bool any = false;
    for (auto& client : m_clients) {
        if (client->WatchTicks == 0 || client->Closed) continue;
        if (--client->WatchLeft > 0) continue;
        client->WatchLeft = client->WatchTicks;
        Send(*client, m_control.StatusJson());
        any = true;
    }
    if (!any) return;
    for (auto& client : m_clients) Write(*client);
    DropClosed();
}

void ControlServer::Flush(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        bool pending = false;
        for (auto& client : m_clients) {
            Write(*client);
            pending = pending || (!client->Output.empty() && !client->Closed);
        }
        if (!pending) return;
        ::usleep(1000);
    }
}

}  // namespace tolvex
