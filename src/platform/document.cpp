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

}  // namespace quill::platform
