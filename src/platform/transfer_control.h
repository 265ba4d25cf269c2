// The transfer control the URL probe drives: one request at a time, started with Execute and
// polled with StillExecuting, its answer read as a raw header block and a status code.
#pragma once

#include <memory>
#include <string>

#include "platform/transfer_engine.h"
#include "platform/wait.h"

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

    // The status code of the last response; 0 when there was none. This one reads it from the
    // status line, for controls that know no better.
    virtual int GetStatusCode();
    // Why the last request got no response ("connection refused", "timed out after 60 s",
    // "cancelled"...); "" when it got one, or when the control cannot tell.
    virtual std::string GetFailure() { return ""; }
    // Marked done when the request started by the last Execute has finished, so a wait on it can
    // end early; never, for a control that cannot tell.
    virtual std::shared_ptr<Completion> RequestDone() { return std::make_shared<Completion>(); }
    // Drops the request in flight: it is over at once, without a response.
    virtual void Cancel() {}
    // How long each request may take, from the next Execute on; 0 or less: the standard time-out.
    virtual void SetRequestTimeout(int /*seconds*/) {}
};

// The transfer control over the program's transfer engine.
class EngineTransferControl final : public TransferControl {
  public:
    // The control's standard request time-out.
    static constexpr long kRequestTimeoutSeconds = 60;

    // The request Execute sends for url and operation: redirects are never followed, and a GET
    // ends as soon as its status is known.
    static TransferRequest RequestFor(const std::string& url, const std::string& operation,
                                      long timeoutSeconds = kRequestTimeoutSeconds);

    explicit EngineTransferControl(TransferEngine& engine);
    void Execute(const std::string& url, const std::string& operation) override;
    bool StillExecuting() override;
    std::string GetHeader() override;
    int GetStatusCode() override;
    std::string GetFailure() override;
    std::shared_ptr<Completion> RequestDone() override;
    void Cancel() override;
    void SetRequestTimeout(int seconds) override;

  private:
    TransferEngine& engine_;
    long timeoutSeconds_ = kRequestTimeoutSeconds;
    std::shared_ptr<Transfer> current_;
    std::shared_ptr<Completion> done_ = std::make_shared<Completion>();
    bool cancelled_ = false;
};

}  // namespace quill::platform
