#include "platform/document.h"

#include <algorithm>
#include <utility>

#include "platform/ascii.h"

namespace quill::platform {

MarkupMentions MarkupMentions::In(std::string_view markup) {
    auto mentions = [markup](std::string_view word) {
        const auto sameLetter = [](char a, char b) { return AsciiLower(a) == AsciiLower(b); };
        return std::search(markup.begin(), markup.end(), word.begin(), word.end(), sameLetter) !=
               markup.end();
    };
    return MarkupMentions{mentions("ALT"), mentions("WIDTH"), mentions("HEIGHT")};
}

std::string ImageElement::fileSize() const {
    return sizeSource ? sizeSource->FileSizeOf(src) : "-1";
}

std::string AppletElement::Archive() const {
    if (!archive) {
        throw MissingProperty("applet has no archive property");
    }
    return *archive;
}

std::shared_ptr<Document> Document::NotHtml(std::string url) {
    auto document = std::make_shared<Document>();
    document->isHtml = false;
    document->url = std::move(url);
    return document;
}

LinkElement::LinkElement(std::string href, std::string_view hash, bool area, MarkupMentions markup)
    : href(std::move(href)), area(area), markup(markup) {
    SetHash(hash);
}

LinkElement::LinkElement(const LinkElement& other)
    : href(other.href),
      area(other.area),
      markup(other.markup),
      hashEndsHref_(other.hashEndsHref_),
      spelledHash_(other.spelledHash_ ? std::make_unique<std::string>(*other.spelledHash_)
                                      : nullptr) {}

LinkElement& LinkElement::operator=(const LinkElement& other) {
    if (this != &other) {
        *this = LinkElement(other);
    }
    return *this;
}

std::string_view LinkElement::hash() const {
    if (spelledHash_) {
        return *spelledHash_;
    }
    return hashEndsHref_ ? std::string_view(href).substr(href.find('#')) : std::string_view();
}

void LinkElement::SetHash(std::string_view hash) {
    const std::size_t mark = href.find('#');
    hashEndsHref_ =
        !hash.empty() && mark != std::string::npos && std::string_view(href).substr(mark) == hash;
    spelledHash_ = hash.empty() || hashEndsHref_ ? nullptr : std::make_unique<std::string>(hash);
}

}  // namespace quill::platform
