#include "scope/visit_control.h"

#include <algorithm>
#include <string_view>

#include "platform/ascii.h"

namespace quill::VisitControl {
namespace {

ScopeSettings& TheScope() {
    static ScopeSettings scope;
    return scope;
}

// An empty text begins with nothing; every other text begins with the empty prefix.
bool BeginsWith(std::string_view text, std::string_view prefix) {
    return !text.empty() && text.size() >= prefix.size() &&
           platform::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// An excluded entry matches only when it is shorter than the URL. An empty entry matches nothing:
// otherwise one stray press of "Add" would make every followed link of the site check-only.
bool EndsWithExcluded(std::string_view url, std::string_view entry) {
    return !entry.empty() && entry.size() < url.size() &&
           platform::EqualsNoCase(url.substr(url.size() - entry.size()), entry);
}

bool HasCrawledScheme(std::string_view url) {
    return BeginsWith(url, "http:") || BeginsWith(url, "https:") || BeginsWith(url, "file:");
}

}  // namespace

const std::vector<std::string>& DefaultExcludedExtensions() {
    static const std::vector<std::string> defaults = {".zip", ".ram", ".tar", ".exe", ".c",
                                                      ".cpp", ".h",   ".cdf", ".pdf"};
    return defaults;
}

std::string BaseURLOf(const std::string& startURL) {
    if (std::count(startURL.begin(), startURL.end(), '/') > 2) {
        return startURL.substr(0, startURL.rfind('/') + 1);
    }
    return startURL;
}

void ResetVisitControl() {
    TheScope().followExternal = true;
}
void SetBaseURL(const std::string& url) {
    TheScope().baseURL = url;
}
void SetFollowExternal(bool flag) {
    TheScope().followExternal = flag;
}
void AddExcludedExtension(const std::string& ext) {
    TheScope().excludedExtensions.push_back(ext);
}
void ClearExcludedExtensions() {
    TheScope().excludedExtensions.clear();
}

int GetVisitMode(const std::string& url, const std::string& referrer) {
    return VisitModeFor(TheScope(), url, referrer);
}

int VisitModeFor(const ScopeSettings& scope, const std::string& url, const std::string& referrer) {
    int provisional;
    if (BeginsWith(url, scope.baseURL)) {
        provisional = kFollow;
    } else if (BeginsWith(referrer, scope.baseURL) && scope.followExternal) {
        provisional = kCheckOnly;
    } else {
        return kSkip;
    }
    // Excluded files are checked whatever their scheme, so this test comes before the scheme test.
    if (!ExcludedExtensionOf(scope, url).empty()) {
        return kCheckOnly;
    }
    return HasCrawledScheme(url) ? provisional : kSkip;
}

std::string ExcludedExtensionOf(const ScopeSettings& scope, const std::string& url) {
    for (const std::string& entry : scope.excludedExtensions) {
        if (EndsWithExcluded(url, entry)) {
            return entry;
        }
    }
    return "";
}

ScopeSettings CurrentScope() {
    return TheScope();
}
const std::string& BaseURL() {
    return TheScope().baseURL;
}
bool FollowExternal() {
    return TheScope().followExternal;
}
const std::vector<std::string>& ExcludedExtensions() {
    return TheScope().excludedExtensions;
}

}  // namespace quill::VisitControl
