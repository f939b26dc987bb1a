#pragma once

#include <cstdint>

namespace tolvex {

// The calendar clock the sentences' time comes from; injected so tests never wait.
class CalendarClock {
public:
    virtual ~CalendarClock() = default;
    virtual std::int64_t Now() const = 0;  // seconds since 1970-01-01 UTC
};

class SystemCalendarClock final : public CalendarClock {
public:
    std::int64_t Now() const override;
};

}  // namespace tolvex
