#pragma once

#include <cstdint>

namespace tolvex {

// The calendar clock the sentences' time comes from; injected so tests never wait.
class CalendarClock {
public:
    virtual ~CalendarClock() = default;
    virtual std::int64_t Now() const = 0;  // seconds since 1970-01-01 UTC
    // The same instant in milliseconds; a clock that only knows seconds gives whole seconds.
    virtual std::int64_t NowMilliseconds() const { return Now() * 1000; }
};

class SystemCalendarClock final : public CalendarClock {
public:
    std::int64_t Now() const override;
    std::int64_t NowMilliseconds() const override;
};

// A clock that reads the moment its owner set: the runner sets it to each tick's scheduled time,
// so a group carries the time it was due, not the few milliseconds of lateness of its wake-up.
class ScheduledClock final : public CalendarClock {
public:
    void Set(std::int64_t milliseconds) { m_ms = milliseconds; }
    std::int64_t Now() const override { return m_ms >= 0 ? m_ms / 1000 : -((-m_ms + 999) / 1000); }
    std::int64_t NowMilliseconds() const override { return m_ms; }

private:
    std::int64_t m_ms = 0;
};

// Milliseconds since 1970 UTC on the system clock.
std::int64_t SystemMilliseconds();

}  // namespace tolvex
