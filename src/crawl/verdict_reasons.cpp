#include "crawl/verdict_reasons.h"

#include "platform/curl_url.h"
#include "probe/url_checker.h"

namespace quill {
namespace {

bool IsCrawledScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "file";
}

}  // namespace

std::string UrlScheme(const std::string& url) {
    return platform::WellFormedSchemeOf(url);
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
