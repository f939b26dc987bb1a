#pragma once
// A real serial device driven through termios: the Linux side of OpenSerialPort for real ports.

#include <memory>
#include <string>

#include "links/device_write.h"
#include "links/serial_port.h"

namespace tolvex {

// The one place a COM number becomes a device path: COMn is /dev/ttyS<n-1> unless a device is given.
std::string ComDevicePath(int number, const std::string& device);

// "COM%d" of the number, as messages and the operator see it.
std::string ComName(int number);

class RealSerialPort final : public SerialPort {
public:
    // Shows "无法打开串口 COMn " through the host and gives null when the device cannot be opened.
    static std::unique_ptr<RealSerialPort> Open(const SerialPortRequest& request, Host& host);
    ~RealSerialPort() override;

    int Number() const override { return m_nNumber; }
    bool IsVirtual() const override { return false; }
    std::string Describe() const override;
    WriteResult Write(const char* bytes, std::size_t length) override;
    void Close() override;

    int Descriptor() const { return m_fd; }  // -1 once closed

private:
    RealSerialPort(int number, std::string path, int fd);

    int m_nNumber;
    std::string m_path;
    int m_fd;  // -1 once closed or gone
    SentenceQueue m_queue;  // what the line has not taken yet
};

}  // namespace tolvex
