#include "nmea/log_player.h"

#include <algorithm>
#include <cmath>

#include "config/file_io.h"
#include "tracks/readers/nmea_log.h"

namespace tolvex {
namespace {

constexpr double DefaultLoopGapMs = 1000;
constexpr double ClockSlack = 1e-6;  // ms: sums of tick lengths must not miss a due time by rounding

// A step back counts as none: a log that restarts its clock goes on at once instead of stalling.
double StepSeconds(double from, double to)
{
    const double step = TimeOfDayStep(from, to);
    return step < 0 ? 0 : step;
}

}  // namespace

LogPlayer::LogPlayer(std::string text, double rate, bool loop) : m_text(std::move(text)), m_rate(rate), m_loop(loop)
{
    std::optional<double> burstTime;
    double due = 0;
    int lineNumber = 0;
    for (std::size_t begin = 0; begin < m_text.size();) {
        std::size_t end = m_text.find('\n', begin);
        end = end == std::string::npos ? m_text.size() : end + 1;
        ++lineNumber;
        const auto time = LineTimeOfDay(std::string_view(m_text).substr(begin, end - begin));
        if (time && burstTime && *time != *burstTime) {
            due += std::round(StepSeconds(*burstTime, *time) * 1000);  // whole ms, as loggers stamp
            m_bursts.push_back(Burst{begin, begin, lineNumber, due});
        } else if (m_bursts.empty()) {
            m_bursts.push_back(Burst{begin, begin, lineNumber, 0});
        }
        if (time)
            burstTime = time;
        m_bursts.back().End = end;
        begin = end;
    }
    if (!burstTime)
        m_bursts.clear();
    // Round again after one more of the log's own intervals.
    const double gap = m_bursts.size() > 1 ? m_bursts[1].Due : DefaultLoopGapMs;
    m_cycleLength = m_bursts.empty() ? 0 : m_bursts.back().Due + gap;
}

std::optional<LogPlayer> LogPlayer::FromText(std::string text, double rate, bool loop)
{
    LogPlayer player(std::move(text), rate, loop);
    if (player.m_bursts.empty())
        return std::nullopt;
    return player;
}

std::optional<LogPlayer> LogPlayer::Open(const std::string& path, double rate, bool loop, std::string& error)
{
    std::string text;
    if (ReadWholeFile(path, text, error) != ReadStatus::Ok) {
        if (error.empty())
            error = path + ": no such file";
        return std::nullopt;
    }
    auto player = FromText(std::move(text), rate, loop);
    if (!player)
        error = path + ": no RMC, GGA or GLL time stamp with a good checksum to pace the log by";
    else
        player->m_path = path;
    return player;
}

void LogPlayer::SendBurst(const Burst& burst, const std::function<void(std::string_view line)>& send)
{
    const std::string_view text(m_text);
    m_lineNumber = burst.FirstLine - 1;
    for (std::size_t begin = burst.Begin; begin < burst.End;) {
        std::size_t end = text.find('\n', begin);
        end = end == std::string_view::npos || end >= burst.End ? burst.End : end + 1;
        send(text.substr(begin, end - begin));
        ++m_lineNumber;
        begin = end;
    }
}

void LogPlayer::Advance(double elapsedMs, const std::function<void(std::string_view line)>& send)
{
    SendDue(m_clock, send);
    m_advancedAt = m_clock;
    m_advanced = true;
    m_clock += elapsedMs * m_rate;
}

std::optional<double> LogPlayer::MsToNextBurst() const
{
    if (!m_advanced || m_finished)
        return std::nullopt;
    return std::max(0.0, (m_cycleBase + m_bursts[m_next].Due - m_advancedAt) / m_rate);
}

void LogPlayer::SendDueBy(double msSinceAdvance, const std::function<void(std::string_view line)>& send)
{
    // What is due at the next Advance or later waits for it.
    if (m_advanced)
        SendDue(std::min(m_advancedAt + msSinceAdvance * m_rate, m_clock), send);
}

void LogPlayer::SendDue(double clock, const std::function<void(std::string_view line)>& send)
{
    while (!m_finished && m_cycleBase + m_bursts[m_next].Due <= clock + ClockSlack) {
        SendBurst(m_bursts[m_next], send);
        if (++m_next < m_bursts.size())
            continue;
        m_next = 0;
        if (m_loop)
            m_cycleBase += m_cycleLength;
        else
            m_finished = true;
    }
}

}  // namespace tolvex
