// The control channel's command line and the scenario script: parse anything; a command must come
// back only from a line within the length limit.
#include <string>

#include "remote/command.h"
#include "remote/script.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tolvex::ParseResult parsed = tolvex::ParseCommand(text);
    if (std::holds_alternative<tolvex::Command>(parsed) && size > tolvex::MaxLineLength) __builtin_trap();
    tolvex::ParseScript(text, "fuzz.txt");
    return 0;
}
