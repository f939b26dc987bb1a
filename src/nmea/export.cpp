#include "nmea/export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <memory>
#include <optional>
#include <vector>

#include "sky/sky_model.h"
#include "config/file_io.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int ExportStepInterval = 1000;         // ms: one record per second of replay
constexpr std::size_t WriteBufferSize = 1 << 20;  // one system call per megabyte, not per sentence
constexpr long long ProgressEvery = 16384;        // records

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

NmeaExport::NmeaExport(Replay& replay, SimFix& fix, const Settings& settings, const RunState& runState,
                       FixClock& clock, const CalendarClock& calendar, bool& exportRunning, Host& host)
    : m_replay(replay), m_fix(fix), m_settings(settings), m_runState(runState), m_clock(clock), m_calendar(calendar),
      m_exportRunning(exportRunning), m_host(host)
{
}

bool NmeaExport::NeverFinishes()
{
    if (m_replay.Mode() == TrackMode::M && !(m_fix.Speed > 0)) {
        m_host.ShowMessage(Texts::tr("手控速度航迹模式（M模式），且速度为0时，无法产生NMEA文件！"), Texts::tr("错误"),
                           MessageIcon::Error);
        return true;
    }
    // Mode S with ratio 0 stands still on the first leg of a segment: the run would never end.
    if (m_replay.Mode() == TrackMode::S && !(m_replay.SpeedRatio() > 0)) {
        m_host.ShowMessage(Texts::tr("时间驱动航迹模式（S模式），且速度比例为0时，无法产生NMEA文件！"), Texts::tr("错误"),
                           MessageIcon::Error);
        return true;
    }
    return false;
}

bool NmeaExport::CheckSpeed()
{
    if (NeverFinishes())
        return false;
    if (m_replay.Mode() == TrackMode::M && m_fix.Speed < 1 / KmhPerMps)
        return m_host.AskYesNo(Texts::tr("手控速度航迹模式（M模式），且速度较小时，可能产生较大的NMEA文件\n是否继续？"),
                               Texts::tr("警告"));
    return true;
}

long long NmeaExport::ExportNmea(std::FILE* file, const ExportOptions& options)
{
    const ReplaySnapshot saved = m_replay.Save();
    const int startSegment = options.Segment > 0 ? options.Segment : 1;
    const bool singleSegment = options.Segment > 0;

    m_replay.SetLoop(LoopMode::NoLoop);
    m_exportRunning = true;
    m_replay.SetStepInterval(ExportStepInterval);
    m_replay.GoToTrackPoint(startSegment, 1);

    NmeaBuilder builder;
    builder.SetWanted(options.Sentences);  // what the file does not take is never formatted
    // The export's own sky, started afresh: with a seed the same file comes out every time.
    std::optional<SkyModel> sky;
    if (m_settings.Sky.Enabled) sky.emplace().Configure(m_settings.Sky);
    m_cancelled = false;
    long long records = 0;
    bool finished = false;
    std::int64_t trackMs = 0;
    const std::int64_t offsetMs = static_cast<std::int64_t>(m_settings.GPSTimeOffset * 3600) * 1000;
    while (!finished) {
        m_replay.ReplayStep(finished, singleSegment);
        if (options.TrackTimes) {
            // A point without a time inside a timed track: one step on from the last record.
            const std::optional<double> t = m_replay.TrackTime();
            trackMs = t ? static_cast<std::int64_t>(std::llround(*t * 1000)) : trackMs + ExportStepInterval;
            ++m_clock.ExportSentenceCount;  // the records are counted all the same
            builder.BuildSentencesAt(m_fix, m_runState, m_settings, trackMs + offsetMs, sky ? &*sky : nullptr);
        } else {
            builder.BuildSentences(m_fix, m_runState, m_settings, m_clock, m_calendar, true, sky ? &*sky : nullptr);
        }
        builder.AppendLineEnds();
        for (int i = 0; i < SentenceCount; ++i) {
            if (!options.Sentences[i]) continue;
            for (int line = 0; line < builder.LineCount(i); ++line)
                std::fwrite(builder.Text(i, line), 1, static_cast<std::size_t>(builder.Length(i, line)), file);
        }
        ++records;
        if (Progress && records % ProgressEvery == 0 && !Progress(m_replay.Point(), m_replay.Store().PointCountTotal())) {
            m_cancelled = true;
            break;
        }
        // A full disk fails every later write too: stop instead of replaying to the end.
        if (std::ferror(file))
            break;
    }

    m_replay.Restore(saved);
    m_exportRunning = false;
    return records;
}

std::optional<std::string> NmeaExport::SaveAs(const std::string& path, const ExportOptions& options)
{
    if (!m_replay.Store().Loaded() || m_replay.Mode() == TrackMode::Free || NeverFinishes())
        return std::nullopt;

    const std::string failure = Texts::tr("无法写入文件：\n") + path;
    // A device or pipe is written in place; a file is written beside its final name and put there
    // only when complete, so a failed or cancelled export never costs the user an older file.
    // Only where the folder takes no temporary file is a file written in place.
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    bool inPlace = exists && !S_ISREG(existing.st_mode);
    // Nothing of an interrupted export stays behind (see PendingFile).
    PendingFile pending;
    std::FILE* file = nullptr;
    if (!inPlace) {
        // A replaced file keeps its permissions; a new one gets what the umask allows.
        if (pending.Open(path, exists ? existing.st_mode & 07777 : 0666 & ~CurrentUmask())) {
            const int fd = ::dup(pending.Descriptor());
            file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
            if (!file && fd >= 0) ::close(fd);
        } else {
            // A folder that takes no new file may still hold a writable one: write that in place.
            inPlace = true;
        }
    }
    if (inPlace) file = std::fopen(path.c_str(), "wb");
    if (!file) {
        m_host.ShowMessage(failure, Texts::tr("错误"), MessageIcon::Error);
        return std::nullopt;
    }
    std::vector<char> buffer(WriteBufferSize);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

    ExportNmea(file, options);
    const bool written = std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    const bool complete = written && closed && !m_cancelled;
    if (!complete || (!inPlace && !pending.Commit())) {
        pending.Abandon();
        if (!m_cancelled) m_host.ShowMessage(failure, Texts::tr("错误"), MessageIcon::Error);
        return std::nullopt;
    }
    return Texts::tr("已存为") + path;
}

}  // namespace tolvex
