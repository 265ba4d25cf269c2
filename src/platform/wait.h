// The two ways the crawl yields while it waits for the network: a sleep of some milliseconds and
// one pass of the front end's event pump. A sleep can end early on a Completion (the request it
// waits for has finished, or Stop came). The window serves its events in both; the command line
// sleeps and checks for Ctrl-C. Tests pass fakes that return at once.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace quill::platform {

// Something a wait waits for: marked done once, from any thread.
class Completion {
public:
    void MarkDone();
    bool Done() const;
    // Blocks until done or until the time has passed.
    void WaitFor(int milliseconds) const;
    // `wake` runs when the completion is marked done (at once when it is already), on the marking
    // thread and under the completion's lock: it must only signal. Null clears it; once cleared, it
    // is not running and will not run. One at a time: the sleeper that waits.
    void SetListener(std::function<void()> wake);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool done_ = false;
    std::function<void()> listener_;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(int milliseconds) = 0;
    // Sleeps like Sleep but ends as soon as `done` is marked done; at once when it is already.
    // Sleepers that cannot be woken sleep the whole time.
    virtual void SleepUntil(int milliseconds, Completion& done) {
        if (!done.Done()) {
            Sleep(milliseconds);
        }
    }
};

class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void PumpEvents() = 0;
};

// Blocks the calling thread.
class ThreadSleeper final : public Sleeper {
public:
    void Sleep(int milliseconds) override;
    void SleepUntil(int milliseconds, Completion& done) override;
};

// For a front end without events of its own.
class NoEventPump final : public EventPump {
public:
    void PumpEvents() override {}
};

}  // namespace quill::platform
