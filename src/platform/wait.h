// The two ways the crawl yields while it waits for the network: a sleep of some milliseconds and one
// pass of the front end's event pump. The window serves its events in both; the command line
// sleeps and checks for Ctrl-C. Tests pass fakes that return at once.
#pragma once

namespace quill::platform {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(int milliseconds) = 0;
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
};

// For a front end without events of its own.
class NoEventPump final : public EventPump {
public:
    void PumpEvents() override {}
};

}  // namespace quill::platform
