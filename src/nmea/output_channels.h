#pragma once
// Outputs 0..3: starting, stopping and writing. Output 0 is the OziExplorer link, 1..3 serial ports.

#include "config/settings.h"
#include "nmea/output_table.h"

namespace tolvex {

class Host;
class OziLink;
class PortFactory;

class OutputChannels {
public:
    OutputChannels(Settings& settings, Host& host, PortFactory& ports, OziLink* ozi);

    // Steps 1..3 of StartOutputs with open (Run): counters reset, the link and every active serial
    // output not yet running started. Without open (leaving Pause) nothing changes. The run-state
    // change is the caller's.
    void Start(bool open);
    // StopOutputs. With ask and more than one output running, the host chooses; false on Cancel.
    bool Stop(bool ask);
    bool AnyOpen() const;
    // One output on its own, leaving the others' counters alone: k 0 is the link, 1..3 serial.
    // Open starts it if its Active setting is on and it is not running yet; Close stops it.
    void Open(int k);
    void Close(int k);
    // Close step: virtual ports whose removal failed are tried once more, with a warning each.
    void RemoveLeftoverPorts();

    // One sentence to output k (1..3). A vanished device closes the output and marks it failed.
    void Write(int k, const char* bytes, int length);
    // Between ticks: network outputs accept, flush and reconnect, none of it waiting on a peer.
    void Service();

    OutputTable& Table() { return m_table; }
    const OutputTable& Table() const { return m_table; }
    OutputRuntime& operator[](int k) { return m_table[k]; }
    const OutputRuntime& operator[](int k) const { return m_table[k]; }
    OziLink* Ozi() const { return m_ozi; }

private:
    void StartLink();
    void StartSerial(int i);
    void StartNetwork(int i);
    void CloseSerial(int i);

    Settings& m_settings;
    Host& m_host;
    PortFactory& m_ports;
    OziLink* m_ozi;
    OutputTable m_table;
};

}  // namespace tolvex
