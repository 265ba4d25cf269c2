#include "advisories/syntax_checker.h"

#include <array>
#include <charconv>
#include <deque>

#include "platform/ascii.h"
#include "registry/report_record.h"
#include "registry/text_table.h"

namespace quill::SyntaxChecker {
namespace {

constexpr const char* kNoAltSentence = "Image does not have an alt attribute. ";
constexpr const char* kNoSizeSentence = "Defining size for images helps in faster page rendering. ";
constexpr const char* kBulkySentence = "Image is too bulky. ";
constexpr const char* kAnchorNoAltSentence = "ALT tag in anchor gives baloon help in IE. ";
constexpr long long kBulkyAboveBytes = 10000;

// Each advisory names its three texts by id in one table of texts.
struct Store {
    TextTable texts;
    std::deque<std::array<TextTable::Id, 3>> advisories;  // subject, referrer, message
};

Store& TheStore() {
    static Store store;
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

void AddAdvisory(std::string_view subject, std::string_view referrer, std::string_view message) {
    Store& store = TheStore();
    store.advisories.push_back(
        {store.texts.Intern(subject), store.texts.Intern(referrer), store.texts.Intern(message)});
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

std::size_t AdvisoryCount() {
    return TheStore().advisories.size();
}

Advisory AdvisoryAt(std::size_t index) {
    const Store& store = TheStore();
    const auto& [subject, referrer, message] = store.advisories.at(index);
    return {store.texts.Text(subject), store.texts.Text(referrer), store.texts.Text(message)};
}

void WriteAdvisoryReport(std::ostream& file) {
    if (AdvisoryCount() == 0) {
        return;
    }
    WriteReportRecord(file, {ReportTextField("link status"), ReportTextField("warning message"),
                             ReportTextField("link href"), ReportTextField("referer")});
    for (std::size_t i = 0; i < AdvisoryCount(); ++i) {
        const Advisory advisory = AdvisoryAt(i);
        WriteReportRecord(file,
                          {ReportTextField("warning"), ReportTextField(advisory.message),
                           ReportTextField(advisory.subject), ReportTextField(advisory.referrer)});
    }
}

void ResetAdvisories() {
    Store& store = TheStore();
    store.advisories = {};
    store.texts.Clear();
}

}  // namespace quill::SyntaxChecker
