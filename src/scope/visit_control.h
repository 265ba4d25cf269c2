// The crawl scope: base URL, follow-external flag and excluded extensions, and the test that gives
// every found link or frame its visit mode. Module state for the whole program: the base URL and
// the flag are set at each Start, the exclusions only by the user's controls.
#pragma once

#include <string>
#include <vector>

namespace quill::VisitControl {

enum VisitMode : int { kSkip = 0, kFollow = 1, kCheckOnly = 2 };

// The three pieces of state the scope test reads, as values: the module's own state, or a copy of
// it taken on the crawl's thread for the look-ahead to use on another.
struct ScopeSettings {
    std::string baseURL;
    bool followExternal = false;
    std::vector<std::string> excludedExtensions;

    bool operator==(const ScopeSettings&) const = default;
};

// The scope test itself, over the given state; GetVisitMode is this over the module's state.
int VisitModeFor(const ScopeSettings& scope, const std::string& url, const std::string& referrer);
// The first excluded extension the URL ends with (letter case ignored); "" when none.
std::string ExcludedExtensionOf(const ScopeSettings& scope, const std::string& url);

// The extensions that are checked but never walked unless the user says otherwise.
const std::vector<std::string>& DefaultExcludedExtensions();
// The base URL a start URL stands for: up to and including its last "/" when it holds more than
// two, else the start URL itself.
std::string BaseURLOf(const std::string& startURL);

void ResetVisitControl();
void SetBaseURL(const std::string& url);
void SetFollowExternal(bool flag);
void AddExcludedExtension(const std::string& ext);
void ClearExcludedExtensions();
int GetVisitMode(const std::string& url, const std::string& referrer);

// Read access, for the look-ahead and for tests.
ScopeSettings CurrentScope();
const std::string& BaseURL();
bool FollowExternal();
const std::vector<std::string>& ExcludedExtensions();

}  // namespace quill::VisitControl
