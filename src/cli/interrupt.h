// Ctrl-C, SIGTERM and SIGHUP for the command line: the first one asks the running crawl to stop, as
// a click on the window's Stop button would; a second one quits at once. The signal handler only
// counts; the crawl's event pump turns a pending request into the Stop click.
#pragma once

#include <signal.h>

#include <functional>

#include "platform/wait.h"

namespace quill::cli {

// The requests the Ctrl-C handler has counted and those already acted upon.
class InterruptRequests {
  public:
    // Counts only the requests that come from now on.
    InterruptRequests() : taken_(Count()) {}

    // Installs the handler for SIGINT, SIGTERM and SIGHUP. A second signal ends the process at
    // once with status 128 + its number.
    static void InstallHandler();
    // Signals counted so far by the handler.
    static int Count();
    // The first signal counted; 0 before any.
    static int FirstSignal();

    // True while a request has come that no one has taken yet.
    bool Pending() const;
    // Marks every request so far as taken.
    void Take();

  private:
    int taken_;
};

// While one lives, the stop signals are held back from the calling thread, and so from every thread
// started meanwhile: make the components that run threads of their own under one, so that Ctrl-C
// always reaches the crawl's thread and cuts its sleep short.
class InterruptsHeldBack {
  public:
    InterruptsHeldBack();
    ~InterruptsHeldBack();
    InterruptsHeldBack(const InterruptsHeldBack&) = delete;
    InterruptsHeldBack& operator=(const InterruptsHeldBack&) = delete;

  private:
    sigset_t previous_;
};

// Sleeps until the time is up or a Ctrl-C arrives, so a Stop is not held up by a one-second wait;
// SleepUntil ends as well when what it waits for is done.
class InterruptibleSleeper final : public platform::Sleeper {
  public:
    explicit InterruptibleSleeper(const InterruptRequests& requests) : requests_(requests) {}
    void Sleep(int milliseconds) override;
    void SleepUntil(int milliseconds, platform::Completion& done) override;

  private:
    const InterruptRequests& requests_;
};

// The command line's event pump: its only event is Ctrl-C, served by the Stop entry given here
// (the crawl's Start/Stop button), which the pump calls while stopIsOffered() says the button
// reads "Stop".
class InterruptPump final : public platform::EventPump {
  public:
    InterruptPump(InterruptRequests& requests, std::function<bool()> stopIsOffered);
    void SetStopEntry(std::function<void()> clickStartStop);
    void PumpEvents() override;
    // True once a signal has been turned into a Stop request.
    bool Stopped() const { return stopped_; }
    // The signal that stopped the crawl; 0 when none did.
    int StopSignal() const { return stopped_ ? InterruptRequests::FirstSignal() : 0; }

  private:
    InterruptRequests& requests_;
    std::function<bool()> stopIsOffered_;
    std::function<void()> clickStartStop_;
    bool stopped_ = false;
};

}  // namespace quill::cli
