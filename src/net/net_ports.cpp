#include "net/net_ports.h"

#include <cstdio>

#include "links/port_messages.h"
#include "net/announcer.h"
#include "net/net_address.h"
#include "net/tcp_client_port.h"
#include "net/tcp_server_port.h"
#include "net/udp_port.h"
#include "sim/host.h"
#include "sim/texts.h"

namespace tolvex {

std::unique_ptr<SerialPort> OpenNetworkPort(const std::string& target, Host& host)
{
    const NetSpecResult parsed = ParseNetSpec(target);
    std::string error = parsed.Error;
    std::unique_ptr<SerialPort> port;
    if (parsed.Endpoint) {
        const NetEndpoint& endpoint = *parsed.Endpoint;
        switch (endpoint.Kind) {
        case NetKind::TcpListen: {
            auto server = TcpServerPort::Open(endpoint, error);
            // A loopback server is out of the network's reach: announcing it would lead peers nowhere.
            if (server && !server->IsLoopback()) server->SetAnnouncer(Announcer::Start(server->BoundPort()));
            port = std::move(server);
            break;
        }
        case NetKind::TcpClient:
            port = TcpClientPort::Open(endpoint, error);
            break;
        case NetKind::Udp:
            port = UdpPort::Open(endpoint, error);
            break;
        }
    }
    if (!port) {
        char text[512];
        std::snprintf(text, sizeof text, Texts::tr(CannotOpenNetPortText).c_str(), target.c_str(), error.c_str());
        host.ShowMessage(text, Texts::tr(ErrorCaption), MessageIcon::Error);
    }
    return port;
}

int ListeningPortOf(const std::string& target)
{
    const NetSpecResult parsed = ParseNetSpec(target);
    return parsed.Endpoint && parsed.Endpoint->Kind == NetKind::TcpListen ? parsed.Endpoint->Port : 0;
}

}  // namespace tolvex
