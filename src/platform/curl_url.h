// The one owner of libcurl URL handles (CURLU) in the tree, with string access to their parts, and
// the scheme of a URL as written.
#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

namespace quill::platform {

class CurlUrl {
  public:
    CurlUrl() : handle_(curl_url()) {}
    // Takes over a handle, such as one from curl_url_dup.
    explicit CurlUrl(CURLU* handle) : handle_(handle) {}
    ~CurlUrl() { curl_url_cleanup(handle_); }
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    // False when libcurl had no memory for the handle.
    explicit operator bool() const { return handle_ != nullptr; }
    CURLU* get() const { return handle_; }

    CURLUcode Set(CURLUPart part, const std::string& text, unsigned flags = 0) {
        return curl_url_set(handle_, part, text.c_str(), flags);
    }
    // The part as libcurl spells it; nothing when the URL lacks it.
    std::optional<std::string> Get(CURLUPart part, unsigned flags = 0) const {
        char* text = nullptr;
        if (curl_url_get(handle_, part, &text, flags) != CURLUE_OK || text == nullptr) {
            return std::nullopt;
        }
        std::string value(text);
        curl_free(text);
        return value;
    }

  private:
    CURLU* handle_;
};

// The scheme as written ("http" of "http://host/"), without its colon; "" when the URL has no
// colon or a "/" comes before it.
inline std::string SchemeOf(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || url.find('/') < colon) {
        return "";
    }
    return url.substr(0, colon);
}

// The scheme in lower case when the URL begins with a well-formed one (a letter, then letters,
// digits, "+", "-" or "."; then ":"); "" otherwise.
inline std::string WellFormedSchemeOf(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) {
        return "";
    }
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c =
            url[i] >= 'A' && url[i] <= 'Z' ? static_cast<char>(url[i] - 'A' + 'a') : url[i];
        const bool letter = c >= 'a' && c <= 'z';
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) {
            return "";
        }
        scheme += c;
    }
    return scheme;
}

}  // namespace quill::platform
