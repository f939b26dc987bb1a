#pragma once
// A track reader: a plain function from a path to a built track, or to the message that tells
// the user why not. Readers keep no state between calls; the loader installs the track and
// shows the message.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "sim/host.h"
#include "tracks/track_store.h"
#include "sim/texts.h"

namespace tolvex {

// What a failed read wants shown. An empty Text means "fail silently" (for instance a file that
// cannot be opened, or one whose segments all fail the filter).
struct ReaderMessage {
    std::string Text;
    std::string Caption = Texts::Mark("错误");
    MessageIcon Icon = MessageIcon::Error;
};

struct ReadResult {
    std::optional<BuiltTrack> Track;  // set on success
    ReaderMessage Message;            // on failure: what to show (Text may be empty)

    explicit operator bool() const { return Track.has_value(); }

    static ReadResult Success(BuiltTrack track) { return ReadResult{std::move(track), {}}; }
    static ReadResult Failure(std::string text = {}) { return ReadResult{std::nullopt, {std::move(text)}}; }
    // Commit result of a builder: success with the track, or a silent failure.
    static ReadResult FromCommit(std::optional<BuiltTrack> track)
    {
        return ReadResult{std::move(track), {}};
    }
};

// What a reader may use besides the file: the segment filter and, for GPX's question, the host.
struct ReaderContext {
    const Settings& Config;
    Host& UserHost;
};

using TrackReader = ReadResult (*)(const std::string& path, const ReaderContext& context);

// One file format: a lower-case extension with its dot (".plt"), its reader, and the message of
// a file it cannot load at all (no regular file, too large, beyond the memory); %s is the path.
struct ReaderEntry {
    std::string_view Extension;
    TrackReader Read;
    std::string_view LoadFailure;
};

// The known formats, in the order extensions are compared (reader_registry.cpp).
std::span<const ReaderEntry> ReaderRegistry();

// The reader whose extension ends path (compared case-insensitively), or null.
TrackReader FindReader(std::string_view path);
const ReaderEntry* FindReaderEntry(std::string_view path);

// True when text ends in suffix, compared case-insensitively; suffix is lower case.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// The readers, one per file in tracks/readers/.
ReadResult ReadPltFile(const std::string& path, const ReaderContext& context);
ReadResult ReadGpxFile(const std::string& path, const ReaderContext& context);
ReadResult ReadKmlFile(const std::string& path, const ReaderContext& context);
ReadResult ReadGpssimFile(const std::string& path, const ReaderContext& context);
ReadResult ReadTrkFile(const std::string& path, const ReaderContext& context);
ReadResult ReadNmeaLogFile(const std::string& path, const ReaderContext& context);  // .nmea .nma .log .txt

}  // namespace tolvex
