// The HTML document model the walkers read: a page's title and its element collections in document
// order, with the properties the crawl and the markup advisories use. The browser shares its
// documents read-only; the walk of a page takes its own and lets go of its parts as it goes, so it
// keeps reading its page after the browser has moved on.
// Tests build them by hand; the browser builds them from HTML (see html_document_builder.h).
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quill::platform {

// Raised when a walker reads a property the element does not have.
class MissingProperty : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Tells an image's size in bytes, as text ("-1" when it cannot be had).
class FileSizeSource {
  public:
    virtual ~FileSizeSource() = default;
    virtual std::string FileSizeOf(const std::string& absoluteUrl) = 0;
};

// What an element's outerHTML (its markup with everything inside it) mentions, read as the markup
// advisories read it: upper-cased, anywhere, attribute values and text included. Elements keep
// these facts, worked out while the page is built, instead of the markup itself.
struct MarkupMentions {
    bool alt = false;     // "ALT"
    bool width = false;   // "WIDTH"
    bool height = false;  // "HEIGHT"

    static MarkupMentions In(std::string_view markup);
    bool operator==(const MarkupMentions&) const = default;
};

// <img>
struct ImageElement {
    std::string src;  // absolute
    std::string alt;
    MarkupMentions markup;                       // of its outerHTML
    std::shared_ptr<FileSizeSource> sizeSource;  // may be null: size unknown

    std::string tagName() const { return "IMG"; }
    // Size of the image in bytes as text; "-1" when it cannot be had.
    std::string fileSize() const;
};

// <a href> and <area href>. A page keeps its links while the walk is deeper down, so a link is
// small: its hash is read from the end of href, unless resolving href spelled it otherwise.
class LinkElement {
  public:
    LinkElement() = default;
    LinkElement(std::string href, std::string_view hash, bool area, MarkupMentions markup);
    LinkElement(const LinkElement& other);
    LinkElement& operator=(const LinkElement& other);
    LinkElement(LinkElement&&) = default;
    LinkElement& operator=(LinkElement&&) = default;

    std::string href;       // absolute
    bool area = false;      // an <area> of an image map
    MarkupMentions markup;  // of its outerHTML

    std::string tagName() const { return area ? "AREA" : "A"; }
    // "#name" as the page writes it, or "" when the URL has no fragment; valid while href is.
    std::string_view hash() const;
    // Set once href is absolute.
    void SetHash(std::string_view hash);

  private:
    bool hashEndsHref_ = false;
    std::unique_ptr<std::string> spelledHash_;  // when href does not end with the hash
};

// <a name>
struct AnchorElement {
    std::string name;
};

// <script>
struct ScriptElement {
    std::string src;  // as written in the page; "" when absent
};

// <link rel="stylesheet"> and <style>
struct StyleSheetElement {
    std::string href;  // as written in the page; "" for a style block
};

// <form>
struct FormElement {
    std::string action;  // as written in the page; "" when absent
};

// <applet> and <object>
struct AppletElement {
    std::string BaseHref;  // the document's base URL, absolute
    std::optional<std::string> archive;
    std::string codeBase;
    std::string code;

    // Throws MissingProperty when the element has no archive attribute.
    std::string Archive() const;
};

// <frame> and <iframe>
struct FrameElement {
    std::string locationHref;  // src resolved absolute; "about:blank" when absent or empty
};

class Document {
  public:
    // A document that is not HTML (an image, a PDF...): no title, no collections.
    static std::shared_ptr<Document> NotHtml(std::string url);

    Document() = default;

    bool IsHtml() const { return isHtml; }

    // True when some element carries this exact id (case-sensitive).
    bool HasElementWithId(const std::string& id) const {
        return std::binary_search(ids.begin(), ids.end(), id);
    }

    bool isHtml = true;
    std::string url;  // the address the document was loaded from
    std::string title;
    std::vector<ImageElement> images;
    std::vector<AppletElement> applets;
    std::vector<ScriptElement> scripts;
    std::vector<StyleSheetElement> styleSheets;
    std::vector<LinkElement> links;
    std::vector<AnchorElement> anchors;
    std::vector<FrameElement> frames;
    std::vector<FormElement> forms;
    std::vector<std::string> ids;  // sorted, each once
};

}  // namespace quill::platform
