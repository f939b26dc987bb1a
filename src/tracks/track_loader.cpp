#include "tracks/track_loader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "config/file_io.h"
#include "tracks/reader.h"
#include "sim/texts.h"

namespace tolvex {

LoadOutcome LoadTrackFile(const std::string& path, TrackStore& store, Replay& replay, const Settings& settings,
                          Host& host)
{
    LoadOutcome outcome;
    store.TrackFilePath = path;
    const ReaderEntry* entry = FindReaderEntry(path);
    if (!entry) {
        host.ShowMessage(Texts::tr("未知的航迹文件类型：\n") + path, Texts::tr("错误"), MessageIcon::Error);
        outcome.MessageShown = true;
        return outcome;
    }
    auto refuse = [&] {
        std::string text = Texts::tr(std::string(entry->LoadFailure).c_str());
        if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
        host.ShowMessage(text, Texts::tr("错误"), MessageIcon::Error);
        outcome.MessageShown = true;
        return outcome;
    };

    // A file that cannot be opened is told in the same words whatever its format. Non-blocking, so
    // that naming a pipe never hangs here.
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
        ::close(fd);
    } else {
        host.ShowMessage(Texts::tr("无法读取文件：\n") + path + " (" + std::strerror(errno) + ")", Texts::tr("错误"),
                         MessageIcon::Error);
        outcome.MessageShown = true;
        return outcome;
    }
    // A FIFO, a device, a folder or a file beyond any track's size would block the reader or feed
    // it forever: refused before the reader sees it.
    ReadStatus status;
    std::string error;
    if (const int fd = OpenRegularFile(path, MaxTrackFileBytes, status, error); fd >= 0)
        ::close(fd);
    else
        return refuse();

    ReadResult result;
    try {
        result = entry->Read(path, ReaderContext{settings, host});
    } catch (const std::bad_alloc&) {
        return refuse();  // the memory the file asked for is not there; the session goes on
    } catch (const std::length_error&) {
        return refuse();
    }
    if (!result) {
        if (!result.Message.Text.empty()) {
            host.ShowMessage(result.Message.Text, Texts::tr(result.Message.Caption.c_str()), result.Message.Icon);
            outcome.MessageShown = true;
        }
        return outcome;
    }

    // The tick must not step the replay on indices of the old track while the lists change.
    replay.SetTrackBusy(true);
    try {
        store.Install(std::move(*result.Track));
    } catch (const std::bad_alloc&) {
        replay.SetTrackBusy(false);  // Install changed nothing
        return refuse();
    }
    replay.SetTrackBusy(false);

    store.LoadedTrackPath = path;
    replay.StartNewTrack();
    host.RefreshPanel(1);
    outcome.Loaded = true;
    outcome.Title = "Tolvex - " + path;
    outcome.ShowTrackModeBar = true;
    return outcome;
}

}  // namespace tolvex
