#include <array>
#include <cctype>

#include "tracks/reader.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

// Extensions are compared in this order; add one row per format.
constexpr std::array Readers = {
    ReaderEntry{".plt", ReadPltFile, Texts::Mark("不是有效的OZI plt文件：\n%s")},
    ReaderEntry{".gpx", ReadGpxFile, Texts::Mark("载入GPX文件失败")},
    ReaderEntry{".kml", ReadKmlFile, Texts::Mark("载入kml文件失败")},
    ReaderEntry{".gpssim", ReadGpssimFile, Texts::Mark("载入gpssim文件失败")},
    ReaderEntry{".trk", ReadTrkFile, Texts::Mark("不是有效的trk文件")},
    ReaderEntry{".nmea", ReadNmeaLogFile, Texts::Mark("载入NMEA文件失败")},
    ReaderEntry{".nma", ReadNmeaLogFile, Texts::Mark("载入NMEA文件失败")},
    ReaderEntry{".log", ReadNmeaLogFile, Texts::Mark("载入NMEA文件失败")},
    ReaderEntry{".txt", ReadNmeaLogFile, Texts::Mark("载入NMEA文件失败")},
};

}  // namespace

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    text.remove_prefix(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != suffix[i])
            return false;
    }
    return true;
}

std::span<const ReaderEntry> ReaderRegistry()
{
    return Readers;
}

const ReaderEntry* FindReaderEntry(std::string_view path)
{
    for (const ReaderEntry& entry : Readers) {
        if (EndsWithNoCase(path, entry.Extension))
            return &entry;
    }
    return nullptr;
}

TrackReader FindReader(std::string_view path)
{
    const ReaderEntry* entry = FindReaderEntry(path);
    return entry ? entry->Read : nullptr;
}

}  // namespace tolvex
