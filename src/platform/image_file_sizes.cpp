#include "platform/image_file_sizes.h"

namespace quill::platform {
namespace {

constexpr std::size_t kMaxCountedBytes = std::size_t{32} * 1024 * 1024;
constexpr int kMaxRedirects = 10;

bool Succeeded(const Transfer& transfer) {
    return transfer.HeadersReceived() && transfer.Status() >= 200 && transfer.Status() < 300;
}

}  // namespace

EngineFileSizeSource::EngineFileSizeSource(TransferEngine& engine, long timeoutSeconds)
    : engine_(&engine), timeoutSeconds_(timeoutSeconds) {}

std::string EngineFileSizeSource::FileSizeOf(const std::string& absoluteUrl) {
    TransferEngine* engine = nullptr;
    {
        std::lock_guard lock(mutex_);
        const auto found = known_.find(absoluteUrl);
        if (found != known_.end()) {
            return found->second;
        }
        engine = engine_;
    }
    if (engine == nullptr) {
        return "-1";
    }
    const std::optional<long long> size = Learn(*engine, absoluteUrl);
    const std::string answer = size ? std::to_string(*size) : "-1";
    std::lock_guard lock(mutex_);
    known_.emplace(absoluteUrl, answer);
    return answer;
}

void EngineFileSizeSource::Detach() {
    std::lock_guard lock(mutex_);
    engine_ = nullptr;
}

std::optional<long long> EngineFileSizeSource::Learn(TransferEngine& engine,
                                                     const std::string& url) const {
    if (std::optional<long long> known = engine.KnownContentLength(url)) {
        return known;
    }
    TransferRequest head;
    head.url = url;
    head.method = "HEAD";
    head.followRedirects = true;
    head.maxRedirects = kMaxRedirects;
    head.timeoutSeconds = timeoutSeconds_;
    const std::shared_ptr<Transfer> probe = engine.Start(head);
    probe->WaitFinished();
    if (Succeeded(*probe) && probe->ContentLength()) {
        return probe->ContentLength();
    }

    // No length in the answer to HEAD (or HEAD refused): fetch the file and count.
    TransferRequest get = head;
    get.method = "GET";
    get.maxBodyBytes = kMaxCountedBytes;
    const std::shared_ptr<Transfer> fetch = engine.Start(get);
    fetch->WaitFinished();
    if (!Succeeded(*fetch)) {
        return std::nullopt;
    }
    if (fetch->ContentLength()) {
        return fetch->ContentLength();
    }
    if (!fetch->Error().empty() && fetch->BodySize() < kMaxCountedBytes) {
        return std::nullopt;  // cut off: the count says nothing
    }
    return static_cast<long long>(fetch->BodySize());
}

}  // namespace quill::platform
