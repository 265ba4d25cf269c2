#include "live/live_web_rules.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <string_view>

#include "crawl/page_urls.h"
#include "platform/charset.h"
#include "platform/html_document_builder.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"

namespace quill {
namespace {

// Waited after a 429 or 503 without a usable Retry-After, and at most ever.
constexpr std::chrono::seconds kDefaultWait{1};
constexpr std::chrono::seconds kLongestWait{3600};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsHtmlType(const std::string& contentType) {
    const std::string media =
        Lower(Trim(std::string_view(contentType)
                       .substr(0, std::min(contentType.find(';'), contentType.size()))));
    return media == "text/html" || media == "application/xhtml+xml";
}

// The value of the last header of that name in a header block; "" when it has none.
std::string HeaderValue(const std::string& header, const std::string& name) {
    std::string value;
    std::size_t start = 0;
    while (start < header.size()) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string_view line = std::string_view(header).substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && Lower(Trim(line.substr(0, colon))) == name) {
            value = std::string(Trim(line.substr(colon + 1)));
        }
        start = end + 1;
    }
    return value;
}

}  // namespace

platform::TransferRequest LiveWebRules::ProbeRequest(const std::string& url) const {
    return platform::EngineTransferControl::RequestFor(url, "HEAD");
}

// The request our browser sends to load a page.
platform::TransferRequest LiveWebRules::PageRequest(const std::string& url) const {
    platform::TransferRequest request;
    request.url = WithoutFragment(url);
    request.method = "GET";
    request.followRedirects = true;
    request.maxRedirects = platform::WebBrowser::kMaxRedirects;
    request.maxBodyBytes = platform::WebBrowser::kMaxHtmlBytes;
    request.htmlBodyOnly = true;
    return request;
}

std::string LiveWebRules::HostOf(const std::string& url) const {
    CURLU* handle = curl_url();
    if (handle == nullptr) {
        return "";
    }
    std::string host;
    if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
        for (const CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
            char* text = nullptr;
            const unsigned flags = part == CURLUPART_PORT ? CURLU_DEFAULT_PORT : 0;
            if (curl_url_get(handle, part, &text, flags) == CURLUE_OK && text != nullptr) {
                host += Lower(text);
                curl_free(text);
            }
            host += part == CURLUPART_SCHEME ? "://" : part == CURLUPART_HOST ? ":" : "";
        }
    }
    curl_url_cleanup(handle);
    return host;
}

std::chrono::seconds LiveWebRules::RetryAfter(const platform::Transfer& answer) const {
    const std::string value = HeaderValue(answer.Header(), "retry-after");
    if (value.empty()) {
        return kDefaultWait;
    }
    if (value.find_first_not_of("0123456789") == std::string::npos) {
        return value.size() > 6 ? kLongestWait
                                : std::min(std::chrono::seconds(std::stol(value)), kLongestWait);
    }
    const time_t when = curl_getdate(value.c_str(), nullptr);
    if (when < 0) {
        return kDefaultWait;
    }
    const time_t now = std::time(nullptr);
    return std::min(std::chrono::seconds(when > now ? when - now : 0), kLongestWait);
}

std::shared_ptr<const platform::Document> LiveWebRules::ReadPage(const platform::Transfer& answer,
                                                                 const std::string& pageURL) const {
    if (!ShowsPage(answer, pageURL)) {
        return nullptr;
    }
    return std::make_shared<const platform::Document>(platform::BuildHtmlDocument(
        platform::DecodeHtml(answer.Body(), answer.ContentType()), pageURL));
}

bool LiveWebRules::ShowsPage(const platform::Transfer& answer, const std::string& pageURL) const {
    if (!answer.HeadersReceived() || answer.Status() >= 400 || !IsHtmlType(answer.ContentType())) {
        return false;
    }
    const std::string shown = answer.EffectiveURL();
    return shown.empty() || WithoutFragment(shown) == WithoutFragment(pageURL);
}

}  // namespace quill
