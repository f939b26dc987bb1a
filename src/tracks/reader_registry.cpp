#include <array>
#include <cctype>

#include "tracks/reader.h"

namespace tolvex {
namespace {

// Extensions are compared in this order; add one row per format.
constexpr std::array Readers = {
    ReaderEntry{".plt", ReadPltFile},
    ReaderEntry{".gpx", ReadGpxFile},
    ReaderEntry{".kml", ReadKmlFile},
    ReaderEntry{".gpssim", ReadGpssimFile},
    ReaderEntry{".trk", ReadTrkFile},
    ReaderEntry{".nmea", ReadNmeaLogFile},
    ReaderEntry{".nma", ReadNmeaLogFile},
    ReaderEntry{".log", ReadNmeaLogFile},
    ReaderEntry{".txt", ReadNmeaLogFile},
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

TrackReader FindReader(std::string_view path)
{
    for (const ReaderEntry& entry : Readers) {
        if (EndsWithNoCase(path, entry.Extension))
            return entry.Read;
    }
    return nullptr;
}

}  // namespace tolvex
