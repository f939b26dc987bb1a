#include "net/net_address.h"

#include <gtest/gtest.h>

#include "net/output_target.h"

namespace tolvex {
namespace {

struct SpecCase {
    const char* Name;
    std::string_view Text;
    bool Valid;
    NetKind Kind = NetKind::TcpListen;
    const char* Host = "";
    int Port = 0;
    int Ttl = 1;
    const char* Written = "";  // FormatNetSpec of the result
    int MaxClients = 64;
};

class NetSpec : public ::testing::TestWithParam<SpecCase> {};

TEST_P(NetSpec, ParsesOrNamesTheFault)
{
    const SpecCase& c = GetParam();
    const NetSpecResult r = ParseNetSpec(c.Text);
    ASSERT_EQ(r.Endpoint.has_value(), c.Valid) << r.Error;
    if (!c.Valid) {
        EXPECT_FALSE(r.Error.empty());
        return;
    }
    EXPECT_EQ(r.Endpoint->Kind, c.Kind);
    EXPECT_EQ(r.Endpoint->Host, c.Host);
    EXPECT_EQ(r.Endpoint->Port, c.Port);
    EXPECT_EQ(r.Endpoint->Ttl, c.Ttl);
    EXPECT_EQ(r.Endpoint->MaxClients, c.MaxClients);
    EXPECT_EQ(FormatNetSpec(*r.Endpoint), c.Written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetSpec,
    ::testing::Values(
        SpecCase{"ServerPortOnlyServesLoopback", "tcp-listen:10110", true, NetKind::TcpListen, "127.0.0.1", 10110, 1,
                 "tcp-listen:127.0.0.1:10110"},
        SpecCase{"ServerOnEveryIPv4Address", "tcp-listen:0.0.0.0:10110", true, NetKind::TcpListen, "0.0.0.0", 10110, 1,
                 "tcp-listen:0.0.0.0:10110"},
        SpecCase{"ServerOnEveryIPv6AddressUnbracketed", "tcp-listen:::10110", true, NetKind::TcpListen, "::", 10110, 1,
                 "tcp-listen:[::]:10110"},
        SpecCase{"ServerOnIPv6LoopbackBracketed", " tcp-listen:[::1]:2947 ", true, NetKind::TcpListen, "::1", 2947, 1,
                 "tcp-listen:[::1]:2947"},
        SpecCase{"ServerOnAPortTheSystemPicks", "tcp-listen:0", true, NetKind::TcpListen, "127.0.0.1", 0, 1,
                 "tcp-listen:127.0.0.1:0"},
        SpecCase{"ServerForMoreClients", "tcp-listen:10110?clients=1000", true, NetKind::TcpListen, "127.0.0.1", 10110,
                 1, "tcp-listen:127.0.0.1:10110?clients=1000", 1000},
        SpecCase{"ClientToAName", "tcp:tracker.example:5000", true, NetKind::TcpClient, "tracker.example", 5000, 1,
                 "tcp:tracker.example:5000"},
        SpecCase{"UdpMulticastWithItsHopLimit", "udp:239.1.2.3:10110?ttl=4", true, NetKind::Udp, "239.1.2.3", 10110, 4,
                 "udp:239.1.2.3:10110?ttl=4"},
        SpecCase{"UdpIPv6LinkLocalMulticast", "udp:ff02::1:10110", true, NetKind::Udp, "ff02::1", 10110, 1,
                 "udp:[ff02::1]:10110"},
        SpecCase{"UnknownKind", "http:host:80", false},
        SpecCase{"ClientWithoutHost", "tcp::5000", false},
        SpecCase{"ClientPortZero", "tcp:host:0", false},
        SpecCase{"PortBeyondRange", "udp:host:65536", false},
        SpecCase{"PortNotANumber", "tcp-listen:127.0.0.1:nmea", false},
        SpecCase{"PortMissingAfterBrackets", "tcp-listen:[::1]", false},
        SpecCase{"UnclosedBracket", "tcp:[::1:5000", false},
        SpecCase{"IPv6WithItsZone", "tcp:[fe80::1%eth0]:5000", true, NetKind::TcpClient, "fe80::1%eth0", 5000, 1,
                 "tcp:[fe80::1%eth0]:5000"},
        SpecCase{"BadIPv6", "tcp:fe80::zz:5000", false},
        SpecCase{"ZoneThatIsNoInterfaceName", "udp:[e::%a]b]:5", false},
        SpecCase{"NulInsideAnIPv6Address", std::string_view("udp:::\0]:5", 10), false},
        SpecCase{"SpaceInName", "tcp:bad host:5000", false},
        SpecCase{"TtlOnAServer", "tcp-listen:10110?ttl=2", false},
        SpecCase{"TtlOutOfRange", "udp:239.1.2.3:10110?ttl=256", false},
        SpecCase{"ClientsOnAUdpOutput", "udp:239.1.2.3:10110?clients=2", false},
        SpecCase{"NoClientsAtAll", "tcp-listen:10110?clients=0", false}),
    [](const auto& info) { return std::string(info.param.Name); });

struct OutputTargetCase {
    const char* Name;
    const char* Text;
    bool Valid;
    bool Active = true;
    bool Virtual = true;
    int Port = 2;
    const char* Device = "";
    int BaudRateIndex = 2;
    const char* Net = "";
};

class OutputTarget : public ::testing::TestWithParam<OutputTargetCase> {};

// Every form sets the output's kind and leaves the rest; a refused form leaves the output untouched.
TEST_P(OutputTarget, SetsTheOutputForTheRun)
{
    const OutputTargetCase& c = GetParam();
    OutputSettings o;
    o.Active = false;
    o.Port = 2;
    o.Interval = 200;
    o.Net = "udp:10.0.0.1:1";
    const OutputSettings before = o;
    const std::string error = ApplyOutputTarget(c.Text, o);
    ASSERT_EQ(error.empty(), c.Valid) << error;
    if (!c.Valid) {
        EXPECT_EQ(o.Net, before.Net);
        EXPECT_EQ(o.Active, before.Active);
        return;
    }
    EXPECT_EQ(o.Active, c.Active);
    EXPECT_EQ(o.Interval, 200);
    if (!c.Active) return;
    EXPECT_EQ(o.Virtual, c.Virtual);
    EXPECT_EQ(o.Port, c.Port);
    EXPECT_EQ(o.Device, c.Device);
    EXPECT_EQ(o.BaudRateIndex, c.BaudRateIndex);
    EXPECT_EQ(o.Net, c.Net);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputTarget,
    ::testing::Values(OutputTargetCase{"Off", "off", true, false},
                      OutputTargetCase{"Virtual", "virtual:COM7", true, true, true, 6},
                      OutputTargetCase{"SerialByNumber", "serial:COM1@9600", true, true, false, 0, "", 3},
                      OutputTargetCase{"SerialByDevice", "serial:/dev/ttyUSB0@115200", true, true, false, 2,
                                     "/dev/ttyUSB0", 9},
                      OutputTargetCase{"Network", "tcp-listen:10110", true, true, true, 2, "", 2,
                                     "tcp-listen:127.0.0.1:10110"},
                      OutputTargetCase{"ComBeyondThirty", "virtual:COM31", false},
                      OutputTargetCase{"BaudNotInTheList", "serial:COM1@1234", false},
                      OutputTargetCase{"VirtualWithBaud", "virtual:COM3@4800", false},
                      OutputTargetCase{"NoKind", "COM3", false},
                      OutputTargetCase{"BadNetwork", "udp:host", false}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tolvex
