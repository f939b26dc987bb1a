#pragma once
// Whole-file reads and crash-safe replacement of a file.

#include <cstdint>
#include <string>

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

// Replaces the file at path by text so that a crash or a full disk leaves either the old or the
// new file, never a mix: a temporary file in the same folder is written, flushed to disk and
// renamed over the old one. A symbolic link is followed, the link itself stays. An existing
// file's permissions are kept. On failure the old file is untouched and error holds the message.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace tolvex
