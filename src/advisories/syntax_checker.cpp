#include "advisories/syntax_checker.h"

#include <charconv>

#include "platform/ascii.h"
#include "registry/report_record.h"

namespace quill::SyntaxChecker {
namespace {

constexpr const char* kNoAltSentence = "Image does not have an alt attribute. ";
constexpr const char* kNoSizeSentence = "Defining size for images helps in faster page rendering. ";
constexpr const char* kBulkySentence = "Image is too bulky. ";
constexpr const char* kAnchorNoAltSentence = "ALT tag in anchor gives baloon help in IE. ";
constexpr long long kBulkyAboveBytes = 10000;

std::vector<Advisory>& Store() {
    static std::vector<Advisory> store;
    return store;
}

// A size that is not a whole number in decimal digits is not known to be large.
bool IsBulky(const std::string& fileSize) {
    long long bytes = 0;
    const char* end = fileSize.data() + fileSize.size();
    const auto [stop, error] = std::from_chars(fileSize.data(), end, bytes);
    return error == std::errc{} && stop == end && bytes > kBulkyAboveBytes;
}

}  // namespace

void AddAdvisory(const std::string& subject, const std::string& referrer,
                 const std::string& message) {
    Store().push_back(Advisory{subject, referrer, message});
}

void CheckImageMarkup(const platform::ImageElement& image, const std::string& pageUrl) {
    std::string message;
    if (image.alt.empty()) {
        message += kNoAltSentence;
    }
    if (!image.markup.width || !image.markup.height) {
        message += kNoSizeSentence;
    }
    if (IsBulky(image.fileSize())) {
        message += kBulkySentence;
    }
    if (!message.empty()) {
        AddAdvisory("Image " + image.src, pageUrl, message);
    }
}

void CheckAnchorMarkup(const platform::LinkElement& link, const std::string& url,
                       const std::string& pageUrl) {
    if (link.tagName() != "A") {
        return;
    }
    if (!link.markup.alt) {
        AddAdvisory("Anchor " + url, pageUrl, kAnchorNoAltSentence);
    }
}

const std::vector<Advisory>& Advisories() {
    return Store();
}

void WriteAdvisoryReport(std::ostream& file) {
    if (Store().empty()) {
        return;
    }
    WriteReportRecord(file, {ReportTextField("link status"), ReportTextField("warning message"),
                             ReportTextField("link href"), ReportTextField("referer")});
    for (const Advisory& advisory : Store()) {
        WriteReportRecord(file,
                          {ReportTextField("warning"), ReportTextField(advisory.message),
                           ReportTextField(advisory.subject), ReportTextField(advisory.referrer)});
    }
}

void ResetAdvisories() {
    Store().clear();
}

}  // namespace quill::SyntaxChecker
