// A transfer engine for tests that passes every request on to a real engine and lets the test
// wait for the request most recently started, without keeping it alive.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/transfer_engine.h"

namespace quill::platform {

class RecordingEngine final : public TransferEngine {
  public:
    explicit RecordingEngine(TransferEngine& inner) : inner_(inner) {}

    std::shared_ptr<Transfer> Start(TransferRequest request) override {
        auto transfer = inner_.Start(std::move(request));
        std::lock_guard lock(mutex_);
        last_ = transfer;
        return transfer;
    }
    void SetFileAccess(bool allowed) override { inner_.SetFileAccess(allowed); }
    bool FileAccess() const override { return inner_.FileAccess(); }
    std::optional<long long> KnownContentLength(const std::string& url) const override {
        return inner_.KnownContentLength(url);
    }

    // Blocks until the last request started has finished (at once when it was dropped).
    void WaitForLast() {
        if (const std::shared_ptr<Transfer> last = Last()) {
            last->WaitFinished();
        }
    }
    TransferRequest LastRequest() {
        const std::shared_ptr<Transfer> last = Last();
        return last ? last->Request() : TransferRequest{};
    }

  private:
    std::shared_ptr<Transfer> Last() {
        std::lock_guard lock(mutex_);
        return last_.lock();
    }

    TransferEngine& inner_;
    std::mutex mutex_;
    std::weak_ptr<Transfer> last_;
};

}  // namespace quill::platform
