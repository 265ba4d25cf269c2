// Ctrl-C for the command line: the first one asks the running crawl to stop, as a click on the
// window's Stop button would; a second one quits at once. The signal handler only counts; the
// crawl's event pump turns a pending request into the Stop click.
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

    // Installs the SIGINT handler. A second Ctrl-C ends the process with status 130.
    static void InstallHandler();
    // Ctrl-Cs counted so far, by the handler or by Raise.
    static int Count();
    // Counts one request as the handler does (for tests).
    static void Raise();

    // True while a request has come that no one has taken yet.
    bool Pending() const;
    // Marks every request so far as taken.
    void Take();

  private:
    int taken_;
};

// While one lives, Ctrl-C is held back from the calling thread, and so from every thread started
// meanwhile: make the components that run threads of their own under one, so that Ctrl-C always
// reaches the crawl's thread and cuts its sleep short.
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
    // True once a Ctrl-C has been turned into a Stop request.
    bool Stopped() const { return stopped_; }

  private:
    InterruptRequests& requests_;
    std::function<bool()> stopIsOffered_;
    std::function<void()> clickStartStop_;
    bool stopped_ = false;
};

}  // namespace quill::cli
