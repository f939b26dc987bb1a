#include "remote/command.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

namespace tolvex {
namespace {

struct CommandRow {
    const char* Name;
    Verb Id;
    int MinArgs;
    int MaxArgs;  // -1: the rest of the line is one text
    const char* Usage;
};

// The command table, one row per command, in the order the help lists them.
constexpr CommandRow Commands[] = {
    {"run", Verb::Run, 0, 0, "run"},
    {"pause", Verb::Pause, 0, 0, "pause"},
    {"stop", Verb::Stop, 0, 0, "stop"},
    {"speed", Verb::Speed, 1, 1, "speed KMH"},
    {"course", Verb::Course, 1, 1, "course DEG"},
    {"turn", Verb::Turn, 1, 1, "turn DEG"},
    {"alt", Verb::Alt, 1, 1, "alt M"},
    {"goto", Verb::Goto, 2, 3, "goto LAT LON [ALT]"},
    {"step", Verb::Step, 1, 2, "step N|S|E|W [COUNT]"},
    {"load", Verb::Load, 1, 2, "load FILE [tracks|routes|both]"},
    {"mode", Verb::Mode, 1, 1, "mode F|P|M|S"},
    {"ratio", Verb::Ratio, 1, 1, "ratio R"},
    {"reverse", Verb::Reverse, 1, 1, "reverse on|off"},
    {"offset", Verb::Offset, 1, 1, "offset M"},
    {"loop", Verb::Loop, 1, 1, "loop none|file|segment"},
    {"segment", Verb::Segment, 1, 1, "segment N"},
    {"point", Verb::Point, 1, 1, "point N"},
    {"favourite", Verb::Favourite, 1, 1, "favourite N"},
    {"save-favourite", Verb::SaveFavourite, 1, -1, "save-favourite N [NAME]"},
    {"output", Verb::Output, 2, 2, "output N on|off"},
    {"fix", Verb::Fix, 1, 1, "fix lost|ok"},
    {"mask", Verb::Mask, 1, 1, "mask DEG"},
    {"status", Verb::Status, 0, 0, "status"},
    {"watch", Verb::Watch, 0, 1, "watch [SECONDS]"},
    {"quit", Verb::Quit, 0, 0, "quit"},
    {"wait-point", Verb::WaitPoint, 1, 1, "wait-point N"},
    {"wait-end", Verb::WaitEnd, 0, 0, "wait-end"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A token for an error message: printable ASCII only, cut short, so a reply stays one sane line.
std::string Shown(std::string_view token)
{
    std::string out;
    for (const char c : token.substr(0, 40)) out += c >= 0x20 && c < 0x7F ? c : '?';
    if (token.size() > 40) out += "...";
    return "'" + out + "'";
}

struct Token {
    std::string Text;
    std::size_t End = 0;  // offset just past the token in the line
};

// Blank-separated words; a word in double quotes may hold blanks, with \" and \\ inside.
std::variant<std::vector<Token>, std::string> Tokenize(std::string_view line)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        Token token;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    token.Text += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    ++i;
                    closed = true;
                    break;
                } else {
                    token.Text += line[i++];
                }
            }
            if (!closed) return std::string("unterminated quote");
            if (i < line.size() && !IsBlank(line[i])) return std::string("a quoted word must end at a blank");
        } else {
            while (i < line.size() && !IsBlank(line[i])) token.Text += line[i++];
        }
        token.End = i;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::optional<double> Number(const std::string& text)
{
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<int> Integer(const std::string& text)
{
    int value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

class ArgumentReader {
public:
    ArgumentReader(const CommandRow& row, const std::vector<Token>& tokens) : m_row(row), m_tokens(tokens) {}

    // Finite numbers only: NaN and infinities would poison the fix.
    bool Real(std::size_t i, const char* what, double& out)
    {
        const auto value = Number(m_tokens[i].Text);
        if (!value) return Fail(std::string(what) + " " + Shown(m_tokens[i].Text) + " is not a number");
        if (!std::isfinite(*value)) return Fail(std::string(what) + " must be a finite number");
        out = *value;
        return true;
    }
    bool Whole(std::size_t i, const char* what, int& out)
    {
        const auto value = Integer(m_tokens[i].Text);
        if (!value) return Fail(std::string(what) + " " + Shown(m_tokens[i].Text) + " is not a whole number");
        out = *value;
        return true;
    }
    // The index of the word in choices (lower-case), or a failure listing them.
    bool Choice(std::size_t i, const char* what, std::initializer_list<const char*> choices, int& out)
    {
        const std::string word = Lower(m_tokens[i].Text);
        int k = 0;
        std::string list;
        for (const char* choice : choices) {
            if (word == choice) {
                out = k;
                return true;
            }
            list += (k == 0 ? "" : k + 1 == static_cast<int>(choices.size()) ? " or " : ", ") + std::string(choice);
            ++k;
        }
        return Fail(std::string(what) + " must be " + list + ", not " + Shown(m_tokens[i].Text));
    }
    bool Fail(const std::string& message)
    {
        Error = std::string(m_row.Name) + ": " + message + " (usage: " + m_row.Usage + ")";
        return false;
    }

    std::string Error;

private:
    const CommandRow& m_row;
    const std::vector<Token>& m_tokens;
};

}  // namespace

const char* VerbName(Verb verb)
{
    for (const CommandRow& row : Commands)
        if (row.Id == verb) return row.Name;
    return "?";
}

ParseResult ParseCommand(std::string_view line)
{
    if (line.size() > MaxLineLength) return std::string("line longer than 4096 bytes");
    auto tokenized = Tokenize(line);
    if (auto* error = std::get_if<std::string>(&tokenized)) return *error;
    const std::vector<Token>& all = std::get<std::vector<Token>>(tokenized);
    if (all.empty()) return std::string("empty line: send one command, for example `status`");

    const std::string verb = Lower(all[0].Text);
    const CommandRow* row = nullptr;
    for (const CommandRow& candidate : Commands)
        if (verb == candidate.Name) row = &candidate;
    if (!row) return "unknown command " + Shown(all[0].Text);

    const std::vector<Token> args(all.begin() + 1, all.end());
    const int count = static_cast<int>(args.size());
    ArgumentReader read(*row, args);
    if (count < row->MinArgs) {
        read.Fail("missing argument");
        return read.Error;
    }
    if (row->MaxArgs >= 0 && count > row->MaxArgs) {
        read.Fail("too many arguments");
        return read.Error;
    }

    Command c;
    c.Name = row->Id;
    int choice = 0;
    bool ok = true;
    switch (c.Name) {
    case Verb::Speed: ok = read.Real(0, "KMH", c.Value); break;
    case Verb::Course:
    case Verb::Turn: ok = read.Real(0, "DEG", c.Value); break;
    case Verb::Alt:
    case Verb::Offset: ok = read.Real(0, "M", c.Value); break;
    case Verb::Ratio: ok = read.Real(0, "R", c.Value); break;
    case Verb::Goto:
        ok = read.Real(0, "LAT", c.Value) && read.Real(1, "LON", c.Longitude);
        if (ok && count == 3) {
            double altitude = 0;
            ok = read.Real(2, "ALT", altitude);
            c.Altitude = altitude;
        }
        break;
    case Verb::Step:
        ok = read.Choice(0, "the direction", {"n", "s", "e", "w"}, choice);
        c.Letter = "NSEW"[choice];
        c.Number = 1;
        if (ok && count == 2) {
            ok = read.Whole(1, "COUNT", c.Number);
            if (ok && (c.Number < 1 || c.Number > MaxStepCount)) ok = read.Fail("COUNT must be 1 to 10000");
        }
        break;
    case Verb::Load:
        c.Text = args[0].Text;
        if (count == 2) {
            ok = read.Choice(1, "the content", {"tracks", "routes", "both"}, choice);
            c.Gpx = static_cast<GpxContent>(choice);
        }
        break;
    case Verb::Mode:
        ok = read.Choice(0, "the mode", {"f", "p", "m", "s"}, choice);
        c.Letter = "FPMS"[choice];
        break;
    case Verb::Reverse:
        ok = read.Choice(0, "the direction", {"off", "on"}, choice);
        c.On = choice == 1;
        break;
    case Verb::Loop:
        ok = read.Choice(0, "the loop", {"none", "file", "segment"}, choice);
        c.Loop = static_cast<LoopMode>(choice);
        break;
    case Verb::Segment:
    case Verb::Point:
    case Verb::WaitPoint: ok = read.Whole(0, "N", c.Number); break;
    case Verb::Favourite: ok = read.Whole(0, "N", c.Number); break;
    case Verb::SaveFavourite:
        ok = read.Whole(0, "N", c.Number);
        if (ok && count > 1) {
            // The name is the rest of the line as typed, or one quoted word.
            c.HasText = true;
            c.Text = count == 2 ? args[1].Text : std::string(line.substr(all[1].End));
            while (!c.Text.empty() && IsBlank(c.Text.front())) c.Text.erase(c.Text.begin());
        }
        break;
    case Verb::Output:
        ok = read.Whole(0, "N", c.Number) && read.Choice(1, "the state", {"off", "on"}, choice);
        c.On = choice == 1;
        break;
    case Verb::Fix:
        ok = read.Choice(0, "the state", {"ok", "lost"}, choice);
        c.On = choice == 1;
        break;
    case Verb::Mask:
        ok = read.Real(0, "DEG", c.Value);
        if (ok && (c.Value < 0 || c.Value > 90)) ok = read.Fail("DEG must be 0 to 90");
        break;
    case Verb::Watch:
        c.Value = 1;
        if (count == 1) {
            ok = read.Real(0, "SECONDS", c.Value);
            if (ok && (c.Value < 0.02 || c.Value > 3600)) ok = read.Fail("SECONDS must be 0.02 to 3600");
        }
        break;
    default: break;
    }
    if (!ok) return read.Error;
    return c;
}

}  // namespace tolvex
