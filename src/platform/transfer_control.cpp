#include "platform/transfer_control.h"

namespace quill::platform {

EngineTransferControl::EngineTransferControl(TransferEngine& engine) : engine_(engine) {}

TransferRequest EngineTransferControl::RequestFor(const std::string& url,
                                                  const std::string& operation) {
    TransferRequest request;
    request.url = url;
    request.method = operation;
    request.followRedirects = false;
    request.timeoutSeconds = kRequestTimeoutSeconds;
    return request;
}

void EngineTransferControl::Execute(const std::string& url, const std::string& operation) {
    if (current_) {
        current_->Cancel();
    }
    current_ = engine_.Start(RequestFor(url, operation));
}

bool EngineTransferControl::StillExecuting() {
    return current_ && !current_->Finished();
}

std::string EngineTransferControl::GetHeader() {
    return current_ ? current_->Header() : "";
}

}  // namespace quill::platform
