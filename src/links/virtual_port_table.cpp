#include "links/virtual_port_table.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "links/device_write.h"
#include "links/port_messages.h"

namespace tolvex {

std::string DefaultVirtualPortDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tolvex";
    return "/tmp/tolvex-" + std::to_string(::getuid());
}

namespace {

// A folder on the way to the port folder is safe when only root or we can change what it holds:
// owned by one of us, and writable by no one else unless sticky (as /tmp is), where others may
// add names but not rename or remove ours. Returns why it is not, or nullptr.
const char* UnsafeParentReason(const struct stat& st)
{
    if (st.st_uid != 0 && st.st_uid != ::geteuid()) return "is owned by another user, refused";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) return "is writable by others, refused";
    return nullptr;
}

// Checks every folder of an absolute path without links, from the root down; the first unsafe one
// is named in parent with its reason.
const char* UnsafeFolderOnPath(const std::string& path, std::string& parent)
{
    for (std::size_t end = 0; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') continue;
        parent = end == 0 ? std::string("/") : path.substr(0, end);
        struct stat st {};
        if (::lstat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (const char* reason = UnsafeParentReason(st)) return reason;
    }
    return nullptr;
}

// The folder of the links, made where missing (parents too) and opened without following a link.
// What we make is traversable by others (0711) but not listable or writable: a daemon running as
// its own user can follow a link it is given, nothing more. It must be a directory of ours that
// no one else may write to, under parents no one else may change: another user who could plant
// it, write in it or swap it for another could redirect or block our ports. A folder of ours that
// is writable by others is tightened. Returns the open folder, or -1 with the reason in why.
int OpenPortFolder(const std::string& folder, std::string& why)
{
    auto refuse = [&](const std::string& reason, int fd = -1) {
        if (fd >= 0) ::close(fd);
        why = folder + ": " + reason;
        return -1;
    };
    if (folder.empty()) {
        why = "no folder given";
        return -1;
    }
    // Each parent is checked before anything is made in it; a parent reached through a link is
    // checked along the path the link leads to as well.
    std::string parent;
    for (std::size_t pos = 0; pos < folder.size(); ++pos) {
        if (folder[pos] != '/') continue;
        const std::string prefix = pos == 0 ? std::string("/") : folder.substr(0, pos);
        if (pos > 0 && ::mkdir(prefix.c_str(), 0711) == 0) ::chmod(prefix.c_str(), 0711);  // whatever the umask took away
        struct stat st {};
        if (::lstat(prefix.c_str(), &st) != 0) break;  // the folder's own mkdir names the cause
        if (S_ISLNK(st.st_mode)) {
            // Whoever owns a link in a sticky folder may swap it for one to elsewhere.
            if (st.st_uid != 0 && st.st_uid != ::geteuid())
                return refuse("parent " + prefix + " is a link owned by another user, refused");
            char* real = ::realpath(prefix.c_str(), nullptr);
            if (real == nullptr) break;
            const std::string resolved = real;
            std::free(real);
            if (const char* reason = UnsafeFolderOnPath(resolved, parent))
                return refuse("parent " + parent + " " + reason);
        } else if (const char* reason = UnsafeParentReason(st); reason != nullptr && S_ISDIR(st.st_mode)) {
            return refuse("parent " + prefix + " " + reason);
        }
    }
    if (::mkdir(folder.c_str(), 0711) == 0) ::chmod(folder.c_str(), 0711);
    else if (errno != EEXIST) return refuse(std::strerror(errno));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (::lstat(folder.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) return refuse("a symbolic link, refused");
            if (!S_ISDIR(st.st_mode)) return refuse(std::strerror(ENOTDIR));
        }
        return refuse(std::strerror(error));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) return refuse(std::strerror(errno), fd);
    if (st.st_uid != ::geteuid()) return refuse("owned by another user, refused", fd);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && ::fchmod(fd, st.st_mode & 07755) != 0)
        return refuse(std::string("writable by others and cannot be tightened: ") + std::strerror(errno), fd);
    return fd;
}

// The pid a running holder wrote into a lock file, with its program name: "tolvex, process 4242".
std::string DescribeHolder(int folder, const std::string& lockName)
{
    std::string text;
    const int fd = ::openat(folder, lockName.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return "another process";
    char digits[24] = {};
    const ssize_t n = ::read(fd, digits, sizeof digits - 1);
    ::close(fd);
    const long pid = n > 0 ? std::strtol(digits, nullptr, 10) : 0;
    if (pid <= 0) return "another process";
    text = "process " + std::to_string(pid);
    char comm[64] = {};
    const int c = ::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (c >= 0) {
        const ssize_t m = ::read(c, comm, sizeof comm - 1);
        ::close(c);
        std::string name(comm, m > 0 ? static_cast<std::size_t>(m) : 0);
        while (!name.empty() && name.back() == '\n') name.pop_back();
        if (!name.empty()) text = name + ", " + text;
    }
    return text;
}

// The group and mode of a real serial port (root:dialout 0660), so that a member of the group can
// open the terminal. Only a member may give a file to a group; otherwise it stays owner-only.
void ShareWithGroup(const std::string& device, const std::string& group)
{
    if (group.empty()) return;
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return;
    if (::chown(device.c_str(), static_cast<uid_t>(-1), found->gr_gid) == 0) ::chmod(device.c_str(), 0660);
}

// Sets the slave side raw (no echo, no line editing, no CR/LF translation) and throws away what a
// departed reader left unread, so that the next reader starts with current sentences.
void ResetSlave(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL;
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ::tcflush(fd, TCIFLUSH);
    ::close(fd);
}

// Discards what the reader sent us (probes, configuration strings) so its writes never stall.
void DrainInput(int master)
{
    char sink[1024];
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::read(master, sink, sizeof sink);
        if (n <= 0 && !(n < 0 && errno == EINTR)) return;
    }
}

}  // namespace

// Sentences written closer together than this belong to one tick's burst; bursts come at least
// one output interval (100 ms or more) apart.
constexpr std::chrono::milliseconds BurstGap{50};

// Whatever the reader has not taken from the terminal, discarded: the slave is opened for a
// moment to do it. True when the reader had left something unread; false also when the terminal
// cannot be opened (a reader that took the port for itself).
bool DiscardUnread(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int unread = 0;
    const bool left = ::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0;
    // Bytes still on their way to the reader's queue are older than this burst too.
    ::tcflush(fd, TCIFLUSH);
    ::close(fd);
    return left;
}

struct VirtualPortTable::Port {
    int Folder = -1;  // the checked folder, held: the links are made and removed in it only
    int Master = -1;
    int Lock = -1;
    std::string LockName;
    std::string Device;
    bool PeerWasOpen = false;
    SentenceQueue Queue;  // a sentence the terminal took only part of, finished first
    std::optional<Clock::time_point> LastWrite;

    Port() = default;
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    ~Port()
    {
        if (Master >= 0) ::close(Master);
        if (Lock >= 0) {
            // Unlinked while still locked; TakeLock checks the inode, so a racing opener retries.
            ::unlinkat(Folder, LockName.c_str(), 0);
            ::close(Lock);
        }
        if (Folder >= 0) ::close(Folder);
    }

    // Held while the port exists: flock locks belong to the open file, so another table, in this
    // process or another, is refused the name. The lock dies with the process, leaving no stale owner.
    CreatePortError TakeLock(const std::string& name)
    {
        LockName = name;
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int fd = ::openat(Folder, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) return CreatePortError::FolderUnusable;
            struct stat mine {};
            if (::fstat(fd, &mine) != 0 || mine.st_uid != ::geteuid()) {
                // Planted before the folder was tightened: someone else's lock blocks nothing.
                ::close(fd);
                ::unlinkat(Folder, name.c_str(), 0);
                continue;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                ::close(fd);
                errno = error;
                return error == EWOULDBLOCK ? CreatePortError::NameTaken : CreatePortError::FolderUnusable;
            }
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && ::fstatat(Folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                Lock = fd;
                // Who holds the port, for the message another start of COMn shows.
                const std::string pid = std::to_string(::getpid()) + "\n";
                if (::ftruncate(fd, 0) == 0) (void)!::write(fd, pid.data(), pid.size());
                return CreatePortError::None;
            }
            ::close(fd);  // the previous owner removed this file while we waited: lock the new one
        }
        return CreatePortError::NameTaken;
    }

    CreatePortError OpenPty(const std::string& group)
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (Master < 0) {
            return errno == ENOENT || errno == ENODEV ? CreatePortError::NoPtySupport : CreatePortError::PtyFailed;
        }
        ::fcntl(Master, F_SETFD, FD_CLOEXEC);
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
        if (::grantpt(Master) != 0 || ::unlockpt(Master) != 0) return CreatePortError::PtyFailed;
        char name[PATH_MAX];
        if (::ptsname_r(Master, name, sizeof name) != 0) return CreatePortError::PtyFailed;
        Device = name;
        ShareWithGroup(Device, group);
        // Opening and closing the slave once makes the master report a hang-up until a reader
        // opens it: that is how IsPeerOpen sees readers.
        ResetSlave(Device);
        return CreatePortError::None;
    }

    bool PeerOpen()
    {
        DrainInput(Master);
        pollfd p{Master, POLLOUT, 0};
        const bool open = ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
        if (!open && PeerWasOpen) ResetSlave(Device);
        PeerWasOpen = open;
        return open;
    }
};

VirtualPortTable::VirtualPortTable(std::string folder, std::string terminalGroup,
                                   std::function<Clock::time_point()> now)
    : m_folder(std::move(folder)), m_group(std::move(terminalGroup)), m_now(std::move(now))
{
    // Links point other programs at the port: they must not depend on our working directory.
    std::error_code ec;
    if (!m_folder.empty() && m_folder[0] != '/') {
        const std::filesystem::path absolute = std::filesystem::absolute(m_folder, ec);
        if (!ec) m_folder = absolute.lexically_normal().string();
    }
    while (m_folder.size() > 1 && m_folder.back() == '/') m_folder.pop_back();
}

VirtualPortTable::~VirtualPortTable()
{
    for (int n = 1; n <= SlotCount; ++n) {
        if (!RemovePort(n)) m_slots[n - 1].reset();  // the link stays behind; the next start replaces it
    }
}

VirtualPortTable::Port* VirtualPortTable::Slot(int number) const
{
    if (number < 1 || number > SlotCount) return nullptr;
    return m_slots[number - 1].get();
}

bool VirtualPortTable::HasPort(int number) const
{
    return Slot(number) != nullptr;
}

std::string VirtualPortTable::LinkPath(int number) const
{
    return m_folder + "/COM" + std::to_string(number);
}

std::string VirtualPortTable::DevicePath(int number) const
{
    const Port* port = Slot(number);
    return port != nullptr ? port->Device : std::string();
}

CreatePortError VirtualPortTable::CreatePort(int number, std::string* cause)
{
    std::string ignored;
    std::string& why = cause != nullptr ? *cause : ignored;
    why.clear();
    if (number < 1 || number > SlotCount) {
        why = "COM" + std::to_string(number) + " is outside COM1..COM" + std::to_string(SlotCount);
        return CreatePortError::BadNumber;
    }
    if (HasPort(number)) return CreatePortError::None;
    auto port = std::make_unique<Port>();
    port->Folder = OpenPortFolder(m_folder, why);
    if (port->Folder < 0) return CreatePortError::FolderUnusable;
    const std::string name = "COM" + std::to_string(number);
    const std::string link = LinkPath(number);
    if (const auto error = port->TakeLock(name + ".lock"); error != CreatePortError::None) {
        why = error == CreatePortError::NameTaken ? "held by " + DescribeHolder(port->Folder, name + ".lock")
                                                  : link + ".lock: " + std::strerror(errno);
        return error;
    }
    // Holding the lock, any link of this name is a leftover of a program that ended without removing it.
    struct stat st {};
    if (::fstatat(port->Folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISLNK(st.st_mode)) {  // never delete a file we did not make
            why = link + " exists and is not a link";
            return CreatePortError::NameTaken;
        }
        if (::unlinkat(port->Folder, name.c_str(), 0) != 0 && errno != ENOENT) {
            why = link + ": " + std::strerror(errno);
            return CreatePortError::FolderUnusable;
        }
    }
    if (const auto error = port->OpenPty(m_group); error != CreatePortError::None) {
        why = std::string("pseudo-terminal: ") + std::strerror(errno);
        return error;
    }
    if (::symlinkat(port->Device.c_str(), port->Folder, name.c_str()) != 0) {
        why = link + ": " + std::strerror(errno);
        return CreatePortError::FolderUnusable;
    }
    m_slots[number - 1] = std::move(port);
    return CreatePortError::None;
}

bool VirtualPortTable::RemovePort(int number)
{
    Port* port = Slot(number);
    if (port == nullptr) return true;
    const std::string name = "COM" + std::to_string(number);
    char target[PATH_MAX];
    const ssize_t length = ::readlinkat(port->Folder, name.c_str(), target, sizeof target);
    const bool ours = length < 0 ? errno != ENOENT : std::string(target, length) == port->Device;
    // Unlinking works while a reader holds the pty, so only the folder itself can make this fail;
    // the pty then stays open so that the link never points at a terminal reused by someone else.
    if (ours && ::unlinkat(port->Folder, name.c_str(), 0) != 0 && errno != ENOENT) return false;
    m_slots[number - 1].reset();
    return true;
}

bool VirtualPortTable::ReleasePort(int number)
{
    Port* port = Slot(number);
    if (port != nullptr && port->PeerOpen()) return false;
    return RemovePort(number);
}

void VirtualPortTable::WriteData(int number, const char* bytes, std::size_t length)
{
    Port* port = Slot(number);
    if (port == nullptr) return;
    if (!port->PeerOpen()) {  // never queue for a reader that comes later
        port->Queue.Clear();
        return;
    }
    const Clock::time_point now = m_now();
    if (!port->LastWrite || now - *port->LastWrite >= BurstGap) {
        // A new burst: what the reader left of the last one is at least an interval old.
        // With the unread bytes goes the head of a sentence begun: its rest goes too. Else the
        // sentence begun is finished, and those never begun are an interval old.
        if (DiscardUnread(port->Device)) port->Queue.Clear();
        else port->Queue.DropWaiting();
    }
    port->LastWrite = now;
    // Only what fits now goes; a sentence begun is finished before the next, never cut.
    constexpr std::chrono::milliseconds NoWaiting{0};
    port->Queue.Write(port->Master, std::string_view(bytes, length), now, NoWaiting);
}

bool VirtualPortTable::IsPeerOpen(int number)
{
    Port* port = Slot(number);
    return port != nullptr && port->PeerOpen();
}

}  // namespace tolvex
