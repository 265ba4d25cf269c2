// The program's transfer engine over libcurl: one multi handle driven by a worker thread, so many
// requests run at once over reused connections while Start() returns at once. file: URLs are
// answered from the disk by the engine itself, and only while file access is on.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/transfer_engine.h"

namespace quill::platform {

class CurlTransferEngine final : public TransferEngine {
  public:
    static constexpr const char* kUserAgent = "Quillorbane/1.0 (link checker)";

    // Starts the worker thread.
    CurlTransferEngine();
    // Stops the worker; requests still running finish with an error.
    ~CurlTransferEngine() override;

    CurlTransferEngine(const CurlTransferEngine&) = delete;
    CurlTransferEngine& operator=(const CurlTransferEngine&) = delete;

    // Dropping every reference to the returned Transfer abandons the request: the engine cancels
    // it and frees its connection. A URL that is not http:, https: or (with file access) file:
    // finishes before Start returns, with an error and no response.
    std::shared_ptr<Transfer> Start(TransferRequest request) override;

    void SetFileAccess(bool allowed) override;
    bool FileAccess() const override;

    // Keyed by the URL of each response (and by the request's URL for its first response); a
    // response without Content-Length leaves what an earlier one said. HTML pages are not kept.
    std::optional<long long> KnownContentLength(const std::string& url) const override;
    void ForgetKnownContentLengths();

    // At most `total` connections open at once, and `perHost` to one host; requests beyond wait
    // for a connection. 0 lifts a limit (the default). Applies to requests from now on.
    void SetConnectionLimits(int total, int perHost);

    // What every request from now on says of itself: the User-Agent (kUserAgent when empty), and
    // extra header lines ("Name: value") sent only with requests to the host and port of
    // `homeURL`, so that credentials among them reach no other host.
    void SetRequestIdentity(const std::string& userAgent, const std::string& homeURL,
                            const std::vector<std::string>& headers);

  private:
    struct Job;
    class Waker;

    void Run();
    void AddJob(const std::shared_ptr<Transfer>& transfer);
    void CollectFinished();
    void DropCancelled();
    void RemoveJob(Job& job, const std::string& error);
    void RememberContentLength(const std::string& url, std::optional<long long> length);
    void RememberContentLengths(const Transfer& transfer);

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* job);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* job);

    std::atomic<bool> fileAccess_{false};

    mutable std::mutex identityMutex_;
    std::string userAgent_ = kUserAgent;
    std::string homeOrigin_;  // "host:port" of the extra headers' host; "" for none
    std::vector<std::string> homeHeaders_;
    // The user's no_proxy list with this machine added: loopback is never sent through a proxy.
    std::string noProxy_;

    mutable std::mutex knownLengthsMutex_;
    std::map<std::string, long long> knownLengths_;

    // Requests handed over by Start, taken up by the worker.
    std::mutex pendingMutex_;
    std::vector<std::shared_ptr<Transfer>> pending_;
    bool stopping_ = false;
    // Limits waiting to be set on the multi handle by the worker.
    std::optional<std::pair<int, int>> newConnectionLimits_;

    // Used by the worker thread only, once it runs.
    CURLM* multi_ = nullptr;
    std::vector<std::unique_ptr<Job>> jobs_;

    std::shared_ptr<Waker> waker_;
    std::thread worker_;
};

}  // namespace quill::platform
