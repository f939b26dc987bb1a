// The settings round trip: whatever a file holds, what we write from it must load back to the
// same settings, so a second save writes the same text.
#include <string>

#include "config/settings_file.h"

namespace {

std::string LoadAndSave(std::string_view text)
{
    tolvex::Settings settings;
    tolvex::SimFix fix;
    tolvex::LoadSettings(tolvex::IniFile::Parse(text), settings, fix);
    tolvex::IniFile written;
    tolvex::SaveSettings(written, settings, fix, fix.Speed);
    return written.Serialize();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string once = LoadAndSave({reinterpret_cast<const char*>(data), size});
    if (LoadAndSave(once) != once)
        __builtin_trap();  // a saved setting read back differently
    return 0;
}
