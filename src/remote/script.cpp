#include "remote/script.h"

#include <charconv>
#include <cmath>
#include <filesystem>

#include "config/file_io.h"
#include "remote/remote_control.h"
#include "sim/engine_simulator.h"

namespace tolvex {
namespace {

namespace fs = std::filesystem;

std::string At(const std::string& file, int line, const std::string& message)
{
    return file + ":" + std::to_string(line) + ": " + message;
}

// 'text', built by appends: GCC 12 at -O3 warns falsely on a short literal + string chain.
std::string Quoted(std::string_view text) { return std::string(1, '\'').append(text).append(1, '\''); }

// The text before a "#" that starts a word outside quotes.
std::string_view WithoutComment(std::string_view line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"' && (i == 0 || line[i - 1] != '\\')) quoted = !quoted;
        if (line[i] == '#' && !quoted && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    }
    return line;
}

}  // namespace

ScriptParse ParseScript(std::string_view text, const std::string& file)
{
    Script script;
    script.File = file;
    const fs::path folder = fs::path(file).parent_path();
    double lastAt = 0;
    int number = 0;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = WithoutComment(text.substr(start, end - start));
        start = end + 1;
        const int lineNumber = number + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
        if (line.empty()) {
            if (end == text.size()) break;
            continue;
        }
        ScriptLine entry;
        entry.LineNumber = lineNumber;
        if (line.front() == '@' || line.front() == '+') {
            entry.Timing = line.front() == '@' ? ScriptLine::When::At : ScriptLine::When::After;
            std::size_t blank = line.find_first_of(" \t");
            const std::string_view number = line.substr(1, blank == std::string_view::npos ? std::string_view::npos : blank - 1);
            double seconds = -1;
            const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), seconds);
            if (number.empty() || error != std::errc() || stop != number.data() + number.size() ||
                !std::isfinite(seconds) || seconds < 0)
                return At(file, lineNumber, Quoted(line.substr(0, blank)).append(" is not a time: use @SECONDS or +SECONDS"));
            if (blank == std::string_view::npos) return At(file, lineNumber, "a command must follow the time");
            if (entry.Timing == ScriptLine::When::At) {
                if (seconds < lastAt)
                    return At(file, lineNumber, std::string(1, '@').append(number).append(" is earlier than an @ time above it"));
                lastAt = seconds;
            }
            entry.Seconds = seconds;
            line.remove_prefix(blank);
        }
        ParseResult parsed = ParseCommand(line);
        if (auto* message = std::get_if<std::string>(&parsed)) return At(file, lineNumber, *message);
        entry.Action = std::get<Command>(parsed);
        Command& command = entry.Action;
        if (command.Name == Verb::Watch) return At(file, lineNumber, "watch has no reader in a script; use status");
        if (command.Name == Verb::WaitPoint && command.Number < 1) return At(file, lineNumber, "wait-point: N must be 1 or more");
        if (command.Name == Verb::Load) {
            fs::path track(command.Text);
            if (track.is_relative() && !folder.empty()) track = folder / track;
            command.Text = track.string();
            std::error_code error;
            if (!fs::is_regular_file(track, error))
                return At(file, lineNumber, "load: " + command.Text + " is not a readable file");
        }
        script.Lines.push_back(std::move(entry));
        if (end == text.size()) break;
    }
    return script;
}

ScriptParse ReadScript(const std::string& file)
{
    std::string text;
    std::string error;
    const ReadStatus status = ReadWholeFile(file, text, error);
    if (status == ReadStatus::Missing) return At(file, 0, "no such file");
    if (status == ReadStatus::Failed) return At(file, 0, error);
    return ParseScript(text, file);
}

ScriptRunner::ScriptRunner(Script script, RemoteControl& control) : m_script(std::move(script)), m_control(control) {}

std::string ScriptRunner::Where() const
{
    if (m_next >= m_script.Lines.size()) return m_script.File + ": end";
    return m_script.File + ":" + std::to_string(m_script.Lines[m_next].LineNumber);
}

ScriptRunner::Progress ScriptRunner::Fail(const ScriptLine& line, const std::string& message)
{
    m_message = At(m_script.File, line.LineNumber, message);
    return Progress::Failed;
}

ScriptRunner::Progress ScriptRunner::Advance(double now)
{
    while (m_next < m_script.Lines.size()) {
        const ScriptLine& line = m_script.Lines[m_next];
        double due = m_lastRun;
        if (line.Timing == ScriptLine::When::At) due = std::max(line.Seconds, m_lastRun);
        if (line.Timing == ScriptLine::When::After) due = m_lastRun + line.Seconds;
        // A tick's time carries the rounding of 0.02 × n; a line due at that tick runs on it.
        if (now + 1e-9 < due) return Progress::Running;

        const Verb verb = line.Action.Name;
        if (verb == Verb::WaitPoint || verb == Verb::WaitEnd) {
            const Simulator& sim = m_control.Sim();
            if (!m_waiting) {
                if (!sim.Track.Loaded() || sim.TrackReplay.Mode() == TrackMode::Free)
                    return Fail(line, std::string(VerbName(verb)) + " needs a track replayed in mode P, M or S");
                if (verb == Verb::WaitPoint && line.Action.Number > sim.Track.PointCountTotal())
                    return Fail(line, "wait-point: the track has only " + std::to_string(sim.Track.PointCountTotal()) + " points");
                if (verb == Verb::WaitEnd && sim.TrackReplay.Loop() != LoopMode::NoLoop)
                    return Fail(line, "wait-end would wait for ever: the replay loops (`loop none` first)");
                m_waiting = true;
                m_lastPoint = sim.TrackReplay.Point();
            }
            if (!WaitOver(line, now)) return Progress::Running;
            m_waiting = false;
            m_lastRun = now;
            ++m_next;
            continue;
        }
        const Reply reply = m_control.Execute(line.Action);
        if (!reply.Ok) return Fail(line, reply.Body);
        if (verb == Verb::Status && Report) Report(At(m_script.File, line.LineNumber, "status"), reply.Line());
        m_lastRun = due;
        ++m_next;
        if (verb == Verb::Quit) return Progress::Finished;
    }
    return Progress::Finished;
}

bool ScriptRunner::WaitOver(const ScriptLine& line, double)
{
    const Simulator& sim = m_control.Sim();
    const Replay& replay = sim.TrackReplay;
    if (line.Action.Name == Verb::WaitEnd) {
        // The tick pauses the simulator when the replay ends without a loop, on the last point.
        return sim.Core.State == RunState::Paused && replay.Point() >= sim.Track.PointCountTotal();
    }
    // Reached, or passed within one step (mode M skips points at speed), also across a loop's wrap.
    const int target = line.Action.Number;
    const int previous = m_lastPoint;
    const int current = replay.Point();
    m_lastPoint = current;
    if (current == target) return true;
    if (current > previous) return previous < target && target <= current;
    if (current < previous) return target > previous || target <= current;
    return false;
}

}  // namespace tolvex
