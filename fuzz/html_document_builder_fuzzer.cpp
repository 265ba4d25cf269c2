// Feeds arbitrary bytes through the page decoding and the document builder, with the limits of a
// real page and with tiny ones that force the fallbacks, and checks what must always hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/charset.h"
#include "platform/html_document_builder.h"
#include "platform/html_nesting_limit.h"

namespace {

using namespace quill::platform;

// clang-format off
const char* const kContentTypes[] = {"text/html", "text/html; charset=utf-8",
    "text/html; charset=windows-1252", "text/html; charset=Shift_JIS", "text/html; charset=utf-16",
    "text/html; charset=iso-2022-jp", "text/html; charset=gb18030", ""};
const char* const kUrls[] = {"http://site.example/dir/page.html?q=1#top",
    "file:///srv/site/index.html", "about:blank", "http://[broken"};
// clang-format on

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string text = DecodeHtml(body, kContentTypes[control & 7]);
    Check(ConvertToUtf8(text, "UTF-8") == text);  // valid UTF-8 already

    std::string limited = text;
    LimitHtmlNesting(limited, NestingLimits{4, 8});
    Check(limited.size() == text.size());

    HtmlBuildLimits limits;
    if ((control & 8) != 0) {
        limits.nesting = NestingLimits{4, 8};
        limits.parserMemoryBytes = 16 * 1024;
    }
    const Document document = BuildHtmlDocument(text, kUrls[(control >> 4) & 3], nullptr, limits);
    for (const LinkElement& link : document.links) {
        Check(link.hash().empty() || link.hash()[0] == '#');
    }
    for (const FrameElement& frame : document.frames) {
        Check(!frame.locationHref.empty());
    }
    for (const ImageElement& image : document.images) {
        Check(image.fileSize() == "-1");
    }
    return 0;
}
