#pragma once
// "tcp-listen:": a server every connected client of which receives each sentence group from the
// moment it connects. One non-blocking thread: accepting, reading (and ignoring) what clients
// send and flushing their queues happen in Service between ticks; a client whose queue would
// pass its limit is disconnected rather than waited for.

#include <memory>
#include <string>
#include <vector>

#include "links/serial_port.h"
#include "net/net_address.h"
#include "net/send_queue.h"

namespace tolvex {

class Announcer;

class TcpServerPort final : public SerialPort {
public:
    // Binds and listens; null with the system's reason in error.
    static std::unique_ptr<TcpServerPort> Open(const NetEndpoint& endpoint, std::string& error);
    ~TcpServerPort() override;

    int Number() const override { return 0; }
    bool IsVirtual() const override { return false; }
    std::string Describe() const override;  // "TCP 127.0.0.1:10110 listening"
    WriteResult Write(const char* bytes, std::size_t length) override;
    void Close() override;
    bool IsPeerOpen() override { return !m_clients.empty(); }
    std::string NetworkLabel() const override;
    void Service() override;

    // The address really bound, with the port the system chose for port 0.
    const std::string& BoundAddress() const { return m_bound; }
    int BoundPort() const { return m_port; }
    bool IsLoopback() const { return m_loopback; }
    std::size_t ClientCount() const { return m_clients.size(); }
    void SetMaxClients(int count) { m_maxClients = count; }
    // Takes over the announcement of this server on the local network; served with the sockets.
    void SetAnnouncer(std::unique_ptr<Announcer> announcer);

private:
    struct Client {
        int Fd = -1;
        SendQueue Queue;
    };
    TcpServerPort(int listenFd, int pollFd, std::string bound, int port, bool loopback);
    void AcceptClients();
    void DropClient(std::size_t index);
    void SendGroup();

    int m_listenFd;
    int m_pollFd;  // epoll over the listening socket and every client
    std::string m_bound;
    int m_port;
    bool m_loopback;
    int m_maxClients = NetEndpoint{}.MaxClients;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::string m_group;  // written since the last Service, the same bytes for every client
    std::unique_ptr<Announcer> m_announcer;
};

}  // namespace tolvex
