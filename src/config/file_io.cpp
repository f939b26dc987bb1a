#include "config/file_io.h"

#include <dirent.h>
#include <sys/file.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvex {

namespace {

std::string SystemError(const char* what, const std::string& path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

bool WriteAll(int fd, const std::string& text)
{
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Named temporaries being written, removed by the signal handler below: fixed storage, since a
// handler may not allocate.
constexpr int MaxNamedTemps = 8;
char g_namedTemps[MaxNamedTemps][PATH_MAX];
volatile std::sig_atomic_t g_namedTempUsed[MaxNamedTemps];

extern "C" void RemoveTempsAndDie(int signal)
{
    for (int i = 0; i < MaxNamedTemps; ++i) {
        if (g_namedTempUsed[i]) ::unlink(g_namedTemps[i]);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RegisterNamedTemp(const std::string& path, bool add)
{
    for (int i = 0; i < MaxNamedTemps; ++i) {
        if (add && !g_namedTempUsed[i] && path.size() < PATH_MAX) {
            std::memcpy(g_namedTemps[i], path.c_str(), path.size() + 1);
            g_namedTempUsed[i] = 1;
            break;
        }
        if (!add && g_namedTempUsed[i] && path == g_namedTemps[i]) {
            g_namedTempUsed[i] = 0;
            break;
        }
    }
    // A program that handles the signals itself ends in order and abandons the file then.
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        if (add && ::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            std::signal(signal, RemoveTempsAndDie);
    }
}

// "<name>.XXXXXX" as mkstemp makes it.
bool IsTempNameOf(std::string_view candidate, std::string_view name)
{
    if (candidate.size() != name.size() + 7 || candidate.substr(0, name.size()) != name || candidate[name.size()] != '.')
        return false;
    for (char c : candidate.substr(name.size() + 1)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& target)
{
    const std::string folder = FolderOf(target);
    const auto slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempNameOf(entry->d_name, name)) continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // A writer holds its temporary locked; one nobody holds was left by a program that died.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

bool PendingFile::Open(const std::string& target, mode_t mode)
{
    Abandon();
    m_target = target;
    RemoveStaleTemporaries(target);
#ifdef O_TMPFILE
    m_fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#endif
    if (m_fd < 0) {
        m_temp = target + ".XXXXXX";
        m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
        if (m_fd < 0) return false;
        m_named = true;
        RegisterNamedTemp(m_temp, true);
    }
    ::flock(m_fd, LOCK_EX | LOCK_NB);  // tells RemoveStaleTemporaries that we are alive
    if (::fchmod(m_fd, mode) != 0) {
        const int err = errno;
        Abandon();
        errno = err;
        return false;
    }
    return true;
}

bool PendingFile::Commit()
{
    auto fail = [this] {
        const int err = errno;
        Abandon();
        errno = err;
        return false;
    };
    if (m_fd < 0) return false;
    if (::fsync(m_fd) != 0) return fail();
    if (!m_named) {
        // The name exists only for the moment between the link and the rename.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0;; ++attempt) {
            m_temp = m_target + ".XXXXXX";
            const int probe = ::mkstemp(m_temp.data());  // a free name, taken back at once
            if (probe < 0) return fail();
            ::close(probe);
            ::unlink(m_temp.c_str());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
            if (errno != EEXIST || attempt == 8) return fail();
        }
        m_named = true;
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) return fail();
    RegisterNamedTemp(m_temp, false);
    m_named = false;
    m_temp.clear();
    const int closed = ::close(m_fd);
    m_fd = -1;
    // The rename is only durable once the folder itself is on disk.
    const int dir = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return closed == 0;
}

void PendingFile::Abandon()
{
    if (m_named) {
        ::unlink(m_temp.c_str());
        RegisterNamedTemp(m_temp, false);
        m_named = false;
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int OpenRegularFile(const std::string& path, std::uint64_t maxBytes, ReadStatus& status, std::string& error)
{
    status = ReadStatus::Failed;
    struct stat st {};
    // Looked at before opening: opening a FIFO waits for a writer, opening a device may act on it.
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) status = ReadStatus::Missing;
        else error = SystemError("cannot read", path, errno);
        return -1;
    }
    auto refuse = [&](int fd, const std::string& why) {
        if (fd >= 0) ::close(fd);
        error = "cannot read " + path + ": " + why;
        return -1;
    };
    if (!S_ISREG(st.st_mode)) return refuse(-1, S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) status = ReadStatus::Missing;
        else error = SystemError("cannot read", path, errno);
        return -1;
    }
    // The name may have been swapped for something else since the look.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return refuse(fd, "not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        return refuse(fd, "too large (" + std::to_string(st.st_size) + " bytes, at most " + std::to_string(maxBytes) +
                              ")");
    }
    status = ReadStatus::Ok;
    return fd;
}

ReadStatus ReadWholeFile(const std::string& path, std::string& text, std::string& error, std::uint64_t maxBytes)
{
    text.clear();
    ReadStatus status;
    const int fd = OpenRegularFile(path, maxBytes, status, error);
    if (fd < 0) return status;
    auto fail = [&](const std::string& message) {
        ::close(fd);
        text.clear();
        text.shrink_to_fit();
        error = message;
        return ReadStatus::Failed;
    };
    // Read straight into the string at the size the file has; only a file that grows while we
    // read goes through the small buffer, and it too is held to the limit.
    struct stat st {};
    text.resize(::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0);
    std::size_t used = 0;
    char more[65536];
    for (;;) {
        const bool direct = used < text.size();
        char* into = direct ? text.data() + used : more;
        const std::size_t room = direct ? text.size() - used : sizeof more;
        const ssize_t n = ::read(fd, into, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(SystemError("cannot read", path, errno));
        }
        if (n == 0) break;
        if (!direct) {
            if (used + static_cast<std::size_t>(n) > maxBytes)
                return fail("cannot read " + path + ": too large (more than " + std::to_string(maxBytes) + " bytes)");
            text.append(more, static_cast<std::size_t>(n));
        }
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(used);
    return ReadStatus::Ok;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error)
{
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    mode_t mode = 0644;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            error = SystemError("cannot save", path, EISDIR);
            return false;
        }
        mode = st.st_mode & 07777;
        // The same text again is left as it is: a save that changes nothing costs no flush to disk.
        std::string current, ignored;
        if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) == text.size() &&
            ReadWholeFile(target, current, ignored, text.size()) == ReadStatus::Ok && current == text) {
            RemoveStaleTemporaries(target);
            return true;
        }
    }

    PendingFile file;
    if (!file.Open(target, mode)) {
        error = SystemError("cannot save", path, errno);
        return false;
    }
    if (!WriteAll(file.Descriptor(), text)) {
        error = SystemError("cannot save", path, errno);
        return false;
    }
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(file.Descriptor(), st.st_uid, st.st_gid);  // best effort: only root may give files away
    if (!file.Commit()) {
        error = SystemError("cannot save", path, errno);
        return false;
    }
    return true;
}

}  // namespace tolvex
