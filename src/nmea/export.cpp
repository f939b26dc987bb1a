#include "nmea/export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "sky/sky_model.h"
#include "config/file_io.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int ExportStepInterval = 1000;   // ms: one record per second of replay
constexpr std::size_t ChunkSize = 1 << 19;  // one system call per half megabyte, not per sentence
constexpr std::size_t StepBatch = 2048;      // replay steps handed on at a time
constexpr long long ProgressEvery = 16384;  // records
// The most one record can take: every line a build can make, each with CR LF.
constexpr std::size_t MaxRecordSize = MaxSentenceLines * (SentenceBufferSize + 2);

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Items passed from one thread to a thread of its own that consumes them, through a ring of
// buffers: one fills while the others wait or are worked through, so that neither side waits for
// the other to wake up at every hand-over. Everything handed is consumed in order; what the
// consumer throws is kept, and nothing more is consumed after it.
template <typename Item>
class Pipe {
public:
    using Consumer = std::function<void(const Item* items, std::size_t count)>;
    // A buffer is handed on once it holds size items; Room always leaves slack for the largest put.
    Pipe(std::size_t size, std::size_t slack, Consumer consume) : m_size(size), m_consume(std::move(consume))
    {
        for (auto& buffer : m_buffers) buffer.resize(size + slack);
        m_thread = std::thread([this] { Run(); });
    }
    ~Pipe() { Finish(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Room for the next items, up to Filled.
    Item* Room()
    {
        if (m_used >= m_size) Hand();
        return m_buffers[m_filling].data() + m_used;
    }
    void Filled(const Item* end) { m_used = static_cast<std::size_t>(end - m_buffers[m_filling].data()); }

    // Hands what is left, waits until all is consumed and ends the thread.
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
    // After Finish: what the consumer threw, if anything.
    void Rethrow() const
    {
        if (m_error) std::rethrow_exception(m_error);
    }
    // The consumer has thrown: what is handed from now on is dropped.
    bool Broken() const { return m_broken.load(std::memory_order_relaxed); }

private:
    static constexpr std::size_t Depth = 4;

    // The buffer being filled goes to the consumer; the next one is filled once the consumer is
    // done with it. The handed buffers are always the ones just before the one being filled.
    void Hand()
    {
        std::unique_lock lock(m_mutex);
        m_counts[m_filling] = m_used;
        ++m_handed;
        m_changed.notify_all();
        m_filling = (m_filling + 1) % Depth;
        m_changed.wait(lock, [this] { return m_handed < Depth; });
        m_used = 0;
    }
    void Run()
    {
        std::unique_lock lock(m_mutex);
        for (std::size_t next = 0;; next = (next + 1) % Depth) {
            m_changed.wait(lock, [this] { return m_handed > 0 || m_stop; });
            if (m_handed == 0) return;
            const Item* items = m_buffers[next].data();
            const std::size_t count = m_counts[next];
            lock.unlock();
            if (!m_error) {
                try {
                    m_consume(items, count);
                } catch (...) {
                    m_error = std::current_exception();
                    m_broken.store(true, std::memory_order_relaxed);
                }
            }
            lock.lock();
            --m_handed;
            m_changed.notify_all();
        }
    }

    std::size_t m_size;
    Consumer m_consume;
    std::array<std::vector<Item>, Depth> m_buffers;
    std::array<std::size_t, Depth> m_counts{};
    std::size_t m_filling = 0;
    std::size_t m_used = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_handed = 0;  // buffers with the consumer, waiting or being consumed
    bool m_stop = false;
    std::exception_ptr m_error;  // the thread's alone until joined
    std::atomic<bool> m_broken{false};
    std::thread m_thread;
};

// One step of the replay as its record needs it.
struct ExportStep {
    SimFix Fix;
    RunState State = RunState::Running;
    std::int64_t TrackMs = 0;  // the track's own time, for track times
};

// The lines of the sentences the file takes, each with CR LF, at at: the end.
char* PutRecord(const NmeaBuilder& builder, const ExportOptions& options, char* at)
{
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
    return at;
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

    // Three stages, each on a thread of its own: the replay here, the sentences, and the writing
    // with the kernel's copy of the output. The sentences see the settings as the export began.
    const Settings settings = m_settings;
    // The clock starts here, as the first build would start it, so that no thread but this one
    // reads the calendar.
    if (!options.TrackTimes && !m_clock.FixClockStart) {
        m_clock.FixClockStart = m_calendar.Now();
        m_clock.ExportSentenceCount = 0;
    }
    NmeaBuilder builder;
    builder.SetWanted(options.Sentences);  // what the file does not take is never formatted
    // The export's own sky, started afresh: with a seed the same file comes out every time.
    std::optional<SkyModel> sky;
    if (settings.Sky.Enabled) sky.emplace().Configure(settings.Sky);
    m_cancelled = false;

    std::atomic<bool> failed{false};
    off_t offset = std::max<off_t>(::ftello(file), 0);
    Pipe<char> writer(ChunkSize, MaxRecordSize, [&](const char* data, std::size_t size) {
        if (failed.load(std::memory_order_relaxed)) return;
        if (std::fwrite(data, 1, size, file) != size || std::ferror(file)) failed.store(true, std::memory_order_relaxed);
        // The disk starts on each chunk now rather than all at once in the final flush to disk
        // (only a file takes this; a pipe or a device says no, which changes nothing).
        ::sync_file_range(::fileno(file), offset, static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
        offset += static_cast<off_t>(size);
    });
    const std::int64_t offsetMs = static_cast<std::int64_t>(settings.GPSTimeOffset * 3600) * 1000;
    Pipe<ExportStep> sentences(StepBatch, 1, [&](const ExportStep* steps, std::size_t count) {
        for (const ExportStep& step : std::span(steps, count)) {
            if (failed.load(std::memory_order_relaxed)) return;
            if (options.TrackTimes) {
                ++m_clock.ExportSentenceCount;  // the records are counted all the same
                builder.BuildSentencesAt(step.Fix, step.State, settings, step.TrackMs + offsetMs, sky ? &*sky : nullptr);
            } else {
                builder.BuildSentences(step.Fix, step.State, settings, m_clock, m_calendar, true, sky ? &*sky : nullptr);
            }
            writer.Filled(PutRecord(builder, options, writer.Room()));
        }
    });

    long long records = 0;
    bool finished = false;
    std::int64_t trackMs = 0;
    while (!finished) {
        m_replay.ReplayStep(finished, singleSegment);
        if (options.TrackTimes) {
            // A point without a time inside a timed track: one step on from the last record.
            const std::optional<double> t = m_replay.TrackTime();
            trackMs = t ? static_cast<std::int64_t>(std::llround(*t * 1000)) : trackMs + ExportStepInterval;
        }
        ExportStep* step = sentences.Room();
        *step = {m_fix, m_runState, trackMs};
        sentences.Filled(step + 1);
        ++records;
        if (Progress && records % ProgressEvery == 0 && !Progress(m_replay.Point(), m_replay.Store().PointCountTotal())) {
            m_cancelled = true;
            break;
        }
        // A full disk fails every later write too: stop instead of replaying to the end.
        if (failed.load(std::memory_order_relaxed) || sentences.Broken() || writer.Broken())
            break;
    }
    sentences.Finish();
    writer.Finish();
    sentences.Rethrow();
    writer.Rethrow();

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
