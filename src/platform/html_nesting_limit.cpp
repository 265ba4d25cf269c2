#include "platform/html_nesting_limit.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ascii.h"

namespace quill::platform {
namespace {

using NameSet = std::unordered_set<std::string_view>;

bool In(const NameSet& set, const std::string& name) {
    return set.count(name) > 0;
}

// Elements that never hold content.
const NameSet kVoid = {"area",  "base",  "basefont", "bgsound", "br",    "col",    "embed",
                       "frame", "hr",    "image",    "img",     "input", "keygen", "link",
                       "meta",  "param", "source",   "track",   "wbr",   "isindex"};

// Elements whose end tag may be left out; the parser closes them when a sibling starts, so they
// add at most a level or two, however many there are.
const NameSet kOptionalEnd = {"p",  "li", "dd",    "dt",    "option", "optgroup", "tr",
                              "td", "th", "tbody", "thead", "tfoot",  "caption",  "colgroup",
                              "rb", "rp", "rt",    "rtc",   "html",   "head",     "body"};

// Elements whose text is not markup.
const NameSet kRawText = {"script",  "style",    "xmp",      "iframe",
                          "noembed", "noframes", "textarea", "title"};

// Elements the document builder collects.
const NameSet kReadElements = {"a",      "area",  "img",    "image", "applet",
                               "object", "frame", "iframe", "form",  "script",
                               "style",  "link",  "base",   "meta",  "title"};

// An end tag looks no further down than these.
const NameSet kScopeBoundary = {"applet", "caption", "html",   "table",   "td",
                                "th",     "marquee", "object", "template"};

const NameSet kForeignIntegration = {"foreignobject", "desc", "title", "mi", "mo", "mn", "ms",
                                     "mtext"};

// Start tags that leave SVG or MathML content for HTML.
const NameSet kBreakout = {
    "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
    "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
    "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
    "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
    "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var",  "font"};

// Elements whose presence stops a search for the open element an unrelated end tag closes.
const NameSet kSpecial = {
    "address",    "applet",  "area",   "article", "aside",     "base",     "basefont", "bgsound",
    "blockquote", "body",    "br",     "button",  "caption",   "center",   "col",      "colgroup",
    "dd",         "details", "dir",    "div",     "dl",        "dt",       "embed",    "fieldset",
    "figcaption", "figure",  "footer", "form",    "frame",     "frameset", "h1",       "h2",
    "h3",         "h4",      "h5",     "h6",      "head",      "header",   "hgroup",   "hr",
    "html",       "iframe",  "img",    "input",   "keygen",    "li",       "link",     "listing",
    "main",       "marquee", "menu",   "meta",    "nav",       "noembed",  "noframes", "noscript",
    "object",     "ol",      "p",      "param",   "plaintext", "pre",      "script",   "section",
    "select",     "source",  "style",  "summary", "table",     "tbody",    "td",       "template",
    "textarea",   "tfoot",   "th",     "thead",   "title",     "tr",       "track",    "ul",
    "wbr",        "xmp"};

struct OpenElement {
    std::string name;
    bool foreign = false;
};

class NestingScan {
  public:
    NestingScan(std::string& html, const NestingLimits& limits) : html_(html), limits_(limits) {}

    int Run() {
        const std::size_t n = html_.size();
        while (pos_ < n) {
            const std::size_t lt = html_.find('<', pos_);
            if (lt == std::string::npos) {
                break;
            }
            pos_ = lt;
            if (html_.compare(pos_, 4, "<!--") == 0) {
                if (!SkipPast("-->", pos_ + 2)) {
                    break;
                }
            } else if (InForeignContent() && html_.compare(pos_, 9, "<![CDATA[") == 0) {
                if (!SkipPast("]]>", pos_ + 9)) {
                    break;
                }
            } else if (html_.compare(pos_, 2, "<!") == 0 || html_.compare(pos_, 2, "<?") == 0) {
                if (!SkipPast(">", pos_ + 2)) {
                    break;
                }
            } else if (pos_ + 2 < n && html_[pos_ + 1] == '/' && IsAsciiLetter(html_[pos_ + 2])) {
                pos_ += 2;
                const std::string name = ReadName();
                bool selfClosing = false;
                if (!SkipAttributes(selfClosing)) {
                    break;
                }
                EndTag(name);
            } else if (pos_ + 1 < n && IsAsciiLetter(html_[pos_ + 1])) {
                const std::size_t tagStart = pos_;
                pos_ += 1;
                const std::string name = ReadName();
                bool selfClosing = false;
                if (!SkipAttributes(selfClosing)) {
                    break;
                }
                if (!StartTag(name, selfClosing, tagStart)) {
                    break;
                }
            } else {
                ++pos_;
            }
        }
        return turned_;
    }

  private:
    bool InForeignContent() const {
        return !open_.empty() && open_.back().foreign &&
               !In(kForeignIntegration, open_.back().name);
    }

    int Depth() const { return static_cast<int>(open_.size()); }

    // Moves past the next `marker` at or after `from`; false when there is none.
    bool SkipPast(std::string_view marker, std::size_t from) {
        const std::size_t end = html_.find(marker, from);
        if (end == std::string::npos) {
            pos_ = html_.size();
            return false;
        }
        pos_ = end + marker.size();
        return true;
    }

    std::string ReadName() {
        std::string name;
        while (pos_ < html_.size() && !IsAsciiBlank(html_[pos_]) && html_[pos_] != '/' &&
               html_[pos_] != '>') {
            if (name.size() < 32) {
                name += AsciiLower(html_[pos_]);
            }
            ++pos_;
        }
        return name;
    }

    // Moves past the attributes and the closing '>'; false when the text ends inside the tag.
    bool SkipAttributes(bool& selfClosing) {
        const std::size_t n = html_.size();
        while (pos_ < n) {
            const char c = html_[pos_];
            if (c == '>') {
                ++pos_;
                return true;
            }
            if (c == '/') {
                selfClosing = pos_ + 1 < n && html_[pos_ + 1] == '>';
                ++pos_;
                continue;
            }
            selfClosing = false;
            if (IsAsciiBlank(c)) {
                ++pos_;
                continue;
            }
            ++pos_;  // the first character of a name, '=' included
            while (pos_ < n && !IsAsciiBlank(html_[pos_]) && html_[pos_] != '/' &&
                   html_[pos_] != '>' && html_[pos_] != '=') {
                ++pos_;
            }
            while (pos_ < n && IsAsciiBlank(html_[pos_])) {
                ++pos_;
            }
            if (pos_ >= n || html_[pos_] != '=') {
                continue;
            }
            ++pos_;
            while (pos_ < n && IsAsciiBlank(html_[pos_])) {
                ++pos_;
            }
            if (pos_ < n && (html_[pos_] == '"' || html_[pos_] == '\'')) {
                const std::size_t end = html_.find(html_[pos_], pos_ + 1);
                if (end == std::string::npos) {
                    pos_ = n;
                    return false;
                }
                pos_ = end + 1;
            } else {
                while (pos_ < n && !IsAsciiBlank(html_[pos_]) && html_[pos_] != '>') {
                    ++pos_;
                }
            }
        }
        return false;
    }

    // False when the rest of the page is text.
    bool StartTag(const std::string& name, bool selfClosing, std::size_t tagStart) {
        bool foreign = InForeignContent();
        if (foreign && In(kBreakout, name)) {
            while (!open_.empty() && open_.back().foreign) {
                Pop();
            }
            foreign = false;
        }
        const bool read = In(kReadElements, name);
        if (Depth() >= (read ? limits_.readElementDepth : limits_.depth)) {
            html_[tagStart] = ' ';
            ++turned_;
            return true;
        }
        if (foreign || name == "svg" || name == "math") {
            if (!selfClosing) {
                Push(name, true);
            }
            return true;
        }
        if (name == "plaintext") {
            return false;
        }
        if (In(kRawText, name)) {
            SkipRawText(name);
            return true;
        }
        if (!In(kVoid, name) && !In(kOptionalEnd, name)) {
            Push(name, false);
        }
        return true;
    }

    // Moves to the end tag that closes a raw-text element (or to the end of the page).
    void SkipRawText(const std::string& name) {
        const std::size_t n = html_.size();
        std::size_t at = pos_;
        while ((at = html_.find("</", at)) != std::string::npos) {
            std::size_t k = 0;
            while (k < name.size() && at + 2 + k < n && AsciiLower(html_[at + 2 + k]) == name[k]) {
                ++k;
            }
            const std::size_t after = at + 2 + k;
            if (k == name.size() && (after >= n || IsAsciiBlank(html_[after]) ||
                                     html_[after] == '/' || html_[after] == '>')) {
                pos_ = at;
                return;
            }
            at += 2;
        }
        pos_ = n;
    }

    void EndTag(const std::string& name) {
        const auto count = counts_.find(name);
        if (count == counts_.end() || count->second == 0) {
            return;
        }
        const bool special = In(kSpecial, name);
        for (std::size_t i = open_.size(); i-- > 0;) {
            const OpenElement& element = open_[i];
            if (element.name == name) {
                while (open_.size() > i) {
                    Pop();
                }
                return;
            }
            const bool boundary = element.foreign ? In(kForeignIntegration, element.name)
                                                  : In(kScopeBoundary, element.name);
            if (boundary || (!special && !element.foreign && In(kSpecial, element.name))) {
                return;
            }
        }
    }

    void Push(const std::string& name, bool foreign) {
        open_.push_back(OpenElement{name, foreign});
        ++counts_[name];
    }

    void Pop() {
        --counts_[open_.back().name];
        open_.pop_back();
    }

    std::string& html_;
    const NestingLimits limits_;
    std::size_t pos_ = 0;
    int turned_ = 0;
    std::vector<OpenElement> open_;
    std::unordered_map<std::string, int> counts_;
};

}  // namespace

int LimitHtmlNesting(std::string& html, const NestingLimits& limits) {
    return NestingScan(html, limits).Run();
}

}  // namespace quill::platform
