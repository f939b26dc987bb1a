// Connects many TCP clients to a server output and reads them all through one epoll set. Each
// group is known by its RMC sentence; prints how many groups every client received, the CPU the
// server process used, and how late the slowest client got a group against the 200 ms grid the
// groups follow, and whether the targets are met. A group's arrival is the kernel's receive time
// stamp of the client's socket, so the time this one process takes to read a thousand sockets
// does not count against the server; the time this reader woke is printed beside it.
// With --floor it measures the machine instead: a bare child process sends one sentence-sized
// message to every client, and the spread of arrivals is what the kernel alone costs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Receive time stamps come on the real-time clock: everything here is measured on it.
double NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_nsec) / 1e6;
}

// utime + stime of a process, in seconds.
double CpuSeconds(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return NAN;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Group {
    int Index = 0;
    double First = 0;  // ms, earliest arrival at any client
    double Last = 0;   // ms, arrival at the slowest client
    double LastRead = 0;  // ms, when this reader took it from the slowest client
    int Clients = 0;
};

// Reads what the socket holds, with the kernel's time of its arrival (0 when there is none).
ssize_t ReceiveStamped(int fd, char* buffer, std::size_t size, double& arrivalMs)
{
    iovec io{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd, &message, 0);
    arrivalMs = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); got > 0 && c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec t{};
            std::memcpy(&t, CMSG_DATA(c), sizeof t);
            arrivalMs = static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_nsec) / 1e6;
        }
    }
    return got;
}

struct Client {
    int Fd = -1;
    std::string Pending;
    int LastIndex = -1;
    bool OutOfOrder = false;
};

// A client connected to a, with the kernel's receive time stamps, in the epoll set under key;
// -1 when it cannot connect.
int ConnectClient(const sockaddr_in& a, int poll, std::uint32_t key)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        std::perror("fanout: connect");
        return -1;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u32 = key;
    epoll_ctl(poll, EPOLL_CTL_ADD, fd, &e);
    return fd;
}

// The least lateness any server can reach here: a child that does nothing but send one 150-byte
// message to each of `count` loopback clients, `rounds` times; prints when the last one arrived
// after the first send began.
int MeasureFloor(int count, int rounds, double interval)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, count) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        std::perror("fanout: listen");
        return 2;
    }
    const int poll = epoll_create1(0);
    std::vector<int> clients, served;
    for (int i = 0; i < count; ++i) {
        const int fd = ConnectClient(a, poll, static_cast<std::uint32_t>(i));
        if (fd < 0) return 2;
        clients.push_back(fd);
        served.push_back(accept(listener, nullptr, nullptr));
    }
    int starts[2];
    if (pipe(starts) != 0) return 2;
    const pid_t sender = fork();
    if (sender == 0) {
        char message[150];
        std::memset(message, 'x', sizeof message);
        for (int r = 0; r < rounds; ++r) {
            usleep(static_cast<useconds_t>(interval * 1000));
            const double begun = NowMs();
            for (const int fd : served) send(fd, message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (write(starts[1], &begun, sizeof begun) != sizeof begun) _exit(1);
        }
        _exit(0);
    }
    for (const int fd : served) close(fd);
    close(starts[1]);
    // Rounds are told apart by time: the reader takes each round whole before the next begins.
    std::vector<double> spreads;
    std::vector<epoll_event> events(static_cast<std::size_t>(count));
    char buffer[4096];
    for (int r = 0; r < rounds; ++r) {
        double last = 0;
        for (int received = 0; received < count * 150;) {
            const int n = epoll_wait(poll, events.data(), count, 2000);
            if (n <= 0) break;
            for (int k = 0; k < n; ++k) {
                double arrival = 0;
                const ssize_t got = ReceiveStamped(clients[events[static_cast<std::size_t>(k)].data.u32], buffer, sizeof buffer, arrival);
                if (got > 0) received += static_cast<int>(got);
                last = std::max(last, arrival);
            }
        }
        double begun = 0;
        if (read(starts[0], &begun, sizeof begun) != sizeof begun) break;
        spreads.push_back(last - begun);
    }
    waitpid(sender, nullptr, 0);
    if (spreads.empty()) return 1;
    std::sort(spreads.begin(), spreads.end());
    std::printf("fanout floor: a bare sender reaches the last of %d loopback clients %.3f ms after it begins (median "
                "of %zu rounds; worst %.3f ms): no server can be less late on this machine\n",
                count, spreads[spreads.size() / 2], spreads.size(), spreads.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--floor") == 0) return MeasureFloor(std::atoi(argv[2]), 50, 200);
    if (argc < 6) {
        std::fprintf(stderr, "usage: fanout_clients PORT CLIENTS SECONDS INTERVAL_MS SERVER_PID\n"
                             "       fanout_clients --floor CLIENTS\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const double interval = std::atof(argv[4]);
    const int serverPid = std::atoi(argv[5]);

    const int poll = epoll_create1(0);
    std::vector<Client> clients(static_cast<std::size_t>(count));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count; ++i) {
        const int fd = ConnectClient(a, poll, static_cast<std::uint32_t>(i));
        if (fd < 0) return 2;
        clients[static_cast<std::size_t>(i)].Fd = fd;
    }

    // The server takes the clients between its ticks; the measurement starts once all are served.
    const double origin = NowMs();
    const double settle = 2000;
    const double end = settle + seconds * 1000;
    double cpuStart = NAN;
    std::map<std::string, Group> groups;
    int nextIndex = 0;
    std::vector<epoll_event> events(static_cast<std::size_t>(count));
    char buffer[65536];
    bool closed = false;
    for (;;) {
        const double now = NowMs() - origin;
        if (std::isnan(cpuStart) && now >= settle) cpuStart = CpuSeconds(serverPid);
        if (now >= end + 500) break;
        const int n = epoll_wait(poll, events.data(), count, 50);
        const double woke = NowMs() - origin;
        for (int k = 0; k < n; ++k) {
            Client& c = clients[events[static_cast<std::size_t>(k)].data.u32];
            double arrival = 0;
            const ssize_t got = ReceiveStamped(c.Fd, buffer, sizeof buffer, arrival);
            const double at = arrival > 0 ? arrival - origin : woke;
            if (got <= 0) {
                closed = true;
                epoll_ctl(poll, EPOLL_CTL_DEL, c.Fd, nullptr);
                continue;
            }
            c.Pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t eol; (eol = c.Pending.find("\r\n")) != std::string::npos;) {
                const std::string line = c.Pending.substr(0, eol);
                c.Pending.erase(0, eol + 2);
                if (line.rfind("$GPRMC", 0) != 0) continue;
                auto [it, added] = groups.try_emplace(line);
                Group& g = it->second;
                if (added) {
                    g.Index = nextIndex++;
                    g.First = at;
                }
                g.Last = std::max(g.Last, at);
                g.LastRead = std::max(g.LastRead, woke);
                ++g.Clients;
                if (c.LastIndex >= 0 && g.Index != c.LastIndex + 1) c.OutOfOrder = true;
                c.LastIndex = g.Index;
            }
        }
    }
    const double cpuEnd = CpuSeconds(serverPid);

    // Groups wholly inside the window; the grid's phase is the one the most punctual group shows.
    std::vector<Group> measured;
    for (const auto& [line, g] : groups)
        if (g.First >= settle && g.First <= end) measured.push_back(g);
    std::sort(measured.begin(), measured.end(), [](const Group& x, const Group& y) { return x.Index < y.Index; });
    if (measured.size() < 2) {
        std::printf("fanout: %zu groups received\n", measured.size());
        return 1;
    }
    double phase = INFINITY;
    for (const Group& g : measured) phase = std::min(phase, g.First - g.Index * interval);
    int missed = 0;
    double worstLate = 0, worstSpread = 0, worstFirst = 0, worstRead = 0, sumLate = 0;
    std::vector<double> lateness;
    for (const Group& g : measured) {
        if (g.Clients < count) ++missed;
        const double due = phase + g.Index * interval;
        lateness.push_back(g.Last - due);
        worstLate = std::max(worstLate, g.Last - due);
        worstFirst = std::max(worstFirst, g.First - due);
        worstSpread = std::max(worstSpread, g.Last - g.First);
        worstRead = std::max(worstRead, g.LastRead - due);
        sumLate += g.Last - due;
    }
    std::sort(lateness.begin(), lateness.end());
    const double medianLate = lateness[lateness.size() / 2];
    int disordered = 0;
    for (const Client& c : clients) disordered += c.OutOfOrder ? 1 : 0;
    const double cpu = 100 * (cpuEnd - cpuStart) / (seconds + 0.5);
    const long expected = std::lround(seconds * 1000 / interval);
    const bool ok = !closed && missed == 0 && disordered == 0 && static_cast<long>(measured.size()) >= expected - 1 &&
                    cpu < 5.0 && worstLate <= 5.0;
    std::printf("fanout: %d clients, %zu groups in %.0f s (target %ld), %d groups missed by some client, %d clients "
                "out of order%s; server CPU %.2f %% of one core (target < 5 %%); slowest client's worst lateness "
                "%.3f ms (target <= 5 ms; median %.3f ms, mean %.3f ms), of which the first client's %.3f ms (the "
                "tick) and the widest spread across clients %.3f ms (the sends); this reader woke up to %.3f ms late: "
                "%s\n",
                count, measured.size(), seconds, expected, missed, disordered, closed ? ", a client was dropped" : "",
                cpu, worstLate, medianLate, sumLate / static_cast<double>(measured.size()), worstFirst, worstSpread,
                worstRead, ok ? "meets the targets" : "MISSES the targets");
    return ok ? 0 : 1;
}
