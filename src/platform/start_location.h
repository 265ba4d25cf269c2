// Turns what the user gives as the start (a command-line argument, the window's Start URL box) into
// the start URL: a URL stays as it is, the path of an existing file or directory becomes a file:
// URL, so `quillorbane-cli site/` and a path typed into the window just work.
#pragma once

#include <string>

namespace quill {

struct StartLocation {
    std::string url;
    std::string error;  // non-empty: the argument names a path that cannot be made a URL
};

// True for text that begins with a URL scheme ("http:", "file:", "about:", ...).
bool HasUrlScheme(const std::string& text);

// A text with a scheme is returned unchanged when it can start a crawl (an http:, https: or file:
// URL that libcurl parses), else it is an error. An existing file becomes the file: URL of its
// absolute path; an existing directory that of its index.html or index.htm, or of the directory
// itself (with a trailing "/") when it has neither. Anything else is an error: most likely a
// mistyped path.
StartLocation ResolveStartLocation(const std::string& argument);

// The file: URL of an absolute path, percent-encoded by libcurl's URL API.
StartLocation FileUrlFromAbsolutePath(const std::string& absolutePath);

}  // namespace quill
