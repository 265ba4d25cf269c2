// Markup advisories: the image and anchor advice, the store that only grows within a run, and the
// advisory section of the report.
#include "advisories/syntax_checker.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>

namespace quill::SyntaxChecker {
namespace {

const std::string kNoAlt = "Image does not have an alt attribute. ";
const std::string kNoSize = "Defining size for images helps in faster page rendering. ";
const std::string kBulky = "Image is too bulky. ";
const std::string kAnchorNoAlt = "ALT tag in anchor gives baloon help in IE. ";
const std::string kPage = "http://site/index.html";
const char* const kSized = R"(<img src="a.gif" alt="A" width="10" height="20">)";

struct FixedFileSize : platform::FileSizeSource {
    explicit FixedFileSize(std::string size) : size(std::move(size)) {}
    std::string FileSizeOf(const std::string& url) override {
        return url.ends_with("a.gif") ? size : "-1";
    }
    std::string size;
};

std::string Report() {
    std::ostringstream file;
    WriteAdvisoryReport(file);
    return file.str();
}

// The one advisory a check left, as "subject|referrer|message"; else how many it left.
std::string OnlyAdvisory() {
    if (AdvisoryCount() != 1) {
        return std::to_string(AdvisoryCount()) + " advisories";
    }
    const Advisory found = AdvisoryAt(0);
    return std::string(found.subject) + "|" + std::string(found.referrer) + "|" +
           std::string(found.message);
}

// Images: alt, then size, then bulk. Anchors (<a> only): alt in an attribute or the link text.
TEST(MarkupAdvice, IsGivenForWhatTheElementLacks) {
    const struct {
        const char* tagOrAlt;  // the image's alt text, or the link's tag name
        const char* outerHTML;
        std::optional<std::string> fileSize;  // images only; none: the size cannot be had
        std::string message;                  // empty: no advisory
    } cases[] = {
        // clang-format off
        {"", R"(<img src="a.gif" width="10">)", "20000", kNoAlt + kNoSize + kBulky},
        {"A", R"(<img src="a.gif" alt="A" width="10">)", "100", kNoSize},
        {"A", R"(<img src="a.gif" alt="A" height="10">)", "100", kNoSize},
        {"A", R"(<img src="a.gif" style="Width:1px;hEiGhT:2px">)", "100", ""},
        {"A", kSized, "10000", ""},
        {"A", kSized, "10001", kBulky},
        {"A", kSized, "99999999999", kBulky},  // beyond 32 bits
        {"A", kSized, std::nullopt, ""},
        {"A", kSized, "20000 bytes", ""},  // not a number
        {"A", R"(<a href="p.html">Page</a>)", {}, kAnchorNoAlt},
        {"A", R"(<a href="p.html" alt="Page">Page</a>)", {}, ""},
        {"A", R"(<a href="p.html">Malta</a>)", {}, ""},
        {"A", R"(<a href="p.html">default</a>)", {}, kAnchorNoAlt},
        {"AREA", R"(<area href="p.html">)", {}, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        ResetAdvisories();
        std::string subject = "Image http://site/a.gif";  // or the anchor's
        if (std::string(c.outerHTML).starts_with("<img")) {
            platform::ImageElement image{"http://site/a.gif", c.tagOrAlt,
                                         platform::MarkupMentions::In(c.outerHTML), nullptr};
            if (c.fileSize) {
                image.sizeSource = std::make_shared<FixedFileSize>(*c.fileSize);
            }
            CheckImageMarkup(image, kPage);
        } else {
            subject = "Anchor http://site/p.html#top";
            CheckAnchorMarkup({"http://site/p.html", "", c.tagOrAlt == std::string("AREA"),
                               platform::MarkupMentions::In(c.outerHTML)},
                              "http://site/p.html#top", kPage);
        }
        EXPECT_EQ(OnlyAdvisory(),
                  c.message.empty() ? "0 advisories" : subject + "|" + kPage + "|" + c.message)
            << c.outerHTML << " " << c.fileSize.value_or("none");
    }
}

TEST(AdvisoryStore, WritesNothingWhenEmptyThenEveryAdviceOfEveryRunQuotesDoubled) {
    ResetAdvisories();
    EXPECT_EQ(Report(), "");
    const platform::ImageElement image{"http://site/a.gif", "",
                                       platform::MarkupMentions::In(kSized), nullptr};
    for (int run = 0; run < 2; ++run) {
        CheckImageMarkup(image, kPage);
    }
    AddAdvisory("Image \"q\".gif", "http://site/\",\"forged", kNoAlt);
    const std::string line =
        "\"warning\",\"" + kNoAlt + "\",\"Image http://site/a.gif\",\"" + kPage + "\"\r\n";
    EXPECT_EQ(Report(), "\"link status\",\"warning message\",\"link href\",\"referer\"\r\n" + line +
                            line + "\"warning\",\"" + kNoAlt +
                            "\",\"Image \"\"q\"\".gif\",\"http://site/\"\",\"\"forged\"\r\n");
}

}  // namespace
}  // namespace quill::SyntaxChecker
