#include "nmea/output_channels.h"

#include <algorithm>
#include <cstdio>

#include "links/ozi_link.h"
#include "links/real_serial_port.h"
#include "links/serial_port.h"
#include "net/net_ports.h"
#include "sim/host.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

std::string Format(const char* format, auto... args)
{
    char buffer[4400];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

OutputChannels::OutputChannels(Settings& settings, Host& host, PortFactory& ports, OziLink* ozi)
    : m_settings(settings), m_host(host), m_ports(ports), m_ozi(ozi)
{
}

void OutputChannels::Start(bool open)
{
    // Leaving Pause keeps the counters running: the outputs kept sending while paused, and a reset
    // would leave a gap of up to two intervals in the stream.
    if (!open) return;
    for (auto& output : m_table) output.TickCounter = 0;

    StartLink();
    for (int i = 1; i < OutputCount; ++i) {
        if (!m_settings.Outputs[i].Active || m_table[i].OpenPort != nullptr) continue;
        if (m_settings.Outputs[i].Net.empty())
            StartSerial(i);
        else
            StartNetwork(i);
    }
}

void OutputChannels::StartLink()
{
    OutputRuntime& link = m_table[0];
    if (m_ozi != nullptr) {
        if (m_settings.Outputs[0].Active && !link.LinkUp) {
            link.LinkUp = m_ozi->Start(m_host);
            link.StartFailed = !link.LinkUp;
        }
        if (link.LinkUp) m_ozi->StartMMapi();
    } else if (m_settings.Outputs[0].Active) {
        link.StartFailed = true;  // no link available in this front end
    }
}

void OutputChannels::Open(int k)
{
    if (k == 0) {
        StartLink();
    } else if (k > 0 && k < OutputCount && m_settings.Outputs[k].Active && m_table[k].OpenPort == nullptr) {
        m_table[k].TickCounter = 0;
        if (m_settings.Outputs[k].Net.empty())
            StartSerial(k);
        else
            StartNetwork(k);
    }
}

void OutputChannels::Close(int k)
{
    if (k == 0 && m_table[0].LinkUp) {
        m_table[0].LinkUp = false;
        if (m_ozi != nullptr) m_ozi->Stop();
    }
    if (k > 0 && k < OutputCount) CloseSerial(k);
    if (k >= 0 && k < OutputCount) m_table[k].StartFailed = false;
}

void OutputChannels::StartSerial(int i)
{
    const OutputSettings& s = m_settings.Outputs[i];
    const int number = s.Port + 1;
    // A port is named by its COM number and, when real, by a device that Output%dDevice may set:
    // either one shared is a clash.
    const std::string device = s.Virtual ? std::string() : ComDevicePath(number, s.Device);
    for (int j = 1; j < OutputCount; ++j) {
        const OutputRuntime& other = m_table[j];
        if (j == i || other.OpenPort == nullptr) continue;
        const bool sameNumber = other.PortNumber == number;
        if (!sameNumber && (device.empty() || other.PortDevice != device)) continue;
        m_table[i].StartFailed = true;
        const std::string text =
            sameNumber ? Format(Texts::tr("输出%d与输出%d的串口均为COM%d，无法启动输出%d ").c_str(), i, j, number, i)
                       : Format(Texts::tr("输出%d（COM%d）与输出%d（COM%d）的串口均为%s，无法启动输出%d ").c_str(), i, number, j,
                                other.PortNumber, device.c_str(), i);
        m_host.ShowMessage(text, Texts::tr("端口重复"), MessageIcon::Error);
        return;
    }
    SerialPortRequest request;
    request.Number = s.Port + 1;
    request.Virtual = s.Virtual;
    request.BaudRate = BaudRates[static_cast<std::size_t>(std::clamp(s.BaudRateIndex, 0, 11))];
    request.ParityIndex = s.ParityIndex;
    request.StopBitsIndex = s.StopBitsIndex;
    request.Device = s.Device;
    m_table[i].OpenPort = m_ports.Open(request, m_host);
    m_table[i].StartFailed = m_table[i].OpenPort == nullptr;
    m_table[i].PortNumber = m_table[i].OpenPort ? number : 0;
    m_table[i].PortDevice = m_table[i].OpenPort ? device : std::string();
}

void OutputChannels::StartNetwork(int i)
{
    const OutputSettings& s = m_settings.Outputs[i];
    // Servers clash by their TCP port alone; clients and UDP senders share destinations freely.
    const int listen = ListeningPortOf(s.Net);
    for (int j = 1; j < OutputCount; ++j) {
        if (j == i || m_table[j].OpenPort == nullptr || listen == 0 || m_table[j].ListenPort != listen) continue;
        m_table[i].StartFailed = true;
        m_host.ShowMessage(Format(Texts::tr(NetPortClashText).c_str(), i, j, listen, i), Texts::tr("端口重复"), MessageIcon::Error);
        return;
    }
    m_table[i].OpenPort = m_ports.OpenNetwork(s.Net, m_host);
    m_table[i].StartFailed = m_table[i].OpenPort == nullptr;
    m_table[i].ListenPort = m_table[i].OpenPort ? listen : 0;
}

void OutputChannels::CloseSerial(int i)
{
    if (m_table[i].OpenPort) {
        m_table[i].OpenPort->Close();
        m_table[i].OpenPort.reset();
    }
    m_table[i].PortNumber = 0;
    m_table[i].PortDevice.clear();
    m_table[i].ListenPort = 0;
}

bool OutputChannels::Stop(bool ask)
{
    std::array<bool, OutputCount> close = {true, true, true, true};
    int running = 0;
    for (const auto& output : m_table) running += output.IsOpen() ? 1 : 0;
    if (ask && running > 1) {
        std::array<StopChoiceEntry, OutputCount> entries;
        entries[0].Enabled = m_table[0].LinkUp;
        entries[0].Label = entries[0].Enabled ? Texts::tr("输出0：OziExplorer") : Texts::tr("输出0：OziExplorer未启动");
        for (int n = 1; n < OutputCount; ++n) {
            const SerialPort* port = m_table[n].OpenPort.get();
            entries[n].Enabled = port != nullptr;
            if (port == nullptr)
                entries[n].Label = Format(Texts::tr("输出%d：未启动").c_str(), n);
            else if (!port->NetworkLabel().empty())
                entries[n].Label = Format(Texts::tr("输出%d：%s").c_str(), n, port->NetworkLabel().c_str());
            else
                entries[n].Label = Format(Texts::tr("输出%d：%sCOM%d").c_str(), n, port->IsVirtual() ? Texts::tr("虚拟").c_str() : "", port->Number());
        }
        for (auto& entry : entries) entry.Checked = entry.Enabled;
        const auto chosen = m_host.ChooseOutputsToStop(entries);
        if (!chosen) return false;
        close = *chosen;
    }
    if (close[0] && m_table[0].LinkUp) {
        m_table[0].LinkUp = false;
        m_table[0].StartFailed = false;
        if (m_ozi != nullptr) m_ozi->Stop();
    }
    for (int i = 1; i < OutputCount; ++i) {
        if (!close[i]) continue;
        CloseSerial(i);
        m_table[i].StartFailed = false;
    }
    return true;
}

void OutputChannels::Service()
{
    for (auto& output : m_table)
        if (output.OpenPort) output.OpenPort->Service();
}

void OutputChannels::RemoveLeftoverPorts() { m_ports.RemoveLeftoverPorts(m_host); }

bool OutputChannels::AnyOpen() const
{
    for (const auto& output : m_table)
        if (output.IsOpen()) return true;
    return false;
}

void OutputChannels::Write(int k, const char* bytes, int length)
{
    SerialPort* port = m_table[k].OpenPort.get();
    if (port == nullptr) return;
    if (port->Write(bytes, static_cast<std::size_t>(length)) == WriteResult::DeviceGone) {
        CloseSerial(k);
        m_table[k].StartFailed = true;
    }
}

}  // namespace tolvex
