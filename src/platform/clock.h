// The time sources the crawl reads: a monotonic clock for load times and the UTC calendar day for
// the window's home page. Passed in, so tests can run a crawl on a fake clock.
#pragma once

#include <chrono>

namespace quill::platform {

class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    // Monotonic: never goes back, whatever happens to the wall clock.
    virtual TimePoint Now() const = 0;
    // Day of the month (1-31) in UTC.
    virtual int UtcDayOfMonth() const = 0;
};

// Whole seconds from start to end, never negative.
int ElapsedSeconds(Clock::TimePoint start, Clock::TimePoint end);

class SystemClock final : public Clock {
public:
    TimePoint Now() const override;
    int UtcDayOfMonth() const override;
};

}  // namespace quill::platform
