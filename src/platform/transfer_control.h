// The transfer control the URL probe drives: one request at a time, started with Execute and
// polled with StillExecuting, its answer read as a raw header block.
#pragma once

#include <memory>
#include <string>

#include "platform/transfer_engine.h"

namespace quill::platform {

class TransferControl {
  public:
    virtual ~TransferControl() = default;
    // Starts the request (operation "HEAD" or "GET") and returns at once; a request still running
    // is abandoned.
    virtual void Execute(const std::string& url, const std::string& operation) = 0;
    virtual bool StillExecuting() = 0;
    // The complete header block of the last response, status line first; "" when there was none.
    virtual std::string GetHeader() = 0;
};

// The transfer control over the program's transfer engine.
class EngineTransferControl final : public TransferControl {
  public:
    // The control's standard request time-out.
    static constexpr long kRequestTimeoutSeconds = 60;

    // The request Execute sends for url and operation: redirects are never followed.
    static TransferRequest RequestFor(const std::string& url, const std::string& operation);

    explicit EngineTransferControl(TransferEngine& engine);
    void Execute(const std::string& url, const std::string& operation) override;
    bool StillExecuting() override;
    std::string GetHeader() override;

  private:
    TransferEngine& engine_;
    std::shared_ptr<Transfer> current_;
};

}  // namespace quill::platform
