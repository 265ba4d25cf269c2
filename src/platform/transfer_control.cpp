#include "platform/transfer_control.h"

namespace quill::platform {

namespace {
// The control's standard request time-out.
constexpr long kControlTimeoutSeconds = 60;
}  // namespace

EngineTransferControl::EngineTransferControl(TransferEngine& engine) : engine_(engine) {}

void EngineTransferControl::Execute(const std::string& url, const std::string& operation) {
    if (current_) {
        current_->Cancel();
    }
    TransferRequest request;
    request.url = url;
    request.method = operation;
    request.followRedirects = false;
    request.timeoutSeconds = kControlTimeoutSeconds;
    current_ = engine_.Start(request);
}

bool EngineTransferControl::StillExecuting() {
    return current_ && !current_->Finished();
}

std::string EngineTransferControl::GetHeader() {
    return current_ ? current_->Header() : "";
}

}  // namespace quill::platform
