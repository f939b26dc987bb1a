#include "sim/clock.h"

#include <chrono>
#include <ctime>

namespace tolvex {

std::int64_t SystemMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t SystemCalendarClock::Now() const { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t SystemCalendarClock::NowMilliseconds() const { return SystemMilliseconds(); }

}  // namespace tolvex
