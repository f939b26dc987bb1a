#pragma once
// The address of a network output as the settings file and the command line write it:
// "tcp-listen:[ADDR:]PORT[?clients=N]", "tcp:HOST:PORT" or "udp:HOST:PORT[?ttl=N]". IPv6 addresses may be
// written in brackets ("tcp-listen:[::1]:10110"); the port is always after the last colon.

#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <vector>

namespace tolvex {

enum class NetKind { TcpListen, TcpClient, Udp };

struct NetEndpoint {
    NetKind Kind = NetKind::TcpListen;
    std::string Host;  // a name or a numeric address, without brackets
    int Port = 0;      // 1..65535; 0 only for a server (the system picks one)
    int Ttl = 1;       // udp: multicast hop limit 1..255
    int MaxClients = 64;  // tcp-listen: clients served at once, 1..4096
};

inline constexpr std::string_view DefaultListenAddress = "127.0.0.1";
inline constexpr int MaxHostNameChars = 253;

struct NetSpecResult {
    std::optional<NetEndpoint> Endpoint;
    std::string Error;  // English, naming the fault, when Endpoint is empty
};
NetSpecResult ParseNetSpec(std::string_view text);

// The target written back in the form ParseNetSpec reads ("tcp-listen:127.0.0.1:10110").
std::string FormatNetSpec(const NetEndpoint& endpoint);

// "127.0.0.1:10110" or "[::1]:10110" of a socket address.
std::string FormatSocketAddress(const sockaddr* address, socklen_t length);

// getaddrinfo for a stream or datagram socket; numeric hosts are taken without a look-up. Every
// address found, in the resolver's order; empty with the resolver's reason in error.
struct ResolvedAddress {
    sockaddr_storage Address{};
    socklen_t Length = 0;
    int Family = 0;
};
std::vector<ResolvedAddress> ResolveEndpoint(const std::string& host, int port, int socketType, bool passive,
                                             std::string& error);

// True for 127.0.0.0/8 and ::1 (and ::ffff:127.x.y.z): such a server is reachable from this
// machine only.
bool IsLoopbackAddress(const sockaddr* address);
bool IsMulticastAddress(const sockaddr* address);

}  // namespace tolvex
