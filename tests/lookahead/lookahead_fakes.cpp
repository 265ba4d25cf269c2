#include "lookahead_fakes.h"

#include <chrono>

#include "platform/html_document_builder.h"

namespace quill::lookahead_test {
namespace {

void Respond(platform::Transfer& transfer, const Answer& answer) {
    const auto now = std::chrono::steady_clock::now();
    if (!answer.error.empty()) {
        transfer.Finish(now, answer.error);
        return;
    }
    transfer.BeginResponse(answer.statusLine + "\r\n");
    transfer.AppendHeaderLine("Content-Type: " + answer.contentType + "\r\n");
    for (const std::string& line : answer.headers) {
        transfer.AppendHeaderLine(line + "\r\n");
    }
    transfer.AppendHeaderLine("\r\n");
    const int status = std::stoi(answer.statusLine.substr(answer.statusLine.find(' ') + 1, 3));
    transfer.EndHeaders(status, transfer.Request().url, answer.contentType,
                        static_cast<long long>(answer.body.size()), true);
    if (transfer.Request().method == "GET") {
        transfer.AppendBody(answer.body.data(), answer.body.size());
    }
    transfer.Finish(now);
}

}  // namespace

std::shared_ptr<platform::Transfer> SiteEngine::Start(platform::TransferRequest request) {
    auto transfer = std::make_shared<platform::Transfer>(request);
    std::weak_ptr<platform::Transfer> weak = transfer;
    transfer->SetCancelHook([weak] {
        if (auto cancelled = weak.lock()) {
            cancelled->Finish(std::chrono::steady_clock::now(), "cancelled");
        }
    });
    Answer answer{"HTTP/1.1 404 Not Found", "<p>not found"};
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        log_.push_back(request.method + " " + request.url);
        if (held_.count(request.url) > 0) {
            transfer->MarkStarted(now);
            waiting_[request.url].push_back(transfer);
            return transfer;
        }
        if (const auto found = answers_.find(request.url); found != answers_.end()) {
            answer = found->second;
        }
    }
    transfer->MarkStarted(now - answer.took);
    Respond(*transfer, answer);
    return transfer;
}

void SiteEngine::Set(const std::string& url, Answer answer) {
    std::lock_guard lock(mutex_);
    answers_[url] = std::move(answer);
}

void SiteEngine::Hold(const std::string& url) {
    std::lock_guard lock(mutex_);
    held_.insert(url);
}

void SiteEngine::Release(const std::string& url) {
    std::vector<std::shared_ptr<platform::Transfer>> waiting;
    Answer answer;
    {
        std::lock_guard lock(mutex_);
        held_.erase(url);
        waiting.swap(waiting_[url]);
        answer = answers_[url];
    }
    for (const auto& transfer : waiting) {
        Respond(*transfer, answer);
    }
}

int SiteEngine::Count(const std::string& methodAndURL) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const std::string& entry : log_) {
        count += entry == methodAndURL ? 1 : 0;
    }
    return count;
}

std::vector<std::string> SiteEngine::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

platform::TransferRequest SimpleRules::Request(const std::string& url, const char* method,
                                               bool follow) {
    platform::TransferRequest request;
    request.url = url;
    request.method = method;
    request.followRedirects = follow;
    return request;
}

std::shared_ptr<const platform::Document> SimpleRules::ReadPage(const platform::Transfer& answer,
                                                                const std::string& pageURL) const {
    if (!ShowsPage(answer, pageURL)) {
        return nullptr;
    }
    return std::make_shared<const platform::Document>(
        platform::BuildHtmlDocument(answer.Body(), pageURL));
}

}  // namespace quill::lookahead_test
