#include "config/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

}  // namespace

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
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = SystemError("cannot save", path, errno);
        return false;
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        error = SystemError("cannot save", path, err);
        return false;
    };
    if (!WriteAll(fd, text)) return fail(errno);
    if (::fchmod(fd, mode) != 0) return fail(errno);
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)!::fchown(fd, st.st_uid, st.st_gid);  // best effort: only root may give files away
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = SystemError("cannot save", path, err);
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = SystemError("cannot save", path, err);
        return false;
    }
    // The rename is only durable once the folder itself is on disk.
    const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace tolvex
