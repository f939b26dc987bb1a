// The settings file: parse anything, read the keys the program reads, write one back and parse
// the result again.
#include <string>

#include "config/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tolvex::IniFile ini = tolvex::IniFile::Parse(text);
    ini.GetString("Tolvex", "FontFaceName", "Times New Roman", 32);
    ini.GetInt("Tolvex", "MinTrackPoints", 2);
    ini.Find("tolvex", "Favorite1");
    ini.Set("Tolvex", "Output1Interval", " \"1000\" ");
    const std::string written = ini.Serialize();
    tolvex::IniFile again = tolvex::IniFile::Parse(written);
    if (again.Find("Tolvex", "Output1Interval") != std::optional<std::string>(" \"1000\" "))
        __builtin_trap();  // a value written must read back unchanged
    tolvex::LeadingReal(text);
    tolvex::HexValue32(text);
    return 0;
}
