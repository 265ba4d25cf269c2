#include "crawl/verdict_reasons.h"

#include "probe/url_checker.h"

namespace quill {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsCrawledScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "file";
}

}  // namespace

std::string UrlScheme(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) {
        return "";
    }
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = Lower(url[i]);
        const bool letter = c >= 'a' && c <= 'z';
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) {
            return "";
        }
        scheme += c;
    }
    return scheme;
}

std::string ProbeReason(const std::string& url, bool reachable) {
    if (UrlScheme(url) == "file") {
        if (reachable) {
            return "file on disk";
        }
        if (URLChecker::LastProbeStatus() == 404) {
            return "no such file";
        }
    }
    return URLChecker::LastProbeReason();
}

std::string ScopeSkipReason(const std::string& url) {
    const std::string scheme = UrlScheme(url);
    if (!scheme.empty() && !IsCrawledScheme(scheme)) {
        return "not followed: " + scheme + ":";
    }
    return "outside the base URL";
}

std::string StartURLProblem(const std::string& url) {
    const std::string scheme = UrlScheme(url);
    if (scheme.empty()) {
        return "not a URL: no scheme such as http:";
    }
    if (!IsCrawledScheme(scheme)) {
        return "cannot crawl " + scheme + ": URLs, only http:, https: and file:";
    }
    return "";
}

std::string FragmentReason(const std::string& fragment, bool found) {
    return std::string(found ? "" : "no ") + "element with id or name \"" + fragment + "\"";
}

std::string PageMovedReason(const std::string& location) {
    return "page moved to " + location;
}

}  // namespace quill
