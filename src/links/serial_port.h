#pragma once
// A running output port: a real device through termios, a virtual COM port (a pseudo-terminal) or
// a network endpoint (TCP server, TCP client, UDP).

#include <cstddef>
#include <memory>
#include <string>

namespace tolvex {

class Host;

enum class WriteResult {
    Written,     // all bytes handed to the device (or dropped because no program reads a virtual port)
    TimedOut,    // a sentence not begun within 1000 ms was dropped whole; the output keeps running
    DeviceGone,  // the device vanished (adapter pulled out): the output must be closed and marked failed
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual int Number() const = 0;  // COM number 1..30
    virtual bool IsVirtual() const = 0;
    // One line for the operator: "COM3 /run/user/1000/tolvex/COM3 -> /dev/pts/4" or "COM3 /dev/ttyS2".
    virtual std::string Describe() const = 0;
    // WriteSerialPort: one sentence with its CR LF; never waits. What the device cannot take yet
    // goes out with the next write, whole, or is dropped whole after 1000 ms.
    virtual WriteResult Write(const char* bytes, std::size_t length) = 0;
    // CloseSerialPort: closes a real port or removes a virtual one.
    virtual void Close() = 0;
    // A virtual port: another program has it open now (the panel and the options page show it).
    // A network port: a client is connected (TCP), or always (UDP).
    virtual bool IsPeerOpen() { return false; }
    // A network port: its kind and real address for the operator ("TCP服务器 127.0.0.1:10110");
    // empty for a serial port.
    virtual std::string NetworkLabel() const { return {}; }
    // Between ticks: accept, flush and reconnect without blocking. Serial ports have nothing to do.
    virtual void Service() {}
};

struct SerialPortRequest {
    int Number = 1;           // COM number 1..30
    bool Virtual = true;
    int BaudRate = 4800;
    int ParityIndex = 0;      // 0 none, 1 odd, 2 even
    int StopBitsIndex = 0;    // 0 one, 1 one and a half (two on Linux), 2 two
    std::string Device;       // explicit device path of a real port; empty gives /dev/ttyS<Number-1>
};

// OpenSerialPort and the process-wide virtual port table behind it.
class PortFactory {
public:
    virtual ~PortFactory() = default;
    // Reports its own failures through the host ("无法打开串口 %s " and the rest); null on failure.
    virtual std::unique_ptr<SerialPort> Open(const SerialPortRequest& request, Host& host) = 0;
    // A network output ("tcp-listen:10110"), reporting its failures the same way; null on failure.
    virtual std::unique_ptr<SerialPort> OpenNetwork(const std::string& target, Host& host);
    // Close step: removes every virtual port still in the table (kept for a reader or after a failed
    // removal), warning once per port whose link cannot be removed.
    virtual void RemoveLeftoverPorts(Host& host) = 0;
};

}  // namespace tolvex
