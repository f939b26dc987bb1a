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
#include <memory>
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
    // A buffer is handed on once it holds size items.
    Pipe(std::size_t size, Consumer consume) : m_size(size), m_consume(std::move(consume))
    {
        for (auto& buffer : m_buffers) buffer.resize(size);
        m_thread = std::thread([this] { Run(); });
    }
    ~Pipe() { Finish(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Adds an item; true when that filled the buffer, which is then handed on.
    bool Put(const Item& item)
    {
        m_buffers[m_filling][m_used++] = item;
        if (m_used < m_size) return false;
        Hand();
        return true;
    }
    // Hands what the buffer holds now; false when it holds nothing.
    bool Flush()
    {
        if (m_used == 0) return false;
        Hand();
        return true;
    }

    // Hands what is left, waits until all is consumed and ends the thread.
    void Finish()
    {
        if (!m_thread.joinable()) return;
        Flush();
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
    std::thread m_thread;
};

// One step of the replay as its record needs it.
struct ExportStep {
    SimFix Fix;
    RunState State = RunState::Running;
    std::int64_t FixMs = 0;  // the record's time, milliseconds since 1970
};

// A batch's records: grown, never zeroed (a megabyte cleared per batch costs more than the
// records take to build).
struct RecordBuffer {
    std::unique_ptr<char[]> Bytes;
    std::size_t Capacity = 0;
    std::size_t Used = 0;

    // Room for one more record at Bytes + Used.
    char* Room()
    {
        if (Capacity - Used < MaxRecordSize) {
            const std::size_t capacity = std::max(Capacity * 2, Used + MaxRecordSize * 64);
            auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
            if (Used > 0) std::memcpy(bytes.get(), Bytes.get(), Used);
            Bytes = std::move(bytes);
            Capacity = capacity;
        }
        return Bytes.get() + Used;
    }
};

// Batches of records on their way from the builders, each on a thread of its own, to the writer:
// a batch gets its slot once the writer is done with the batch Slots before it, and the writer
// takes the batches in the order of their steps, whichever builder finishes first.
class BatchRing {
public:
    static constexpr std::size_t Slots = 5;

    // Builder: the emptied slot of batch k, once the writer is done with what it held.
    RecordBuffer& Take(std::size_t k)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return k < m_written + Slots || m_failed; });
        RecordBuffer& slot = m_slots[k % Slots].Records;
        slot.Used = 0;
        return slot;
    }
    // Builder: batch k is complete.
    void Ready(std::size_t k)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_slots[k % Slots].Batch = k;
        }
        m_changed.notify_all();
    }
    // Writer: batch k once complete; null when no batch k comes (the export ended before it, or
    // failed).
    const RecordBuffer* Next(std::size_t k)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_slots[k % Slots].Batch == k || m_failed || k >= m_total; });
        return m_slots[k % Slots].Batch == k && !m_failed ? &m_slots[k % Slots].Records : nullptr;
    }
    // Writer: batch k is in the file.
    void Written()
    {
        {
            const std::lock_guard lock(m_mutex);
            ++m_written;
        }
        m_changed.notify_all();
    }
    // The export handed total batches: the writer stops after them.
    void Close(std::size_t total)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_total = total;
        }
        m_changed.notify_all();
    }
    // Nothing more is built or written.
    void Fail()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_failed = true;
        }
        m_changed.notify_all();
    }

private:
    struct Slot {
        RecordBuffer Records;
        std::size_t Batch = SIZE_MAX;  // the batch it holds complete
    };
    std::array<Slot, Slots> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_written = 0;
    std::size_t m_total = SIZE_MAX;
    bool m_failed = false;
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

    // The replay runs here; the records are built on threads of their own, two of them when there
    // is no sky (whose observations must follow one another), each taking every other batch of
    // steps; the writing with the kernel's copy of the output has a thread of its own too. The
    // builders see the settings as the export began.
    const Settings settings = m_settings;
    // The clock starts here, as the first build would start it; only this thread counts records.
    if (!options.TrackTimes && !m_clock.FixClockStart) {
        m_clock.FixClockStart = m_calendar.Now();
        m_clock.ExportSentenceCount = 0;
    }
    // The export's own sky, started afresh: with a seed the same file comes out every time.
    std::optional<SkyModel> sky;
    if (settings.Sky.Enabled) sky.emplace().Configure(settings.Sky);
    const std::size_t builders = sky ? 1 : 2;
    m_cancelled = false;

    std::atomic<bool> failed{false};
    BatchRing batches;
    std::thread writer([&] {
        off_t offset = std::max<off_t>(::ftello(file), 0);
        for (std::size_t k = 0; const RecordBuffer* records = batches.Next(k); ++k) {
            if (std::fwrite(records->Bytes.get(), 1, records->Used, file) != records->Used || std::ferror(file)) {
                failed.store(true, std::memory_order_relaxed);
                batches.Fail();
                return;
            }
            // The disk starts on each batch now rather than all at once in the final flush to disk
            // (only a file takes this; a pipe or a device says no, which changes nothing).
            ::sync_file_range(::fileno(file), offset, static_cast<off_t>(records->Used), SYNC_FILE_RANGE_WRITE);
            offset += static_cast<off_t>(records->Used);
            batches.Written();
        }
    });
    // However the export ends, nothing is written after it and the writer's thread is waited for.
    struct StopWriter {
        BatchRing& Batches;
        std::thread& Thread;
        ~StopWriter()
        {
            if (!Thread.joinable()) return;
            Batches.Fail();
            Thread.join();
        }
    } stopWriter{batches, writer};
    // Batch k goes to builder k % builders, which sees its batches in their order.
    std::array<NmeaBuilder, 2> sentenceBuilders;
    std::array<std::size_t, 2> nextBatch = {0, 1};
    std::array<std::unique_ptr<Pipe<ExportStep>>, 2> steps;
    for (std::size_t b = 0; b < builders; ++b) {
        sentenceBuilders[b].SetWanted(options.Sentences);  // what the file does not take is never formatted
        steps[b] = std::make_unique<Pipe<ExportStep>>(StepBatch, [&, b](const ExportStep* batch, std::size_t count) {
            const std::size_t k = nextBatch[b];
            nextBatch[b] += builders;
            RecordBuffer& records = batches.Take(k);
            try {
                for (const ExportStep& step : std::span(batch, count)) {
                    if (failed.load(std::memory_order_relaxed)) return;
                    sentenceBuilders[b].BuildSentencesAt(step.Fix, step.State, settings, step.FixMs, sky ? &*sky : nullptr);
                    records.Used = static_cast<std::size_t>(PutRecord(sentenceBuilders[b], options, records.Room()) - records.Bytes.get());
                }
            } catch (...) {
                failed.store(true, std::memory_order_relaxed);
                batches.Fail();
                throw;
            }
            batches.Ready(k);
        });
    }

    const std::int64_t offsetMs = static_cast<std::int64_t>(settings.GPSTimeOffset * 3600) * 1000;
    long long records = 0;
    std::size_t handed = 0;  // batches
    bool finished = false;
    std::int64_t trackMs = 0;
    while (!finished) {
        m_replay.ReplayStep(finished, singleSegment);
        std::int64_t fixMs;
        if (options.TrackTimes) {
            // A point without a time inside a timed track: one step on from the last record.
            const std::optional<double> t = m_replay.TrackTime();
            trackMs = t ? static_cast<std::int64_t>(std::llround(*t * 1000)) : trackMs + ExportStepInterval;
            ++m_clock.ExportSentenceCount;  // the records are counted all the same
            fixMs = trackMs + offsetMs;
        } else {
            fixMs = NextExportMilliseconds(m_clock, settings);
        }
        if (steps[handed % builders]->Put({m_fix, m_runState, fixMs})) ++handed;
        ++records;
        if (Progress && records % ProgressEvery == 0 && !Progress(m_replay.Point(), m_replay.Store().PointCountTotal())) {
            m_cancelled = true;
            break;
        }
        // A full disk fails every later write too, as a builder that threw fails every later
        // batch: stop instead of replaying to the end.
        if (failed.load(std::memory_order_relaxed))
            break;
    }
    handed += steps[handed % builders]->Flush();
    for (std::size_t b = 0; b < builders; ++b) steps[b]->Finish();
    batches.Close(handed);
    writer.join();
    for (std::size_t b = 0; b < builders; ++b) steps[b]->Rethrow();

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
