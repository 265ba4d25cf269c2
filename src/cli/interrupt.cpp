#include "cli/interrupt.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace quill::cli {

namespace {

// A signal handler can reach nothing but a global, and only one that is lock-free atomic.
std::atomic<int> interruptCount{0};
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void NoteSignal(int signal) {
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
}

extern "C" void OnInterrupt(int signal) {
    NoteSignal(signal);
    if (interruptCount.fetch_add(1) >= 1) {
        // Leave the terminal on a fresh line, then quit without running anything else.
        const char newline = '\n';
        const ssize_t ignored = ::write(STDERR_FILENO, &newline, 1);
        (void)ignored;
        ::_exit(128 + signal);
    }
}

}  // namespace

void InterruptRequests::InstallHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Calls of other threads go on; a sleep of the crawl's thread ends all the same, since
    // nanosleep is never restarted, so the Stop is seen without delay.
    action.sa_flags = SA_RESTART;
    for (const int signal : kStopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

int InterruptRequests::Count() {
    return interruptCount.load();
}

int InterruptRequests::FirstSignal() {
    return firstSignal.load();
}

bool InterruptRequests::Pending() const {
    return Count() > taken_;
}

void InterruptRequests::Take() {
    taken_ = Count();
}

InterruptsHeldBack::InterruptsHeldBack() {
    sigset_t interrupt;
    sigemptyset(&interrupt);
    for (const int signal : kStopSignals) {
        sigaddset(&interrupt, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &interrupt, &previous_);
}

InterruptsHeldBack::~InterruptsHeldBack() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void InterruptibleSleeper::Sleep(int milliseconds) {
    if (milliseconds <= 0 || requests_.Pending()) {
        return;
    }
    timespec remaining{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    // Ends early when a signal arrives; a Ctrl-C then reaches the pump right away.
    while (::nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
        if (requests_.Pending()) {
            return;
        }
    }
}

void InterruptibleSleeper::SleepUntil(int milliseconds, platform::Completion& done) {
    if (milliseconds <= 0 || requests_.Pending() || done.Done()) {
        return;
    }
    // The completion writes to an eventfd; poll ends on it, on a signal or when the time is up,
    // and is never restarted after a signal.
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        Sleep(milliseconds);
        return;
    }
    done.SetListener([wake] {
        const std::uint64_t one = 1;
        const ssize_t ignored = ::write(wake, &one, sizeof(one));
        (void)ignored;
    });
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd watched{wake, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready > 0 || (ready < 0 && (errno != EINTR || requests_.Pending()))) {
            break;
        }
    }
    done.SetListener(nullptr);
    ::close(wake);
}

InterruptPump::InterruptPump(InterruptRequests& requests, std::function<bool()> stopIsOffered)
    : requests_(requests), stopIsOffered_(std::move(stopIsOffered)) {}

void InterruptPump::SetStopEntry(std::function<void()> clickStartStop) {
    clickStartStop_ = std::move(clickStartStop);
}

void InterruptPump::PumpEvents() {
    if (!requests_.Pending() || !clickStartStop_ || !stopIsOffered_()) {
        return;
    }
    requests_.Take();
    stopped_ = true;
    clickStartStop_();
}

}  // namespace quill::cli
