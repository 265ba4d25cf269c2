// Fakes for the look-ahead's tests: a transfer engine answering from a table of URLs (at once, or
// when the test releases a URL) that counts what it was asked, and web rules as simple as ours.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "lookahead/web_rules.h"
#include "platform/transfer_engine.h"

namespace quill::lookahead_test {

struct Answer {
    Answer(std::string status = "HTTP/1.1 200 OK", std::string content = "",
           std::string type = "text/html", std::vector<std::string> extra = {},
           std::string failure = "", std::chrono::seconds duration = {})
        : statusLine(std::move(status)),
          body(std::move(content)),
          contentType(std::move(type)),
          headers(std::move(extra)),
          error(std::move(failure)),
          took(duration) {}

    std::string statusLine;
    std::string body;
    std::string contentType;
    // Extra header lines ("Retry-After: 5").
    std::vector<std::string> headers;
    // A failure before any response ("Connection refused").
    std::string error;
    // How long the request had been running when it was answered.
    std::chrono::seconds took;
};

class SiteEngine final : public platform::TransferEngine {
  public:
    std::shared_ptr<platform::Transfer> Start(platform::TransferRequest request) override;
    void SetFileAccess(bool) override {}
    bool FileAccess() const override { return false; }
    std::optional<long long> KnownContentLength(const std::string&) const override {
        return std::nullopt;
    }

    void Set(const std::string& url, Answer answer);
    // Requests for url wait until Release(url).
    void Hold(const std::string& url);
    void Release(const std::string& url);
    // Requests started for "METHOD url", and every request in order.
    int Count(const std::string& methodAndURL) const;
    std::vector<std::string> Log() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::set<std::string> held_;
    std::map<std::string, std::vector<std::shared_ptr<platform::Transfer>>> waiting_;
    std::vector<std::string> log_;
};

// Probes are HEAD requests, pages GET requests that follow redirects; a host waits an hour after
// "Retry-After: 3600" and not at all otherwise; an HTML answer below 400 is a page.
class SimpleRules final : public lookahead::WebRules {
  public:
    platform::TransferRequest ProbeRequest(const std::string& url) const override {
        return Request(url, "HEAD", false);
    }
    platform::TransferRequest PageRequest(const std::string& url) const override {
        return Request(url, "GET", true);
    }
    std::string HostOf(const std::string& url) const override {
        return url.substr(0, url.find('/', url.find("//") + 2));
    }
    std::chrono::seconds RetryAfter(const platform::Transfer& answer) const override {
        const bool hour = answer.Header().find("Retry-After: 3600") != std::string::npos;
        return std::chrono::seconds(hour ? 3600 : 0);
    }
    std::shared_ptr<const platform::Document> ReadPage(const platform::Transfer& answer,
                                                       const std::string& pageURL) const override;
    static platform::TransferRequest Request(const std::string& url, const char* method,
                                             bool follow);
    bool ShowsPage(const platform::Transfer& answer, const std::string&) const override {
        return answer.HeadersReceived() && answer.Status() < 400 &&
               answer.ContentType() == "text/html";
    }
};

}  // namespace quill::lookahead_test
