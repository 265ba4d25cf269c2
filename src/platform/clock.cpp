#include "platform/clock.h"

#include <ctime>

namespace quill::platform {

int ElapsedSeconds(Clock::TimePoint start, Clock::TimePoint end) {
    if (end <= start) {
        return 0;
    }
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(end - start).count());
}

Clock::TimePoint SystemClock::Now() const { return std::chrono::steady_clock::now(); }

int SystemClock::UtcDayOfMonth() const {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return utc.tm_mday;
}

}  // namespace quill::platform
