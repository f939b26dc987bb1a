#include "links/port_factory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "links_test_support.h"

namespace tolvex {
namespace {

using testing::OpenReader;
using testing::ReadAvailable;
using testing::RecordingHost;
using testing::ScratchDir;

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Makes unlinking in the folder fail, as a folder we may no longer change would; false where the
// file system or our rights allow no such thing.
class FrozenFolder {
public:
    explicit FrozenFolder(std::string folder) : m_folder(std::move(folder))
    {
        const std::string command = "chattr +i '" + m_folder + "' 2>/dev/null";
        if (std::system(command.c_str()) == 0) {
            m_frozen = true;
        } else if (::geteuid() != 0 && ::chmod(m_folder.c_str(), 0500) == 0) {
            m_frozen = m_chmod = true;
        }
    }
    ~FrozenFolder() { Thaw(); }
    void Thaw()
    {
        if (!m_frozen) return;
        if (m_chmod) {
            ::chmod(m_folder.c_str(), 0700);
        } else {
            (void)!std::system(("chattr -i '" + m_folder + "'").c_str());
        }
        m_frozen = false;
    }
    bool Frozen() const { return m_frozen; }

private:
    std::string m_folder;
    bool m_frozen = false;
    bool m_chmod = false;
};

SerialPortRequest VirtualRequest(int number)
{
    return {.Number = number, .Virtual = true, .Device = ""};
}

TEST(SystemPortFactory, EmptyFolderMeansTheDefaultOne)
{
    SystemPortFactory factory("");
    EXPECT_EQ(factory.VirtualPorts().Folder(), DefaultVirtualPortDir());
}

TEST(SystemPortFactory, VirtualPortDescribesItselfAndIsRemovedOnClose)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    auto port = factory.Open(VirtualRequest(3), host);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_TRUE(port->IsVirtual());
    EXPECT_EQ(port->Number(), 3);
    const std::string device = factory.VirtualPorts().DevicePath(3);
    EXPECT_EQ(port->Describe(), "COM3 " + dir.Path() + "/COM3 -> " + device);

    const int reader = OpenReader(dir / "COM3");
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(port->IsPeerOpen());
    const std::string sentence = "$GPRMC,120000,A,3000.0000,N,12000.0000,E,0.00,0.0,010124,,,A*6C\r\n";
    EXPECT_EQ(port->Write(sentence.data(), sentence.size()), WriteResult::Written);
    EXPECT_EQ(ReadAvailable(reader), sentence);
    ::close(reader);
    EXPECT_FALSE(port->IsPeerOpen());

    port->Close();
    EXPECT_FALSE(Exists(dir / "COM3"));
    EXPECT_FALSE(factory.VirtualPorts().HasPort(3));
    EXPECT_FALSE(port->IsPeerOpen());
    EXPECT_EQ(port->Write("x", 1), WriteResult::DeviceGone) << "a closed port takes nothing";
}

// Stop while a navigation program reads the port: it keeps its terminal, hears nothing until Run.
TEST(SystemPortFactory, APortHeldByAReaderStaysSilentAcrossStopAndIsReusedAtRun)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    auto port = factory.Open(VirtualRequest(7), host);
    ASSERT_NE(port, nullptr);
    const std::string device = factory.VirtualPorts().DevicePath(7);
    const int reader = OpenReader(dir / "COM7");
    ASSERT_GE(reader, 0);
    port->Close();
    port.reset();
    EXPECT_TRUE(factory.VirtualPorts().HasPort(7));
    EXPECT_EQ(std::filesystem::read_symlink(dir / "COM7").string(), device);
    pollfd p{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0) << "no hang-up, no data while stopped";

    auto reused = factory.Open(VirtualRequest(7), host);
    ASSERT_NE(reused, nullptr);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(factory.VirtualPorts().DevicePath(7), device);
    EXPECT_EQ(reused->Write("$GPGGA,\r\n", 9), WriteResult::Written);
    EXPECT_EQ(ReadAvailable(reader), "$GPGGA,\r\n");

    // The close of the program removes it all the same, without a warning.
    reused->Close();
    EXPECT_TRUE(factory.VirtualPorts().HasPort(7));
    factory.RemoveLeftoverPorts(host);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_FALSE(factory.VirtualPorts().HasPort(7));
    EXPECT_FALSE(Exists(dir / "COM7"));
    ::close(reader);
}

TEST(SystemPortFactory, WritingWithoutAReaderIsAccepted)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    auto port = factory.Open(VirtualRequest(4), host);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->IsPeerOpen());
    EXPECT_EQ(port->Write("$GPGGA,\r\n", 9), WriteResult::Written);
}

TEST(SystemPortFactory, DestroyingAnOpenPortRemovesIt)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    factory.Open(VirtualRequest(6), host).reset();
    EXPECT_FALSE(Exists(dir / "COM6"));
    EXPECT_FALSE(factory.VirtualPorts().HasPort(6));
}

struct CreateFailureCase {
    const char* Name;
    int Number;
    bool NameHeldElsewhere;
    const char* Expected;
};

class VirtualOpenFailure : public ::testing::TestWithParam<CreateFailureCase> {};

TEST_P(VirtualOpenFailure, ShowsTheMessageAndLeavesTheSlotEmpty)
{
    const CreateFailureCase& c = GetParam();
    ScratchDir dir;
    VirtualPortTable other(dir.Path());
    if (c.NameHeldElsewhere) {
        ASSERT_EQ(other.CreatePort(c.Number), CreatePortError::None);
    }
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    EXPECT_EQ(factory.Open(VirtualRequest(c.Number), host), nullptr);
    ASSERT_EQ(host.Messages.size(), 1u);
    std::string expected = c.Expected;  // the holder, here this very process, is named
    if (const auto at = expected.find("{pid}"); at != std::string::npos) expected.replace(at, 5, std::to_string(::getpid()));
    EXPECT_EQ(host.Messages[0].Text, expected);
    EXPECT_EQ(host.Messages[0].Caption, "错误");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Error);
    EXPECT_FALSE(factory.VirtualPorts().HasPort(c.Number));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, VirtualOpenFailure,
    ::testing::Values(CreateFailureCase{"NameHeldByAnotherInstance", 7, true,
                                        "无法创建虚拟串口 COM7 (held by tests_links, process {pid})"},
                      CreateFailureCase{"NumberAboveThirty", 31, false, "无法创建虚拟串口 COM31 (COM31 is outside COM1..COM30)"},
                      CreateFailureCase{"NumberZero", 0, false, "无法创建虚拟串口 COM0 (COM0 is outside COM1..COM30)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SystemPortFactory, RealRequestOpensTheDevice)
{
    ScratchDir dir;
    testing::SocatPair pair(dir.Path());
    ASSERT_TRUE(pair.Ready);
    SystemPortFactory factory(dir / "ports");
    RecordingHost host;
    auto port = factory.Open({.Number = 3, .Virtual = false, .Device = pair.DeviceEnd}, host);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->IsVirtual());
    EXPECT_FALSE(port->IsPeerOpen());
    EXPECT_FALSE(Exists(dir / "ports/COM3")) << "a real port makes no link";

    EXPECT_EQ(factory.Open({.Number = 8, .Virtual = false, .Device = dir / "absent"}, host), nullptr);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "无法打开串口 COM8 (" + (dir / "absent") + ": No such file or directory)");
}

TEST(SystemPortFactory, FailedRemovalKeepsThePortForTheNextStartAndTheCloseRetries)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    auto port = factory.Open(VirtualRequest(5), host);
    ASSERT_NE(port, nullptr);
    const std::string device = factory.VirtualPorts().DevicePath(5);

    FrozenFolder frozen(dir.Path());
    if (!frozen.Frozen()) GTEST_SKIP() << "cannot make the folder refuse removals here";
    port->Close();
    EXPECT_TRUE(factory.VirtualPorts().HasPort(5)) << "a port that could not be removed stays in its slot";
    EXPECT_EQ(std::filesystem::read_symlink(dir / "COM5").string(), device);
    const int reader = OpenReader(dir / "COM5");
    EXPECT_GE(reader, 0) << "the link must still lead to a live port";

    // The next start reuses it without a word.
    auto reused = factory.Open(VirtualRequest(5), host);
    ASSERT_NE(reused, nullptr);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_EQ(factory.VirtualPorts().DevicePath(5), device);
    EXPECT_TRUE(reused->IsPeerOpen());
    reused->Close();
    ::close(reader);

    // Close of the program: one warning per port that still cannot be removed.
    factory.RemoveLeftoverPorts(host);
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].Text, "Tolvex无法删除虚拟串口COM5的链接：\n" + dir.Path() + "/COM5" +
                                         "\n请在其他软件中关闭正在使用的COM5，\n并手动删除该链接。 ");
    EXPECT_EQ(host.Messages[0].Caption, "警告");
    EXPECT_EQ(host.Messages[0].Icon, MessageIcon::Warning);

    frozen.Thaw();
    factory.RemoveLeftoverPorts(host);
    EXPECT_EQ(host.Messages.size(), 1u) << "a removal that succeeds is silent";
    EXPECT_FALSE(factory.VirtualPorts().HasPort(5));
    EXPECT_FALSE(Exists(dir / "COM5"));
}

TEST(SystemPortFactory, LeftoverRemovalIsSilentWhenEverythingGoes)
{
    ScratchDir dir;
    SystemPortFactory factory(dir.Path());
    RecordingHost host;
    ASSERT_EQ(factory.VirtualPorts().CreatePort(2), CreatePortError::None);
    ASSERT_EQ(factory.VirtualPorts().CreatePort(29), CreatePortError::None);
    factory.RemoveLeftoverPorts(host);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_FALSE(Exists(dir / "COM2"));
    EXPECT_FALSE(Exists(dir / "COM29"));
}

}  // namespace
}  // namespace tolvex
