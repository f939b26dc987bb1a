#include "tracks/track_loader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tracks/reader.h"

namespace tolvex {

LoadOutcome LoadTrackFile(const std::string& path, TrackStore& store, Replay& replay, const Settings& settings,
                          Host& host)
{
    LoadOutcome outcome;
    store.TrackFilePath = path;
    const TrackReader read = FindReader(path);
    if (!read) {
        host.ShowMessage("未知的航迹文件类型：\n" + path, "错误", MessageIcon::Error);
        outcome.MessageShown = true;
        return outcome;
    }

    // A file that cannot be opened is told in the same words whatever its format. Non-blocking, so
    // that naming a pipe never hangs here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        host.ShowMessage("无法读取文件：\n" + path + " (" + std::strerror(errno) + ")", "错误", MessageIcon::Error);
        outcome.MessageShown = true;
        return outcome;
    }
    ::close(fd);

    ReadResult result = read(path, ReaderContext{settings, host});
    if (!result) {
        if (!result.Message.Text.empty()) {
            host.ShowMessage(result.Message.Text, result.Message.Caption, result.Message.Icon);
            outcome.MessageShown = true;
        }
        return outcome;
    }

    // The tick must not step the replay on indices of the old track while the lists change.
    replay.SetTrackBusy(true);
    store.Install(std::move(*result.Track));
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
