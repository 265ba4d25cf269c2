#include "live/live_web_rules.h"

#include <curl/curl.h>

#include <algorithm>
#include <ctime>
#include <string_view>

#include "crawl/page_urls.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/curl_url.h"
#include "platform/html_document_builder.h"
#include "platform/transfer_control.h"
#include "platform/web_browser.h"

namespace quill {
namespace {

// The longest a host's Retry-After holds the look-ahead back.
constexpr int kLongestWaitSeconds = 3600;

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
    platform::CurlUrl handle;
    if (!handle || handle.Set(CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return "";
    }
    return platform::AsciiLower(handle.Get(CURLUPART_SCHEME).value_or("") + "://" +
                                handle.Get(CURLUPART_HOST).value_or("") + ":" +
                                handle.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or(""));
}

std::chrono::seconds LiveWebRules::RetryAfter(const platform::Transfer& answer) const {
    return std::chrono::seconds(platform::RetryAfterSeconds(answer.Header(), kLongestWaitSeconds));
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
    if (!answer.HeadersReceived() || answer.Status() >= 400 ||
        !platform::IsHtmlContentType(answer.ContentType())) {
        return false;
    }
    const std::string shown = answer.EffectiveURL();
    return shown.empty() || WithoutFragment(shown) == WithoutFragment(pageURL);
}

}  // namespace quill
