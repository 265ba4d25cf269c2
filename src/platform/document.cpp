#include "platform/document.h"

#include <utility>

namespace quill::platform {

std::string ImageElement::fileSize() const {
    return sizeSource ? sizeSource->FileSizeOf(src) : "-1";
}

std::string AppletElement::Archive() const {
    if (!archive) {
        throw MissingProperty("applet has no archive property");
    }
    return *archive;
}

std::shared_ptr<const Document> Document::NotHtml(std::string url) {
    auto document = std::make_shared<Document>();
    document->isHtml = false;
    document->url = std::move(url);
    return document;
}

}  // namespace quill::platform
