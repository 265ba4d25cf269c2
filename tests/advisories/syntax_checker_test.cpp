// Markup advisories: the image and anchor advice, the store that only grows, the advisory section
// of the report, and the element properties the advice reads.
#include "advisories/syntax_checker.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "advisories/advisory_store_testing.h"

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
    std::string FileSizeOf(const std::string& absoluteUrl) override {
        return absoluteUrl == "http://site/a.gif" ? size : "-1";
    }
    std::string size;
};

std::string Report() {
    std::ostringstream file;
    WriteAdvisoryReport(file);
    return file.str();
}

// The one advisory a check left, as "subject|referrer|message"; "" when it left none.
std::string OnlyAdvisory() {
    EXPECT_LE(Advisories().size(), 1u);
    return Advisories().empty() ? ""
                                : Advisories()[0].subject + "|" + Advisories()[0].referrer + "|" +
                                      Advisories()[0].message;
}

struct MarkupCase {
    const char* name;
    const char* tagOrAlt;  // the image's alt text, or the link's tag name
    const char* outerHTML;
    std::optional<std::string> fileSize;  // images only; none: the size cannot be had
    std::string message;                  // empty: no advisory
};

class ImageMarkup : public testing::TestWithParam<MarkupCase> {
    void SetUp() override { ClearAdvisoriesForTesting(); }
};
class AnchorMarkup : public ImageMarkup {};

TEST_P(ImageMarkup, GivesTheAdvice) {
    const MarkupCase& c = GetParam();
    platform::ImageElement image{"http://site/a.gif", c.tagOrAlt, c.outerHTML, nullptr};
    if (c.fileSize) {
        image.sizeSource = std::make_shared<FixedFileSize>(*c.fileSize);
    }
    CheckImageMarkup(image, kPage);
    EXPECT_EQ(OnlyAdvisory(),
              c.message.empty() ? "" : "Image http://site/a.gif|" + kPage + "|" + c.message);
}

TEST_P(AnchorMarkup, GivesTheAdvice) {
    const MarkupCase& c = GetParam();
    CheckAnchorMarkup({"http://site/p.html", "", "", c.tagOrAlt, c.outerHTML},
                      "http://site/p.html#top", kPage);
    EXPECT_EQ(OnlyAdvisory(),
              c.message.empty() ? "" : "Anchor http://site/p.html#top|" + kPage + "|" + c.message);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Advisories, ImageMarkup, testing::Values(
    MarkupCase{"CompleteSmallImage", "A", kSized, "5000", ""},
    MarkupCase{"EverythingWrongInOrderAltSizeBulk", "", R"(<img src="a.gif" width="10">)", "20000", kNoAlt + kNoSize + kBulky},
    MarkupCase{"NoHeight", "A", R"(<img src="a.gif" alt="A" width="10">)", "100", kNoSize},
    MarkupCase{"NoWidth", "A", R"(<img src="a.gif" alt="A" height="10">)", "100", kNoSize},
    MarkupCase{"SizeInStyleAnyCase", "A", R"(<img src="a.gif" style="Width:1px;hEiGhT:2px">)", "100", ""},
    MarkupCase{"ExactlyTenThousandIsNotBulky", "A", kSized, "10000", ""},
    MarkupCase{"TenThousandAndOneIsBulky", "A", kSized, "10001", kBulky},
    MarkupCase{"BeyondThirtyTwoBits", "A", kSized, "99999999999", kBulky},
    MarkupCase{"NoSizeSourceIsNotBulky", "A", kSized, std::nullopt, ""},
    MarkupCase{"TrailingTextIsNotANumber", "A", kSized, "20000 bytes", ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Advisories, AnchorMarkup, testing::Values(
    MarkupCase{"PlainAnchor", "A", R"(<a href="p.html">Page</a>)", {}, kAnchorNoAlt},
    MarkupCase{"AltAttribute", "A", R"(<a href="p.html" alt="Page">Page</a>)", {}, ""},
    MarkupCase{"AltInLinkText", "A", R"(<a href="p.html">Malta</a>)", {}, ""},
    MarkupCase{"AultIsNotAlt", "A", R"(<a href="p.html">default</a>)", {}, kAnchorNoAlt},
    MarkupCase{"AreaIsNeverAdvised", "AREA", R"(<area href="p.html">)", {}, ""},
    MarkupCase{"LowerCaseTagNameIsNotA", "a", R"(<a href="p.html">Page</a>)", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(AdvisoryStore, WritesNothingWhenEmptyThenEveryAdviceOfEveryRunQuotesDoubled) {
    ClearAdvisoriesForTesting();
    EXPECT_EQ(Report(), "");
    const platform::ImageElement image{"http://site/a.gif", "", kSized, nullptr};
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

TEST(DocumentProperties, ImageSizeWithoutSourceIsMinusOneAndAppletArchiveMayBeMissing) {
    EXPECT_EQ(platform::ImageElement{}.fileSize(), "-1");
    platform::AppletElement applet;
    EXPECT_THROW(applet.Archive(), platform::MissingProperty);
    applet.archive = "game.jar";
    EXPECT_EQ(applet.Archive(), "game.jar");
}

}  // namespace
}  // namespace quill::SyntaxChecker
