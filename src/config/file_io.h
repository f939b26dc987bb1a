#pragma once
// Whole-file reads and crash-safe replacement of a file.

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tolvex {

enum class ReadStatus { Ok, Missing, Failed };

// Largest file each reader takes: more is not a file of ours, and reading it would only cost
// time and memory.
inline constexpr std::uint64_t MaxSettingsFileBytes = std::uint64_t{1} << 20;
inline constexpr std::uint64_t MaxTrackFileBytes = std::uint64_t{2} << 30;

// Opens a regular file of at most maxBytes for reading. A FIFO, a device or a folder is refused
// at once, never opened in a way that could block. Returns the descriptor (the caller closes
// it), or -1 with Missing (no such file) or Failed and the message in error.
int OpenRegularFile(const std::string& path, std::uint64_t maxBytes, ReadStatus& status, std::string& error);

// Reads the file into text, holding one copy of it. Missing: the file does not exist (text is
// empty); Failed: it exists but cannot be read, is no regular file or is larger than maxBytes,
// error holds the message.
ReadStatus ReadWholeFile(const std::string& path, std::string& text, std::string& error,
                         std::uint64_t maxBytes = MaxSettingsFileBytes);

// A file written beside its final name and put there only when complete. Where the file system
// allows it the file has no name until then (O_TMPFILE), so that nothing is left behind whatever
// ends the program; elsewhere it is named "<final>.XXXXXX", removed on SIGINT and SIGTERM, and
// such leftovers of a killed program are removed by the next write of the same file.
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile() { Abandon(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Starts the file that is to replace target (target must not be a link). False with errno set.
    bool Open(const std::string& target, mode_t mode);
    int Descriptor() const { return m_fd; }
    // Flushed to disk and renamed over target. False with errno set; the file is abandoned then.
    bool Commit();
    // Drops what was written.
    void Abandon();

private:
    int m_fd = -1;
    bool m_named = false;  // the fallback: m_temp names it on disk
    std::string m_target;
    std::string m_temp;
};

// Removes the leftovers "<target>.XXXXXX" that no running writer holds.
void RemoveStaleTemporaries(const std::string& target);

// Replaces the file at path by text so that a crash or a full disk leaves either the old or the
// new file, never a mix: a temporary file in the same folder is written, flushed to disk and
// renamed over the old one. A symbolic link is followed, the link itself stays. An existing
// file's permissions are kept. On failure the old file is untouched and error holds the message.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace tolvex
