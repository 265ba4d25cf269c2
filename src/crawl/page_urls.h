// Text rules for the URLs a page holds: the directory and site-root URLs of a page, the resolution
// of URLs as written in scripts, style sheets and forms, and fragment handling. Pure functions.
#pragma once

#include <string>

namespace quill {

// The page URL up to and including its last "/"; "" when it holds none.
std::string DirectoryURL(const std::string& pageURL);
// The page URL up to and including its third "/" (scheme://host/), or its last "/" when it holds
// fewer; "" when it holds none.
std::string SiteRootURL(const std::string& pageURL);

// A URL as written in the page made absolute the simple way: "//x" takes the page's scheme, "/x"
// hangs below the site root, "http://" and "https://" URLs stay, anything else hangs below the
// directory. Dot segments, queries and fragments are kept as written.
std::string ResolveAsWritten(const std::string& raw, const std::string& pageURL);

// The URL without its fragment (everything from the first "#" on).
std::string WithoutFragment(const std::string& url);
// A fragment with its percent-escapes decoded; the text itself when it cannot be decoded.
std::string DecodeFragment(const std::string& fragment);

}  // namespace quill
