// The crawl scope: base URL, follow-external flag and excluded extensions, and the test that gives
// every found link or frame its visit mode. Module state for the whole program: the base URL and
// the flag are set at each Start, the exclusions only by the user's controls.
#pragma once

#include <string>
#include <vector>

namespace quill::VisitControl {

enum VisitMode : int { kSkip = 0, kFollow = 1, kCheckOnly = 2 };

void ResetVisitControl();
void SetBaseURL(const std::string& url);
void SetFollowExternal(bool flag);
void AddExcludedExtension(const std::string& ext);
void ClearExcludedExtensions();
int GetVisitMode(const std::string& url, const std::string& referrer);

// Read access, for the look-ahead and for tests.
const std::string& BaseURL();
bool FollowExternal();
const std::vector<std::string>& ExcludedExtensions();

}  // namespace quill::VisitControl
