// Why a URL got its verdict, in words a webmaster understands: the texts the crawl keeps beside
// every verdict in the registry, and the scheme test they rest on.
#pragma once

#include <string>

namespace quill {

// The scheme of a URL in lower case ("http", "mailto"); "" when the text does not begin with one.
std::string UrlScheme(const std::string& url);

// What the last probe of url said: "file on disk" for a file that answered, else the probe's own
// reason ("200 OK", "404 Not Found", "connection refused", ...).
std::string ProbeReason(const std::string& url, bool reachable);

// Why the crawl scope skips a found URL: another scheme ("not followed: mailto:") or a place
// outside the base URL.
std::string ScopeSkipReason(const std::string& url);

// Why a start URL cannot be crawled at all ("" when it can): a scheme other than http:, https:
// and file:, or none.
std::string StartURLProblem(const std::string& url);

// Reasons given by the crawl itself.
inline constexpr const char* kReasonStopped = "stopped";
inline constexpr const char* kReasonSkipMatch = "matches --skip";
inline constexpr const char* kReasonEmptyLink = "empty link";
inline constexpr const char* kReasonTopOfPage = "top of the page";
inline constexpr const char* kReasonPageLoaded = "page loaded";
inline constexpr const char* kReasonPageNotLoaded = "page did not load";

std::string FragmentReason(const std::string& fragment, bool found);
std::string PageMovedReason(const std::string& location);

}  // namespace quill
