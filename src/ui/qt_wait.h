// How the crawl waits inside the window: every wait keeps serving the window's events, so the
// window repaints and Stop, Report and the option controls work while a run is in progress.
#pragma once

#include "platform/wait.h"

namespace quill::ui {

// Serves events for the given time in a local event loop, then returns; SleepUntil returns as
// well as soon as what it waits for is done.
class QtSleeper final : public platform::Sleeper {
  public:
    void Sleep(int milliseconds) override;
    void SleepUntil(int milliseconds, platform::Completion& done) override;
};

// One pass over the events waiting now.
class QtEventPump final : public platform::EventPump {
  public:
    void PumpEvents() override;
};

}  // namespace quill::ui
