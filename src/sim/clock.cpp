#include "sim/clock.h"

#include <ctime>

namespace tolvex {

std::int64_t SystemCalendarClock::Now() const { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace tolvex
