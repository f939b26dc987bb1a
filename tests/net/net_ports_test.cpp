// The network ports against real loopback sockets: the tests play the clients and listeners.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "links/port_factory.h"
#include "net/net_ports.h"
#include "net/tcp_client_port.h"
#include "net/tcp_server_port.h"
#include "nmea/output_channels.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using namespace std::chrono_literals;

// A sentence group as the builder makes them, numbered so order and loss show.
std::vector<std::string> Group(int n)
{
    const std::string t = std::to_string(n);
    return {"$GPRMC," + t + ",A*00\r\n", "$GPGGA," + t + ",1*00\r\n", "$GPGSA," + t + ",3*00\r\n"};
}

std::string GroupText(int n)
{
    std::string text;
    for (const std::string& s : Group(n)) text += s;
    return text;
}

void SendGroup(SerialPort& port, int n)
{
    for (const std::string& s : Group(n)) port.Write(s.data(), s.size());
    port.Service();
}

class Socket {
public:
    explicit Socket(int fd = -1) : m_fd(fd) {}
    Socket(Socket&& o) noexcept : m_fd(o.m_fd) { o.m_fd = -1; }
    ~Socket()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

sockaddr_storage Address(const std::string& host, int port, socklen_t& length)
{
    sockaddr_storage a{};
    if (host.find(':') != std::string::npos) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&a);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr);
        length = sizeof(sockaddr_in6);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&a);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &v4->sin_addr);
        length = sizeof(sockaddr_in);
    }
    return a;
}

// A blocking client; a small receive buffer makes a client that stops reading fill up soon.
Socket Connect(const std::string& host, int port, int receiveBuffer = 0)
{
    socklen_t length = 0;
    const sockaddr_storage a = Address(host, port, length);
    const int fd = ::socket(a.ss_family, SOCK_STREAM, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&a), length), 0);
    return Socket(fd);
}

Socket Listen(const std::string& host, int port)
{
    socklen_t length = 0;
    const sockaddr_storage a = Address(host, port, length);
    const int fd = ::socket(a.ss_family, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&a), length), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    return Socket(fd);
}

int FreePort()
{
    Socket s = Listen("127.0.0.1", 0);
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(s.Fd(), reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// Whatever arrives within the wait; stops early once `want` bytes are there.
std::string Receive(int fd, std::size_t want, std::chrono::milliseconds wait = 2000ms)
{
    std::string text;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (text.size() < want) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[65536];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::unique_ptr<TcpServerPort> OpenServer(const std::string& host)
{
    std::string error;
    NetEndpoint endpoint{NetKind::TcpListen, host, 0};
    auto server = TcpServerPort::Open(endpoint, error);
    EXPECT_NE(server, nullptr) << error;
    return server;
}

void ServiceUntilClients(TcpServerPort& server, std::size_t count)
{
    for (int i = 0; i < 500 && server.ClientCount() != count; ++i) {
        server.Service();
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(server.ClientCount(), count);
}

class TcpServer : public ::testing::TestWithParam<const char*> {};

// Fifty clients get the same groups in order; one that stops reading is dropped once its queue is
// full while the others keep getting every group; a client that comes late starts with the next
// group, without any backlog.
TEST_P(TcpServer, FansOutDropsTheStalledClientAndGivesLateClientsNoBacklog)
{
    auto server = OpenServer(GetParam());
    ASSERT_NE(server, nullptr);
    EXPECT_FALSE(server->IsPeerOpen());
    std::vector<Socket> clients;
    for (int i = 0; i < 50; ++i) clients.push_back(Connect(GetParam(), server->BoundPort()));
    Socket stalled = Connect(GetParam(), server->BoundPort(), 4096);
    ServiceUntilClients(*server, 51);
    EXPECT_TRUE(server->IsPeerOpen());

    std::string expected;
    for (int n = 0; n < 20; ++n) {
        SendGroup(*server, n);
        expected += GroupText(n);
    }
    for (const Socket& c : clients) EXPECT_EQ(Receive(c.Fd(), expected.size()), expected);

    // Big groups until the stalled client's queue passes its limit; the readers keep up.
    const std::string filler = "$GPTXT," + std::string(900, 'x') + "*00\r\n";
    int groups = 0;
    for (; groups < 2000 && server->ClientCount() == 51; ++groups) {
        server->Write(filler.data(), filler.size());
        server->Service();
        for (const Socket& c : clients) ASSERT_EQ(Receive(c.Fd(), filler.size()), filler) << "group " << groups;
    }
    EXPECT_EQ(server->ClientCount(), 50u);
    EXPECT_GE(static_cast<std::size_t>(groups) * filler.size(), PeerQueueLimit);
    // What the dropped client did get is the stream from its start, whole sentences up to its last line.
    const std::string got = Receive(stalled.Fd(), SIZE_MAX, 3000ms);
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(got.substr(0, expected.size()), expected);
    const std::size_t lastLine = got.rfind("\r\n");
    for (std::size_t at = expected.size(); at < lastLine; at += filler.size())
        ASSERT_EQ(got.substr(at, filler.size()), filler);

    Socket late = Connect(GetParam(), server->BoundPort());
    ServiceUntilClients(*server, 51);
    SendGroup(*server, 99);
    EXPECT_EQ(Receive(late.Fd(), GroupText(99).size()), GroupText(99));
    EXPECT_EQ(Receive(clients.front().Fd(), GroupText(99).size()), GroupText(99));
}

INSTANTIATE_TEST_SUITE_P(Loopback, TcpServer, ::testing::Values("127.0.0.1", "::1"),
                         [](const auto& info) { return std::string(info.index == 0 ? "IPv4" : "IPv6"); });

TEST(TcpServerLimit, ClientsBeyondTheLimitAreClosedAtOnce)
{
    auto server = OpenServer("127.0.0.1");
    ASSERT_NE(server, nullptr);
    server->SetMaxClients(2);
    Socket a = Connect("127.0.0.1", server->BoundPort());
    Socket b = Connect("127.0.0.1", server->BoundPort());
    Socket c = Connect("127.0.0.1", server->BoundPort());
    ServiceUntilClients(*server, 2);
    EXPECT_EQ(Receive(c.Fd(), 1), "");  // end of stream, not a hang in the backlog
    SendGroup(*server, 1);
    EXPECT_EQ(Receive(a.Fd(), GroupText(1).size()), GroupText(1));
}

// The client output with a clock the test moves: a listener that comes after the output, one that
// goes away and comes back; sentences while disconnected are dropped, never queued.
TEST(TcpClient, ConnectsLateReconnectsAfterLossAndBacksOffUpToThirtySeconds)
{
    const int port = FreePort();
    auto now = std::chrono::steady_clock::time_point{} + 1000s;
    std::string error;
    auto client = TcpClientPort::Open({NetKind::TcpClient, "127.0.0.1", port}, error, [&] { return now; });
    ASSERT_NE(client, nullptr) << error;
    const auto settle = [&] {
        for (int i = 0; i < 500 && !client->IsWaiting(); ++i) {
            client->Service();
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_TRUE(client->IsWaiting());
    };
    settle();
    EXPECT_FALSE(client->IsPeerOpen());

    // Refused again and again: the wait doubles from 1 s up to 30 s.
    std::vector<long> waits;
    for (int attempt = 0; attempt < 7; ++attempt) {
        settle();
        const auto next = client->NextAttempt();
        waits.push_back(std::chrono::duration_cast<std::chrono::seconds>(next - now).count());
        now = next - 1ms;
        client->Service();
        ASSERT_EQ(client->NextAttempt(), next) << "tried before its time";
        now = next;
        client->Service();
    }
    settle();
    EXPECT_EQ(waits, (std::vector<long>{1, 2, 4, 8, 16, 30, 30}));

    SendGroup(*client, 1);  // nobody there: dropped
    Socket listener = Listen("127.0.0.1", port);
    now += LongestRetryDelay;
    client->Service();
    const int accepted = ::accept(listener.Fd(), nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    Socket peer(accepted);
    for (int i = 0; i < 100 && !client->IsPeerOpen(); ++i) client->Service();
    ASSERT_TRUE(client->IsPeerOpen());
    SendGroup(*client, 2);
    EXPECT_EQ(Receive(peer.Fd(), GroupText(2).size()), GroupText(2));

    // The listener goes away: noticed, then the next attempt comes after 1 s.
    { Socket gone = std::move(peer); }
    { Socket gone = std::move(listener); }
    for (int i = 0; i < 200 && client->IsPeerOpen(); ++i) {
        client->Service();
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(client->IsPeerOpen());
    SendGroup(*client, 3);  // dropped
    Socket back = Listen("127.0.0.1", port);
    now += FirstRetryDelay;
    client->Service();
    const int again = ::accept(back.Fd(), nullptr, nullptr);
    ASSERT_GE(again, 0);
    Socket peer2(again);
    for (int i = 0; i < 100 && !client->IsPeerOpen(); ++i) client->Service();
    SendGroup(*client, 4);
    EXPECT_EQ(Receive(peer2.Fd(), GroupText(4).size()), GroupText(4));
}

TEST(UdpOutput, SendsOneDatagramPerSentence)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    Socket receiver(fd);
    socklen_t length = 0;
    sockaddr_storage a = Address("127.0.0.1", 0, length);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), length), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    const int port = ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);

    testing::RecordingHost host;
    auto udp = OpenNetworkPort("udp:127.0.0.1:" + std::to_string(port), host);
    ASSERT_NE(udp, nullptr);
    EXPECT_TRUE(udp->IsPeerOpen());
    SendGroup(*udp, 7);
    for (const std::string& sentence : Group(7)) EXPECT_EQ(Receive(fd, 1), sentence);
}

struct StartCase {
    const char* Name;
    std::array<const char*, 3> Targets;  // "%d" is replaced by a port in use, "%f" by a free one
    std::array<bool, 3> Failed;
    const char* Message;  // the first message's start
    const char* Caption;
};

class NetworkStart : public ::testing::TestWithParam<StartCase> {};

// A failed network output shows its message and stays failed; the other outputs run.
TEST_P(NetworkStart, FailsOnlyTheOutputAtFault)
{
    const StartCase& c = GetParam();
    Socket busy = Listen("127.0.0.1", 0);
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(busy.Fd(), reinterpret_cast<sockaddr*>(&a), &length);
    const std::string inUse = std::to_string(ntohs(a.sin_port));
    const std::string free = std::to_string(FreePort());

    Settings settings;
    testing::RecordingHost host;
    SystemPortFactory ports("/nonexistent-tolvex-ports");
    OutputChannels outputs(settings, host, ports, nullptr);
    for (int n = 1; n <= 3; ++n) {
        std::string target = c.Targets[n - 1];
        if (const auto at = target.find("%d"); at != std::string::npos) target.replace(at, 2, inUse);
        if (const auto at = target.find("%f"); at != std::string::npos) target.replace(at, 2, free);
        settings.Outputs[n].Active = true;
        settings.Outputs[n].Net = target;
    }
    outputs.Start(true);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(outputs[n].StartFailed, c.Failed[n - 1]) << "output " << n;
        EXPECT_EQ(outputs[n].OpenPort != nullptr, !c.Failed[n - 1]) << "output " << n;
    }
    ASSERT_FALSE(host.Messages.empty());
    EXPECT_EQ(host.Messages.front().Text.rfind(c.Message, 0), 0u) << host.Messages.front().Text;
    EXPECT_EQ(host.Messages.front().Caption, c.Caption);
    EXPECT_TRUE(outputs.Stop(false));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetworkStart,
    ::testing::Values(
        StartCase{"PortInUse", {"tcp-listen:127.0.0.1:%d", "udp:127.0.0.1:%f", "tcp:127.0.0.1:%f"},
                  {true, false, false}, "无法打开网络端口 tcp-listen:127.0.0.1:", "错误"},
        StartCase{"MalformedAddress", {"udp:127.0.0.1:%f", "tcp:bad host:5000", "tcp-listen:127.0.0.1:%f"},
                  {false, true, false}, "无法打开网络端口 tcp:bad host:5000：", "错误"},
        StartCase{"AddressNotOnThisMachine", {"udp:127.0.0.1:%f", "tcp-listen:127.0.0.1:%f", "tcp-listen:192.0.2.1:1"},
                  {false, false, true}, "无法打开网络端口 tcp-listen:192.0.2.1:1：", "错误"},
        StartCase{"TwoServersOnOnePort", {"tcp-listen:127.0.0.1:%f", "tcp-listen:127.0.0.2:%f", "udp:127.0.0.1:%f"},
                  {false, true, false}, "输出2与输出1均监听TCP端口", "端口重复"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(NetworkStop, TheStopChoiceNamesNetworkOutputsByTheirAddress)
{
    Settings settings;
    testing::RecordingHost host;
    host.StopAnswer = std::array<bool, 4>{false, true, true, false};
    SystemPortFactory ports("/nonexistent-tolvex-ports");
    OutputChannels outputs(settings, host, ports, nullptr);
    settings.Outputs[1].Active = settings.Outputs[2].Active = true;
    settings.Outputs[1].Net = "tcp-listen:127.0.0.1:0";
    settings.Outputs[2].Net = "udp:127.0.0.1:9";
    outputs.Start(true);
    ASSERT_TRUE(outputs.Stop(true));
    ASSERT_EQ(host.StopChoices.size(), 1u);
    const auto& entries = host.StopChoices.front();
    EXPECT_EQ(entries[1].Label.rfind("输出1：TCP服务器 127.0.0.1:", 0), 0u) << entries[1].Label;
    EXPECT_EQ(entries[2].Label, "输出2：UDP 127.0.0.1:9");
    EXPECT_EQ(entries[3].Label, "输出3：未启动");
    EXPECT_FALSE(outputs.AnyOpen());
}

}  // namespace
}  // namespace tolvex
