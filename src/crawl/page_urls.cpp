#include "crawl/page_urls.h"

#include <curl/curl.h>

#include <memory>

#include "platform/ascii.h"
#include "platform/curl_url.h"

namespace quill {

std::string DirectoryURL(const std::string& pageURL) {
    const std::size_t lastSlash = pageURL.rfind('/');
    return lastSlash == std::string::npos ? std::string() : pageURL.substr(0, lastSlash + 1);
}

std::string SiteRootURL(const std::string& pageURL) {
    std::size_t cut = 0;
    std::size_t from = 0;
    for (int found = 0; found < 3; ++found) {
        const std::size_t slash = pageURL.find('/', from);
        if (slash == std::string::npos) {
            break;
        }
        cut = slash + 1;
        from = slash + 1;
    }
    return pageURL.substr(0, cut);
}

std::string ResolveAsWritten(const std::string& raw, const std::string& pageURL) {
    if (raw.rfind("//", 0) == 0) {
        const std::string scheme = platform::SchemeOf(pageURL);
        if (!scheme.empty()) {
            return scheme + ":" + raw;
        }
    }
    if (raw.rfind('/', 0) == 0) {
        return SiteRootURL(pageURL) + raw.substr(1);
    }
    if (platform::StartsWithNoCase(raw, "http://") || platform::StartsWithNoCase(raw, "https://")) {
        return raw;
    }
    return DirectoryURL(pageURL) + raw;
}

std::string WithoutFragment(const std::string& url) {
    return url.substr(0, url.find('#'));
}

std::string DecodeFragment(const std::string& fragment) {
    if (fragment.find('%') == std::string::npos) {
        return fragment;
    }
    int length = 0;
    std::unique_ptr<char, decltype(&curl_free)> decoded(
        curl_easy_unescape(nullptr, fragment.c_str(), static_cast<int>(fragment.size()), &length),
        &curl_free);
    if (!decoded) {
        return fragment;
    }
    return std::string(decoded.get(), static_cast<std::size_t>(length));
}

}  // namespace quill
