#include "platform/transfer_control.h"

namespace quill::platform {

int TransferControl::GetStatusCode() {
    return StatusCodeOf(GetHeader());
}

EngineTransferControl::EngineTransferControl(TransferEngine& engine) : engine_(engine) {}

TransferRequest EngineTransferControl::RequestFor(const std::string& url,
                                                  const std::string& operation,
                                                  long timeoutSeconds) {
    TransferRequest request;
    request.url = url;
    request.method = operation;
    request.followRedirects = false;
    request.timeoutSeconds = timeoutSeconds > 0 ? timeoutSeconds : kRequestTimeoutSeconds;
    request.maxBodyBytes = 0;
    return request;
}

void EngineTransferControl::Execute(const std::string& url, const std::string& operation) {
    if (current_) {
        current_->Cancel();
    }
    cancelled_ = false;
    current_ = engine_.Start(RequestFor(url, operation, timeoutSeconds_));
    done_ = CompletionOf(*current_);
}

bool EngineTransferControl::StillExecuting() {
    return current_ && !current_->Finished();
}

std::string EngineTransferControl::GetHeader() {
    return current_ ? current_->Header() : "";
}

int EngineTransferControl::GetStatusCode() {
    return current_ ? current_->Status() : 0;
}

std::string EngineTransferControl::GetFailure() {
    if (cancelled_) {
        return "cancelled";
    }
    return current_ && current_->Status() == 0 ? current_->Error() : "";
}

std::shared_ptr<Completion> EngineTransferControl::RequestDone() {
    return done_;
}

void EngineTransferControl::Cancel() {
    if (current_) {
        current_->Cancel();
        current_.reset();
        cancelled_ = true;
    }
    done_->MarkDone();
}

void EngineTransferControl::SetRequestTimeout(int seconds) {
    timeoutSeconds_ = seconds > 0 ? seconds : kRequestTimeoutSeconds;
}

}  // namespace quill::platform
