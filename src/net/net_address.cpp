#include "net/net_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tolvex {
namespace {

struct KindPrefix {
    std::string_view Prefix;
    NetKind Kind;
};
constexpr KindPrefix KindPrefixes[] = {
    {"tcp-listen:", NetKind::TcpListen},
    {"tcp:", NetKind::TcpClient},
    {"udp:", NetKind::Udp},
};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::optional<int> SmallNumber(std::string_view text, int lo, int hi)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
    return value;
}

bool NameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

// A name or an IPv4 address: letters, digits, '-', '_' and '.'; an IPv6 address must parse as one,
// and its zone after '%' must be an interface name.
bool ValidHost(std::string_view host)
{
    if (host.empty() || host.size() > MaxHostNameChars) return false;
    if (host.find(':') != std::string_view::npos) {
        const auto percent = host.find('%');
        if (percent != std::string_view::npos) {
            const std::string_view zone = host.substr(percent + 1);
            if (zone.empty() || zone.size() > 15 || !std::all_of(zone.begin(), zone.end(), NameChar)) return false;
        }
        const std::string address(host.substr(0, percent));
        // inet_pton stops at a NUL; nothing but these may hide behind it.
        if (address.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) return false;
        in6_addr parsed{};
        return ::inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
    }
    return std::all_of(host.begin(), host.end(), NameChar);
}

NetSpecResult Fail(std::string error) { return {std::nullopt, std::move(error)}; }

}  // namespace

NetSpecResult ParseNetSpec(std::string_view text)
{
    text = Trim(text);
    NetEndpoint endpoint;
    bool known = false;
    for (const KindPrefix& k : KindPrefixes) {
        if (text.substr(0, k.Prefix.size()) == k.Prefix) {
            endpoint.Kind = k.Kind;
            text.remove_prefix(k.Prefix.size());
            known = true;
            break;
        }
    }
    if (!known) return Fail("the address must start with tcp-listen:, tcp: or udp:");

    if (const auto query = text.find('?'); query != std::string_view::npos) {
        const std::string_view option = text.substr(query + 1);
        text = text.substr(0, query);
        if (endpoint.Kind == NetKind::Udp && option.starts_with("ttl=")) {
            const auto ttl = SmallNumber(option.substr(4), 1, 255);
            if (!ttl) return Fail("the ttl must be a number from 1 to 255");
            endpoint.Ttl = *ttl;
        } else if (endpoint.Kind == NetKind::TcpListen && option.starts_with("clients=")) {
            const auto clients = SmallNumber(option.substr(8), 1, 4096);
            if (!clients) return Fail("clients must be a number from 1 to 4096");
            endpoint.MaxClients = *clients;
        } else {
            return Fail("the options are ?clients=N for tcp-listen and ?ttl=N for udp");
        }
    }

    std::string_view host;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return Fail("an IPv6 address in brackets lacks its ']'");
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (rest.size() < 2 || rest.front() != ':') return Fail("the port is missing after the address");
        port = rest.substr(1);
    } else if (text.starts_with("::") && text.size() > 2 &&
               text.find_first_not_of("0123456789", 2) == std::string_view::npos) {
        host = "::";  // "tcp-listen:::10110": every IPv6 (and IPv4) address
        port = text.substr(2);
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    } else {
        port = text;
    }

    const bool server = endpoint.Kind == NetKind::TcpListen;
    if (port.empty()) return Fail("the port is missing");
    const auto number = SmallNumber(port, server ? 0 : 1, 65535);
    if (!number) return Fail(server ? "the port must be a number from 0 to 65535" : "the port must be a number from 1 to 65535");
    endpoint.Port = *number;

    if (host.empty()) {
        if (!server) return Fail("the host is missing");
        host = DefaultListenAddress;
    }
    if (!ValidHost(host)) return Fail("'" + std::string(host) + "' is not a host name or an IP address");
    endpoint.Host = host;
    return {endpoint, {}};
}

std::string FormatNetSpec(const NetEndpoint& endpoint)
{
    std::string text;
    for (const KindPrefix& k : KindPrefixes)
        if (k.Kind == endpoint.Kind) text = k.Prefix;
    if (endpoint.Host.find(':') != std::string::npos)
        text += "[" + endpoint.Host + "]";
    else
        text += endpoint.Host;
    text += ":" + std::to_string(endpoint.Port);
    if (endpoint.Kind == NetKind::Udp && endpoint.Ttl != 1) text += "?ttl=" + std::to_string(endpoint.Ttl);
    if (endpoint.Kind == NetKind::TcpListen && endpoint.MaxClients != NetEndpoint{}.MaxClients)
        text += "?clients=" + std::to_string(endpoint.MaxClients);
    return text;
}

std::string FormatSocketAddress(const sockaddr* address, socklen_t length)
{
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (::getnameinfo(address, length, host, sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    if (address->sa_family == AF_INET6) return "[" + std::string(host) + "]:" + service;
    return std::string(host) + ":" + service;
}

std::vector<ResolvedAddress> ResolveEndpoint(const std::string& host, int port, int socketType, bool passive,
                                             std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socketType;
    hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    std::vector<ResolvedAddress> addresses;
    if (status != 0) {
        error = ::gai_strerror(status);
        return addresses;
    }
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        ResolvedAddress r;
        std::memcpy(&r.Address, a->ai_addr, a->ai_addrlen);
        r.Length = a->ai_addrlen;
        r.Family = a->ai_family;
        addresses.push_back(r);
    }
    ::freeaddrinfo(found);
    if (addresses.empty()) error = "no address found";
    return addresses;
}

bool IsLoopbackAddress(const sockaddr* address)
{
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&a)) return true;
        return IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127;
    }
    return false;
}

bool IsMulticastAddress(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return IN_MULTICAST(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
    if (address->sa_family == AF_INET6)
        return IN6_IS_ADDR_MULTICAST(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return false;
}

}  // namespace tolvex
