#pragma once
// Announces a running TCP server on the local network through the Avahi daemon, as service type
// "_nmea-0183._tcp", so that the desktop's location service and marine apps find it. Without a
// daemon (or without a system bus) nothing is announced and nothing fails.

#include <memory>
#include <string>

namespace tolvex {

inline constexpr char NmeaServiceType[] = "_nmea-0183._tcp";

class Announcer {
public:
    // Null when no Avahi daemon answers. The daemon is asked once here; the rest of the exchange
    // (registration, a renamed service after a name clash) happens in Service.
    static std::unique_ptr<Announcer> Start(int port);
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // Between ticks: handles the daemon's replies without waiting for any.
    void Service();
    // The name the service is registered under ("Tolvex on host port 10110"), empty until the
    // daemon confirmed it.
    const std::string& EstablishedName() const { return m_established; }

    struct Impl;

private:
    explicit Announcer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
    std::string m_established;
    friend struct Impl;
};

}  // namespace tolvex
