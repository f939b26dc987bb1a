#include "links/virtual_port_table.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>

#include <cstdlib>
#include <filesystem>

#include "links_test_support.h"

namespace tolvex {
namespace {

using namespace std::chrono_literals;
using testing::OpenReader;
using testing::ReadAvailable;
using testing::ReadBytes;
using testing::ScratchDir;

std::string LinkTarget(const std::string& link)
{
    std::error_code error;
    const auto target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.string();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void Write(VirtualPortTable& table, int number, const std::string& text)
{
    table.WriteData(number, text.data(), text.size());
}

TEST(DefaultVirtualPortDir, RuntimeFolderElseTmpWithUid)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved != nullptr ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(DefaultVirtualPortDir(), "/run/user/1000/tolvex");
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(DefaultVirtualPortDir(), "/tmp/tolvex-" + std::to_string(::getuid()));
    ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
    EXPECT_EQ(DefaultVirtualPortDir(), "/tmp/tolvex-" + std::to_string(::getuid()));
    if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(VirtualPortTable, LinkAppearsInAPrivateFolderAndDisappearsOnRemoval)
{
    ScratchDir dir;
    const std::string folder = dir / "run/tolvex";  // two levels missing
    VirtualPortTable table(folder + "/", "dialout");
    EXPECT_EQ(table.Folder(), folder);
    ASSERT_EQ(table.CreatePort(3), CreatePortError::None);
    EXPECT_TRUE(table.HasPort(3));
    EXPECT_FALSE(table.HasPort(4));

    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0711u) << "others may pass through to a link, not list or add";
    EXPECT_EQ(table.LinkPath(3), folder + "/COM3");
    EXPECT_EQ(table.DevicePath(3).rfind("/dev/pts/", 0), 0u);
    // As a real serial port: group dialout, 0660, where the user may give the terminal away.
    const group* dialout = ::getgrnam("dialout");
    if (dialout != nullptr && ::geteuid() == 0) {
        ASSERT_EQ(::stat(table.DevicePath(3).c_str(), &st), 0);
        EXPECT_EQ(st.st_gid, dialout->gr_gid);
        EXPECT_EQ(st.st_mode & 0777, 0660u);
    }
    EXPECT_EQ(LinkTarget(table.LinkPath(3)), table.DevicePath(3));

    EXPECT_TRUE(table.RemovePort(3));
    EXPECT_FALSE(table.HasPort(3));
    EXPECT_FALSE(Exists(folder + "/COM3"));
    EXPECT_FALSE(Exists(folder + "/COM3.lock"));
    EXPECT_TRUE(table.RemovePort(3)) << "an empty slot has nothing to fail";
}

TEST(VirtualPortTable, NumbersOutsideTheThirtySlotsAreRefused)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    EXPECT_EQ(table.CreatePort(0), CreatePortError::BadNumber);
    EXPECT_EQ(table.CreatePort(31), CreatePortError::BadNumber);
    EXPECT_EQ(table.CreatePort(30), CreatePortError::None);
    EXPECT_FALSE(table.IsPeerOpen(31));
    table.WriteData(-1, "x", 1);  // no slot: nothing happens
}

TEST(VirtualPortTable, PeerStateFollowsReadersOpeningAndClosing)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(5), CreatePortError::None);
    EXPECT_FALSE(table.IsPeerOpen(5)) << "nobody has opened it yet";

    const int first = OpenReader(table.LinkPath(5));
    ASSERT_GE(first, 0);
    EXPECT_TRUE(table.IsPeerOpen(5));
    const int second = OpenReader(table.LinkPath(5));
    ::close(first);
    EXPECT_TRUE(table.IsPeerOpen(5)) << "the second reader still holds it";
    ::close(second);
    EXPECT_FALSE(table.IsPeerOpen(5));

    const int again = OpenReader(table.LinkPath(5));
    EXPECT_TRUE(table.IsPeerOpen(5));
    ::close(again);
    EXPECT_FALSE(table.IsPeerOpen(5));
}

TEST(VirtualPortTable, ReaderGetsRawBytesAndNoEcho)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(6), CreatePortError::None);
    const int reader = OpenReader(table.LinkPath(6));
    ASSERT_GE(reader, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(reader, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR), 0u);

    ASSERT_EQ(::write(reader, "probe\r\n", 7), 7);  // a reader's own writes never come back to it
    const std::string sentence = "$GPGSA,A,3,01,02,03,04,,,,,,,,,2.0,1.0,1.7*33\r\n\x80\xff";
    Write(table, 6, sentence);
    EXPECT_EQ(ReadBytes(reader, sentence.size()), sentence);
    EXPECT_EQ(ReadAvailable(reader, 50ms), "");
    ::close(reader);
}

TEST(VirtualPortTable, NoBacklogForAReaderThatComesLater)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(7), CreatePortError::None);
    for (int i = 0; i < 50; ++i) Write(table, 7, "$GPRMC,old\r\n");

    const int reader = OpenReader(table.LinkPath(7));
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ReadAvailable(reader, 100ms), "");
    Write(table, 7, "$GPRMC,now\r\n");
    EXPECT_EQ(ReadAvailable(reader), "$GPRMC,now\r\n");
    ::close(reader);
}

TEST(VirtualPortTable, WhatADepartedReaderLeftUnreadIsNotHandedToTheNext)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(8), CreatePortError::None);
    const int first = OpenReader(table.LinkPath(8));
    ASSERT_GE(first, 0);
    Write(table, 8, "$GPRMC,unread\r\n");
    ::close(first);
    EXPECT_FALSE(table.IsPeerOpen(8));  // the panel asks on every update

    const int next = OpenReader(table.LinkPath(8));
    ASSERT_GE(next, 0);
    EXPECT_EQ(ReadAvailable(next, 100ms), "");
    Write(table, 8, "$GPRMC,fresh\r\n");
    EXPECT_EQ(ReadAvailable(next), "$GPRMC,fresh\r\n");
    ::close(next);
}

TEST(VirtualPortTable, AReaderThatStopsReadingNeverBlocksTheWriter)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(9), CreatePortError::None);
    const int reader = OpenReader(table.LinkPath(9));
    ASSERT_GE(reader, 0);
    const std::string block(1000, 'z');
    for (int i = 0; i < 500; ++i) Write(table, 9, block);  // 500 kB: far beyond the pty buffer

    std::string held = ReadAvailable(reader, 200ms);
    EXPECT_GT(held.size(), 0u);
    EXPECT_LT(held.size(), 500u * 1000u) << "the overflow must be dropped, not queued";
    // The block the terminal took part of is finished before the next sentence: none is cut.
    Write(table, 9, "$GPRMC,after\r\n");
    held += ReadAvailable(reader);
    const std::string after = "$GPRMC,after\r\n";
    ASSERT_GE(held.size(), after.size());
    EXPECT_EQ(held.substr(held.size() - after.size()), after);
    EXPECT_EQ((held.size() - after.size()) % block.size(), 0u) << held.size();
    EXPECT_EQ(held.find_first_not_of('z'), held.size() - after.size());
    ::close(reader);
}

TEST(VirtualPortTable, AReaderThatResumesGetsCurrentWholeSentencesOnly)
{
    ScratchDir dir;
    VirtualPortTable::Clock::time_point now{};
    VirtualPortTable table(dir.Path(), {}, [&] { return now; });
    ASSERT_EQ(table.CreatePort(10), CreatePortError::None);
    const int reader = OpenReader(table.LinkPath(10));
    ASSERT_GE(reader, 0);
    // Ten seconds of bursts, one a second, that nobody reads; then the reader reads again.
    for (int second = 0; second < 10; ++second) {
        now += 1s;
        for (int s = 0; s < 8; ++s) Write(table, 10, "$GPGSV,burst " + std::to_string(second) + std::string(60, '.') + "\r\n");
    }
    const std::string got = ReadAvailable(reader);
    EXPECT_EQ(got.find("burst 8"), std::string::npos) << "stale sentences must be gone";
    EXPECT_NE(got.find("burst 9"), std::string::npos);
    for (std::size_t at = 0; at < got.size(); at = got.find("\r\n", at) + 2)
        EXPECT_EQ(got.compare(at, 13, "$GPGSV,burst "), 0) << got.substr(at, 20);
    ::close(reader);
}

TEST(VirtualPortTable, TwoTablesCannotTakeTheSameName)
{
    ScratchDir dir;
    VirtualPortTable first(dir.Path());
    VirtualPortTable second(dir.Path());
    ASSERT_EQ(first.CreatePort(3), CreatePortError::None);
    const std::string device = first.DevicePath(3);
    EXPECT_EQ(second.CreatePort(3), CreatePortError::NameTaken);
    EXPECT_FALSE(second.HasPort(3));
    EXPECT_EQ(LinkTarget(first.LinkPath(3)), device) << "the refused table must not touch the link";
    EXPECT_EQ(second.CreatePort(4), CreatePortError::None) << "other names stay free";

    ASSERT_TRUE(first.RemovePort(3));
    EXPECT_EQ(second.CreatePort(3), CreatePortError::None);
}

TEST(VirtualPortTable, NameHeldByAnotherProcessThenFreedByItsCrash)
{
    ScratchDir dir;
    int ready[2];
    int finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        VirtualPortTable table(dir.Path());
        const char ok = table.CreatePort(3) == CreatePortError::None ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char go;
        (void)!::read(finish[0], &go, 1);
        ::_exit(0);  // a crash: no destructor removes the link
    }
    char ok = '0';
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    const std::string childDevice = LinkTarget(dir / "COM3");
    EXPECT_FALSE(childDevice.empty());

    VirtualPortTable table(dir.Path());
    std::string cause;
    EXPECT_EQ(table.CreatePort(3, &cause), CreatePortError::NameTaken);
    EXPECT_NE(cause.find("process " + std::to_string(child)), std::string::npos) << cause;
    ASSERT_EQ(::write(finish[1], "x", 1), 1);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(Exists(dir / "COM3")) << "the crashed program left its link";

    ASSERT_EQ(table.CreatePort(3), CreatePortError::None);
    EXPECT_EQ(LinkTarget(dir / "COM3"), table.DevicePath(3));
    for (int fd : {ready[0], ready[1], finish[0], finish[1]}) ::close(fd);
}

TEST(VirtualPortTable, StaleLinkIsReplacedButAFileIsNeverDeleted)
{
    ScratchDir dir;
    ASSERT_EQ(::symlink("/dev/pts/9999", (dir / "COM4").c_str()), 0);
    const int file = ::open((dir / "COM5").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ::close(file);

    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(4), CreatePortError::None);
    EXPECT_EQ(LinkTarget(dir / "COM4"), table.DevicePath(4));
    EXPECT_EQ(table.CreatePort(5), CreatePortError::NameTaken);
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "COM5").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_FALSE(Exists(dir / "COM5.lock"));
}

TEST(VirtualPortTable, FolderSomeoneElseControlsIsRefusedWithItsReason)
{
    ScratchDir dir;
    const int file = ::open((dir / "plain").c_str(), O_WRONLY | O_CREAT, 0600);
    ::close(file);
    ::mkdir((dir / "real").c_str(), 0700);
    ::symlink((dir / "real").c_str(), (dir / "link").c_str());
    ::mkdir((dir / "theirs").c_str(), 0700);
    // Parents: open to all, open to the group, sticky like /tmp, reached through a link.
    for (const char* name : {"open", "group", "sticky"}) ::mkdir((dir / name).c_str(), 0700);
    ::chmod((dir / "open").c_str(), 0777);
    ::chmod((dir / "group").c_str(), 0770);
    ::chmod((dir / "sticky").c_str(), 01777);
    ::symlink((dir / "open").c_str(), (dir / "to-open").c_str());
    const bool root = ::geteuid() == 0;
    if (root) ::chown((dir / "theirs").c_str(), 65534, 65534);
    struct Case {
        const char* name;
        std::string folder;
        std::string reason;  // empty: the folder is used
        bool needsRoot = false;  // only root can give a folder away
    } cases[] = {
        {"a file", dir / "plain", "Not a directory"},
        {"a link to a folder", dir / "link", "a symbolic link, refused"},
        {"another user's folder", dir / "theirs", "owned by another user, refused", true},
        {"under a parent open to all", dir / "open/ports", "parent " + dir / "open is writable by others, refused"},
        {"under a parent open to the group", dir / "group/a/ports", "parent " + dir / "group is writable by others, refused"},
        {"under a link to an open parent", dir / "to-open/ports", "parent " + dir / "open is writable by others, refused"},
        {"under another user's parent", dir / "theirs/ports", "parent " + dir / "theirs is owned by another user, refused", true},
        {"under a sticky parent", dir / "sticky/ports", ""},
    };
    for (const Case& c : cases) {
        if (c.needsRoot && !root) continue;
        VirtualPortTable table(c.folder);
        std::string cause;
        if (c.reason.empty()) {
            EXPECT_EQ(table.CreatePort(3, &cause), CreatePortError::None) << c.name << ": " << cause;
            continue;
        }
        EXPECT_EQ(table.CreatePort(3, &cause), CreatePortError::FolderUnusable) << c.name;
        EXPECT_FALSE(table.HasPort(3)) << c.name;
        EXPECT_EQ(cause, c.folder + ": " + c.reason);
    }
    EXPECT_FALSE(Exists(dir / "real/COM3"));
    EXPECT_FALSE(Exists(dir / "open/ports")) << "nothing is made in a parent others may change";
    EXPECT_FALSE(Exists(dir / "group/a"));
}

TEST(VirtualPortTable, OwnFolderOpenToOthersIsTightenedAndPlantedLocksRemoved)
{
    ScratchDir dir;
    const std::string folder = dir / "ports";
    ::mkdir(folder.c_str(), 0700);
    ::chmod(folder.c_str(), 0777);
    VirtualPortTable table(folder);
    ASSERT_EQ(table.CreatePort(3), CreatePortError::None);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    if (::geteuid() == 0) {
        // A lock file another user planted while the folder was open does not block the port.
        const std::string lock = folder + "/COM4.lock";
        ::close(::open(lock.c_str(), O_WRONLY | O_CREAT, 0666));
        ::chown(lock.c_str(), 65534, 65534);
        EXPECT_EQ(table.CreatePort(4), CreatePortError::None);
    }
}

TEST(VirtualPortTable, ReaderSeesHangupWhenThePortIsRemoved)
{
    ScratchDir dir;
    VirtualPortTable table(dir.Path());
    ASSERT_EQ(table.CreatePort(3), CreatePortError::None);
    const int reader = OpenReader(table.LinkPath(3));
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(table.RemovePort(3)) << "a reader holding the port does not keep it";
    EXPECT_FALSE(Exists(dir / "COM3"));
    pollfd p{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);
    ::close(reader);
}

TEST(VirtualPortTable, DestructionRemovesEveryLink)
{
    ScratchDir dir;
    {
        VirtualPortTable table(dir.Path());
        ASSERT_EQ(table.CreatePort(1), CreatePortError::None);
        ASSERT_EQ(table.CreatePort(30), CreatePortError::None);
    }
    EXPECT_FALSE(Exists(dir / "COM1"));
    EXPECT_FALSE(Exists(dir / "COM30"));
}

}  // namespace
}  // namespace tolvex
