#include "links/real_serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "links/line_settings.h"
#include "links_test_support.h"

namespace tolvex {
namespace {

using testing::OpenReader;
using testing::ReadBytes;
using testing::RecordingHost;
using testing::ScratchDir;
using testing::SocatPair;

TEST(ComDevicePath, NumbersMapToTtySAndAnExplicitDeviceWins)
{
    EXPECT_EQ(ComDevicePath(1, ""), "/dev/ttyS0");
    EXPECT_EQ(ComDevicePath(3, ""), "/dev/ttyS2");
    EXPECT_EQ(ComDevicePath(12, ""), "/dev/ttyS11");
    EXPECT_EQ(ComDevicePath(3, "/dev/ttyUSB0"), "/dev/ttyUSB0");
}

struct LineCase {
    const char* Name;
    int BaudRate;
    int ParityIndex;
    int StopBitsIndex;
    speed_t StandardCode;  // B0 where the rate has no constant
    int StopBitsReadBack;
};

class RealPortSettings : public ::testing::TestWithParam<LineCase> {};

TEST_P(RealPortSettings, DeviceReportsWhatWasAsked)
{
    const LineCase& c = GetParam();
    ScratchDir dir;
    SocatPair pair(dir.Path());
    ASSERT_TRUE(pair.Ready) << "socat did not start";
    RecordingHost host;
    SerialPortRequest request{.Number = 3, .Virtual = false, .BaudRate = c.BaudRate, .ParityIndex = c.ParityIndex,
                              .StopBitsIndex = c.StopBitsIndex, .Device = pair.DeviceEnd};
    auto port = RealSerialPort::Open(request, host);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(host.Messages.empty());

    termios t{};
    ASSERT_EQ(::tcgetattr(port->Descriptor(), &t), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    // Parity cannot be read back here: the pty driver always clears PARENB (see LineControlFlags below).
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.StopBitsReadBack == 2);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    if (c.StandardCode != B0) {
        EXPECT_EQ(::cfgetospeed(&t), c.StandardCode);
    }

    const auto readBack = ReadLineSettings(port->Descriptor());
    ASSERT_TRUE(readBack.has_value());
    EXPECT_EQ(readBack->BaudRate, c.BaudRate);
    EXPECT_EQ(readBack->StopBitsIndex, c.StopBitsReadBack);
    EXPECT_EQ(readBack->DataBits, 8);
}

INSTANTIATE_TEST_SUITE_P(
    BaudParityStop, RealPortSettings,
    ::testing::Values(LineCase{"Default4800None1", 4800, 0, 0, B4800, 0},
                      LineCase{"Slowest1200Odd2", 1200, 1, 2, B1200, 2},
                      LineCase{"Rate14400Even", 14400, 2, 0, B0, 0},
                      LineCase{"Rate56000OneAndAHalfGivesTwo", 56000, 0, 1, B0, 2},
                      LineCase{"Rate57600Odd", 57600, 1, 0, B57600, 0},
                      LineCase{"Rate115200Even2", 115200, 2, 2, B115200, 2},
                      LineCase{"Rate128000", 128000, 0, 0, B0, 0},
                      LineCase{"Fastest256000Odd", 256000, 1, 2, B0, 2}),
    [](const auto& info) { return std::string(info.param.Name); });

struct FlagsCase {
    int ParityIndex;
    int StopBitsIndex;
    tcflag_t Expected;  // in <termios.h> terms, independent of the kernel header the code uses
};

TEST(LineControlFlags, ParityAndStopBitsMapToTheTerminalBits)
{
    constexpr tcflag_t Base = CS8 | CREAD | CLOCAL;
    const FlagsCase cases[] = {
        {0, 0, Base},
        {1, 0, Base | PARENB | PARODD},
        {2, 0, Base | PARENB},
        {0, 1, Base | CSTOPB},
        {0, 2, Base | CSTOPB},
        {1, 2, Base | PARENB | PARODD | CSTOPB},
    };
    for (const FlagsCase& c : cases) {
        EXPECT_EQ(LineControlFlags({.ParityIndex = c.ParityIndex, .StopBitsIndex = c.StopBitsIndex}), c.Expected)
            << "parity " << c.ParityIndex << " stop bits " << c.StopBitsIndex;
    }
}

TEST(RealSerialPort, BytesArriveInOrderAtTheOtherEnd)
{
    ScratchDir dir;
    SocatPair pair(dir.Path());
    ASSERT_TRUE(pair.Ready);
    const int peer = OpenReader(pair.PeerEnd);
    ASSERT_GE(peer, 0);
    RecordingHost host;
    auto port = RealSerialPort::Open({.Number = 5, .Virtual = false, .BaudRate = 115200, .Device = pair.DeviceEnd}, host);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->Describe(), "COM5 " + pair.DeviceEnd);
    EXPECT_FALSE(port->IsVirtual());
    EXPECT_EQ(port->Number(), 5);

    std::string sent;
    for (int i = 0; i < 200; ++i) {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "$GPTST,%03d,\r\n", i);
        ASSERT_EQ(port->Write(line, static_cast<std::size_t>(n)), WriteResult::Written);
        sent.append(line, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(ReadBytes(peer, sent.size()), sent);
    ::close(peer);
}

TEST(RealSerialPort, VanishedDeviceIsReportedGoneAndStaysGone)
{
    ScratchDir dir;
    SocatPair pair(dir.Path());
    ASSERT_TRUE(pair.Ready);
    RecordingHost host;
    auto port = RealSerialPort::Open({.Number = 2, .Virtual = false, .Device = pair.DeviceEnd}, host);
    ASSERT_NE(port, nullptr);
    pair.Kill();
    const char line[] = "$GPGGA,\r\n";
    EXPECT_EQ(port->Write(line, sizeof line - 1), WriteResult::DeviceGone);
    EXPECT_EQ(port->Write(line, sizeof line - 1), WriteResult::DeviceGone);
    EXPECT_EQ(port->Descriptor(), -1);
    port->Close();  // closing a gone port is harmless
}

struct OpenFailureCase {
    const char* Name;
    int Number;
    const char* Device;  // "" keeps /dev/ttyS<n-1>; "FILE" makes a regular file
    const char* Expected;
};

class RealPortOpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(RealPortOpenFailure, ShowsTheMessageWithTheComName)
{
    const OpenFailureCase& c = GetParam();
    ScratchDir dir;
    std::string device = c.Device;
    if (device == "FILE") {
        device = dir / "track.nmea";
        const int fd = ::open(device.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(::write(fd, "keep", 4), 4);
        ::close(fd);
    }
    RecordingHost host;
    auto port = RealSerialPort::Open({.Number = c.Number, .Virtual = false, .Device = device}, host);
    EXPECT_EQ(port, nullptr);
    ASSERT_EQ(host.Messages.size(), 1u);
    std::string expected = c.Expected;  // the device path and the system's reason follow the name
    if (const auto at = expected.find("{dir}"); at != std::string::npos) expected.replace(at, 5, dir.Path());
    EXPECT_EQ(host.Messages[0].Text, expected);
    EXPECT_EQ(host.Messages[0].Caption, "错误");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Error);
    if (std::string(c.Device) == "FILE") {
        char kept[8] = {};
        const int fd = ::open(device.c_str(), O_RDONLY);
        EXPECT_EQ(::read(fd, kept, sizeof kept), 4);
        EXPECT_STREQ(kept, "keep");
        ::close(fd);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RealPortOpenFailure,
    ::testing::Values(OpenFailureCase{"MissingDevice", 7, "/nonexistent/ttyX",
                                      "无法打开串口 COM7 (/nonexistent/ttyX: No such file or directory)"},
                      OpenFailureCase{"RegularFileIsNoPort", 12, "FILE",
                                      "无法打开串口 COM12 ({dir}/track.nmea: not a serial device)"},
                      OpenFailureCase{"NumberAboveThirty", 31, "/dev/null", "无法打开串口 COM31 (COM31 is outside COM1..COM30)"},
                      OpenFailureCase{"NumberZero", 0, "", "无法打开串口 COM0 (COM0 is outside COM1..COM30)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(RealSerialPort, SecondOpenOfTheSameDeviceIsRefused)
{
    ScratchDir dir;
    SocatPair pair(dir.Path());
    ASSERT_TRUE(pair.Ready);
    RecordingHost host;
    auto first = RealSerialPort::Open({.Number = 4, .Virtual = false, .Device = pair.DeviceEnd}, host);
    ASSERT_NE(first, nullptr);
    auto second = RealSerialPort::Open({.Number = 9, .Virtual = false, .Device = pair.DeviceEnd}, host);
    EXPECT_EQ(second, nullptr);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "无法打开串口 COM9 (" + pair.DeviceEnd + ": in use by another program)");

    first->Close();
    auto again = RealSerialPort::Open({.Number = 9, .Virtual = false, .Device = pair.DeviceEnd}, host);
    EXPECT_NE(again, nullptr);
}

}  // namespace
}  // namespace tolvex
