#include "platform/wait.h"

#include <chrono>
#include <thread>
#include <utility>

namespace quill::platform {

void Completion::MarkDone() {
    {
        std::lock_guard lock(mutex_);
        if (done_) {
            return;
        }
        done_ = true;
        if (listener_) {
            listener_();
        }
    }
    changed_.notify_all();
}

bool Completion::Done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

void Completion::WaitFor(int milliseconds) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return done_; });
}

void Completion::SetListener(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(wake);
    if (done_ && listener_) {
        listener_();
    }
}

void ThreadSleeper::Sleep(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

void ThreadSleeper::SleepUntil(int milliseconds, Completion& done) {
    if (milliseconds > 0) {
        done.WaitFor(milliseconds);
    }
}

}  // namespace quill::platform
