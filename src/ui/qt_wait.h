// How the crawl waits inside the window: every wait keeps serving the window's events, so the
// window repaints and Stop, Report and the option controls work while a run is in progress.
#pragma once

#include "platform/wait.h"

namespace quill::ui {

// Serves events for the given time in a local event loop, then returns.
class QtSleeper final : public platform::Sleeper {
  public:
    void Sleep(int milliseconds) override;
};

// One pass over the events waiting now.
class QtEventPump final : public platform::EventPump {
  public:
    void PumpEvents() override;
};

}  // namespace quill::ui
