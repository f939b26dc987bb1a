// tolvex ctl: one command to a running Tolvex over its control channel; the reply printed, and the
// exit code 0 for ok, 1 for error, 2 when nobody answers.

#include <CLI/CLI.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "remote/control_server.h"

namespace tolvex {
namespace {

constexpr int ExitOk = 0;
constexpr int ExitError = 1;
constexpr int ExitNoAnswer = 2;

struct CtlOptions {
    std::string Control;
    std::vector<std::string> Words;
    double Timeout = 30;
};

void Complain(const std::string& text) { std::fprintf(stderr, "tolvex: %s\n", text.c_str()); }

// The words as one protocol line; a word with blanks or quotes goes in double quotes.
std::string JoinWords(const std::vector<std::string>& words)
{
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        if (!word.empty() && word.find_first_of(" \t\"\\") == std::string::npos) {
            line += word;
            continue;
        }
        line += '"';
        for (const char c : word) {
            if (c == '"' || c == '\\') line += '\\';
            line += c;
        }
        line += '"';
    }
    return line;
}

int Connect(const ControlSpec& target, std::string& error)
{
    sockaddr_storage address{};
    const socklen_t length = ControlAddress(target, address);
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

// One line from the socket, waiting at most until the deadline (none: for ever); false at its end.
bool ReadLine(int fd, std::string& buffer, std::string& line, std::optional<std::chrono::steady_clock::time_point> deadline)
{
    while (true) {
        const std::size_t end = buffer.find('\n');
        if (end != std::string::npos) {
            line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            return true;
        }
        int wait = -1;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            wait = static_cast<int>(left.count());
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, wait) <= 0) return false;
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

void PrintReply(const std::string& line, bool pretty)
{
    if (line == "ok") {
        std::puts("ok");
        return;
    }
    const std::string body = line.substr(line.find(' ') + 1);
    const auto json = nlohmann::ordered_json::parse(body, nullptr, false);
    if (json.is_discarded())
        std::puts(body.c_str());
    else
        std::puts(json.dump(pretty ? 2 : -1).c_str());
}

int Ctl(const CtlOptions& options)
{
    const char* fromEnvironment = std::getenv("TOLVEX_CONTROL");
    const std::string text = !options.Control.empty() ? options.Control : fromEnvironment ? fromEnvironment : "";
    auto parsed = ParseControlSpec(text);
    if (auto* error = std::get_if<std::string>(&parsed)) {
        Complain(*error);
        return ExitNoAnswer;
    }
    const ControlSpec& target = std::get<ControlSpec>(parsed);
    if (target.Type == ControlSpec::Kind::Stdin) {
        Complain("a running Tolvex is reached by unix:PATH or tcp:[ADDR:]PORT, not stdin");
        return ExitNoAnswer;
    }
    const std::string where = target.Type == ControlSpec::Kind::Unix ? "unix:" + target.Path
                                                                   : "tcp:" + target.Address + ":" + std::to_string(target.Port);
    std::string error;
    const int fd = Connect(target, error);
    if (fd < 0) {
        Complain("nothing listens on " + where + " (" + error + "); start one with `tolvex run --control`");
        return ExitNoAnswer;
    }
    // A track path is the caller's, relative to where ctl runs rather than where Tolvex was started.
    std::vector<std::string> words = options.Words;
    if (words.size() >= 2 && words[0] == "load" && !words[1].empty() && words[1][0] != '/')
        words[1] = std::filesystem::absolute(words[1]).string();
    const std::string request = JoinWords(words) + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        Complain("cannot send to " + where + ": " + std::strerror(errno));
        ::close(fd);
        return ExitNoAnswer;
    }
    std::string buffer, line;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(options.Timeout * 1000));
    if (!ReadLine(fd, buffer, line, deadline)) {
        Complain("no reply from " + where);
        ::close(fd);
        return ExitNoAnswer;
    }
    if (line.rfind("error", 0) == 0) {
        Complain(line);
        ::close(fd);
        return ExitError;
    }
    const std::string verb = options.Words.empty() ? "" : options.Words.front();
    PrintReply(line, verb == "status");
    // A watch goes on: one status object a line until the run ends or the user interrupts.
    if (verb == "watch") {
        std::fflush(stdout);
        while (ReadLine(fd, buffer, line, std::nullopt)) {
            std::puts(line.c_str());
            std::fflush(stdout);
        }
    }
    ::close(fd);
    return ExitOk;
}

}  // namespace

void AddCtlCommand(CLI::App& app)
{
    auto options = std::make_shared<CtlOptions>();
    CLI::App* ctl = app.add_subcommand("ctl", "Send one command to a running Tolvex (tolvex run --control) and print "
                                              "the reply; exit 0 on ok, 1 on error, 2 when nothing listens");
    ctl->add_option("--control", options->Control,
                    "unix:PATH or tcp:[ADDR:]PORT (default: $TOLVEX_CONTROL, else unix:" + DefaultControlPath() + ")");
    ctl->add_option("--timeout", options->Timeout, "Seconds to wait for the reply")->check(CLI::PositiveNumber);
    ctl->add_option("COMMAND", options->Words, "The command and its arguments, e.g. goto 48.1 11.5")->required();
    ctl->positionals_at_end();
    ctl->callback([options] { SetCommandExitCode(Ctl(*options)); });
}

}  // namespace tolvex
