#pragma once
// Whole-file reads and crash-safe replacement of a file.

#include <string>

namespace tolvex {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the file into text. Missing: the file does not exist (text is empty); Failed: it exists
// but cannot be read, error holds the message.
ReadStatus ReadWholeFile(const std::string& path, std::string& text, std::string& error);

// Replaces the file at path by text so that a crash or a full disk leaves either the old or the
// new file, never a mix: a temporary file in the same folder is written, flushed to disk and
// renamed over the old one. A symbolic link is followed, the link itself stays. An existing
// file's permissions are kept. On failure the old file is untouched and error holds the message.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace tolvex
