#include "nmea/export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "sky/sky_model.h"
#include "config/file_io.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int ExportStepInterval = 1000;   // ms: one record per second of replay
constexpr std::size_t ChunkSize = 1 << 20;  // one system call per megabyte, not per sentence
constexpr long long ProgressEvery = 16384;  // records
// The most one record can take: every line a build can make, each with CR LF.
constexpr std::size_t MaxRecordSize = MaxSentenceLines * (SentenceBufferSize + 2);

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Records are gathered in one large chunk while the chunk before is written by a thread of its
// own, so the kernel's copy of the output overlaps the building of the next records. A failed
// write is kept and nothing more is written after it.
class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* file) : m_file(file), m_offset(std::max<off_t>(::ftello(file), 0))
    {
        for (auto& chunk : m_chunks) chunk.resize(ChunkSize + MaxRecordSize);
        m_thread = std::thread([this] { Run(); });
    }
    ~ChunkWriter() { Finish(); }
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Room for one record, up to Filled.
    char* Room()
    {
        if (m_used >= ChunkSize) Hand();
        return m_chunks[m_filling].data() + m_used;
    }
    void Filled(const char* end) { m_used = static_cast<std::size_t>(end - m_chunks[m_filling].data()); }
    bool Failed() const { return m_failed.load(std::memory_order_relaxed); }

    // Writes what is left and waits for the thread.
    void Finish()
    {
        if (!m_thread.joinable()) return;
        if (m_used > 0) Hand();
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    void Hand()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });  // the other chunk is out
        m_pending = m_chunks[m_filling].data();
        m_pendingSize = m_used;
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();
        m_filling ^= 1;
        m_used = 0;
    }
    void Run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_busy || m_stop; });
            if (!m_busy) return;
            lock.unlock();
            const bool written =
                Failed() || std::fwrite(m_pending, 1, m_pendingSize, m_file) == m_pendingSize;
            if (!written || std::ferror(m_file)) m_failed.store(true, std::memory_order_relaxed);
            // The disk starts on each chunk now rather than all at once in the final flush to disk
            // (only a file takes this; a pipe or a device says no, which changes nothing).
            ::sync_file_range(::fileno(m_file), m_offset, static_cast<off_t>(m_pendingSize), SYNC_FILE_RANGE_WRITE);
            m_offset += static_cast<off_t>(m_pendingSize);
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::FILE* m_file;
    off_t m_offset;  // where the chunk being written starts, for the thread alone
    std::array<std::vector<char>, 2> m_chunks;
    int m_filling = 0;
    std::size_t m_used = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_pending = nullptr;  // the chunk the thread writes while m_busy
    std::size_t m_pendingSize = 0;
    bool m_busy = false;
    bool m_stop = false;
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

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
    ChunkWriter writer(file);
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
        char* at = writer.Room();
        for (int i = 0; i < SentenceCount; ++i) {
            if (!options.Sentences[i]) continue;
            for (int line = 0; line < builder.LineCount(i); ++line) {
                const auto length = static_cast<std::size_t>(builder.Length(i, line));
                std::memcpy(at, builder.Text(i, line), length);
                at[length] = '\r';
                at[length + 1] = '\n';
                at += length + 2;
            }
        }
        writer.Filled(at);
        ++records;
        if (Progress && records % ProgressEvery == 0 && !Progress(m_replay.Point(), m_replay.Store().PointCountTotal())) {
            m_cancelled = true;
            break;
        }
        // A full disk fails every later write too: stop instead of replaying to the end.
        if (writer.Failed())
            break;
    }
    writer.Finish();

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
    // The records come in chunks of a megabyte: straight to the file, not through a buffer.
    std::setvbuf(file, nullptr, _IONBF, 0);

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
