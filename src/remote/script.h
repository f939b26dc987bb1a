#pragma once
// Scenario scripts: control commands on the simulator's own clock. "@12.5 speed 80" runs 12.5 s
// after the start, "+3 course 90" 3 s after the line before, a bare command right after it;
// wait-point N and wait-end hold the script until the replay gets there; "#" starts a comment.

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "remote/command.h"

namespace tolvex {

class RemoteControl;

struct ScriptLine {
    enum class When { Next, At, After };
    int LineNumber = 0;
    When Timing = When::Next;
    double Seconds = 0;
    Command Action;
};

struct Script {
    std::string File;
    std::vector<ScriptLine> Lines;
};

// Every line checked before anything runs; the error names the file and line ("run.txt:7: ...").
// Relative track paths of `load` are taken from the script's folder.
using ScriptParse = std::variant<Script, std::string>;
ScriptParse ParseScript(std::string_view text, const std::string& file);
// The file read and parsed; a file that cannot be read is an error of line 0.
ScriptParse ReadScript(const std::string& file);

class ScriptRunner {
public:
    enum class Progress { Running, Finished, Failed };

    ScriptRunner(Script script, RemoteControl& control);

    // Runs every line due at the simulated time now (seconds since the start). Failed leaves the
    // reason in Message; a `status` line's reply goes to Report.
    Progress Advance(double now);
    const std::string& Message() const { return m_message; }
    std::function<void(const std::string& where, const std::string& reply)> Report;

    // "run.txt:12" of the line to run next.
    std::string Where() const;

private:
    bool WaitOver(const ScriptLine& line, double now);
    Progress Fail(const ScriptLine& line, const std::string& message);

    Script m_script;
    RemoteControl& m_control;
    std::size_t m_next = 0;
    double m_lastRun = 0;
    bool m_waiting = false;
    int m_lastPoint = 0;
    std::string m_message;
};

}  // namespace tolvex
