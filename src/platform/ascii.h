// ASCII text helpers shared across the tree: letter case, trimming, case-blind comparisons and the
// HTML media-type test. Bytes outside ASCII are left as they are.
#pragma once

#include <string>
#include <string_view>

namespace quill::platform {

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

inline std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return upper;
}

inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool IsAsciiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The text without blanks (space, tab, CR, LF, form feed) at either end.
inline std::string Trim(std::string_view text) {
    while (!text.empty() && IsAsciiBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsAsciiBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Is a Content-Type value (parameters, blanks and letter case aside) an HTML or XHTML page?
inline bool IsHtmlContentType(std::string_view contentType) {
    const std::string media = AsciiLower(Trim(contentType.substr(0, contentType.find(';'))));
    return media == "text/html" || media == "application/xhtml+xml";
}

}  // namespace quill::platform
