#pragma once
// The part of the OziExplorer .plt reader that the tests and the fuzzer use.

#include <string>
#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// ReadPltFile on text already decoded to UTF-8; path only names the file in the message.
ReadResult ReadPltText(std::string_view text, const std::string& path, const ReaderContext& context);

}  // namespace tolvex
