// Markup advisories: the image and anchor advice, the store that only grows, and the advisory
// section of the report.
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
const char* const kPage = "http://site/index.html";
const char* const kHeader = "\"link status\",\"warning message\",\"link href\",\"referer\"\r\n";

class FixedFileSize : public platform::FileSizeSource {
  public:
    explicit FixedFileSize(std::string size) : size_(std::move(size)) {}
    std::string FileSizeOf(const std::string& absoluteUrl) override {
        askedFor = absoluteUrl;
        return size_;
    }
    std::string askedFor;

  private:
    std::string size_;
};

std::string Report() {
    std::ostringstream file;
    WriteAdvisoryReport(file);
    return file.str();
}

class AdvisoryStore : public testing::Test {
  protected:
    void SetUp() override { ClearAdvisoriesForTesting(); }
};

struct ImageCase {
    const char* name;
    const char* alt;
    const char* outerHTML;
    std::optional<std::string> fileSize;  // none: the size cannot be had
    std::string message;                  // empty: no advisory
};

class ImageMarkup : public AdvisoryStore, public testing::WithParamInterface<ImageCase> {};

TEST_P(ImageMarkup, GivesTheAdvice) {
    const ImageCase& c = GetParam();
    platform::ImageElement image{"http://site/a.gif", c.alt, c.outerHTML, nullptr};
    std::shared_ptr<FixedFileSize> size;
    if (c.fileSize) {
        size = std::make_shared<FixedFileSize>(*c.fileSize);
        image.sizeSource = size;
    }
    CheckImageMarkup(image, kPage);
    if (size) {
        EXPECT_EQ(size->askedFor, "http://site/a.gif");
    }
    if (c.message.empty()) {
        EXPECT_TRUE(Advisories().empty());
        return;
    }
    ASSERT_EQ(Advisories().size(), 1u);
    EXPECT_EQ(Advisories()[0].subject, "Image http://site/a.gif");
    EXPECT_EQ(Advisories()[0].referrer, kPage);
    EXPECT_EQ(Advisories()[0].message, c.message);
}

const char* const kSized = R"(<img src="a.gif" alt="A" width="10" height="20">)";

INSTANTIATE_TEST_SUITE_P(
    Advisories, ImageMarkup,
    testing::Values(
        ImageCase{"CompleteSmallImage", "A", kSized, "5000", ""},
        ImageCase{"EverythingWrongInOrderAltSizeBulk", "", R"(<img src="a.gif" width="10">)",
                  "20000", kNoAlt + kNoSize + kBulky},
        ImageCase{"EmptyAltCountsAsMissing", "", R"(<img src="a.gif" alt="" width=1 height=1>)",
                  "100", kNoAlt},
        ImageCase{"NoHeight", "A", R"(<img src="a.gif" alt="A" width="10">)", "100", kNoSize},
        ImageCase{"NoWidth", "A", R"(<img src="a.gif" alt="A" height="10">)", "100", kNoSize},
        ImageCase{"SizeInStyleAnyCase", "A", R"(<img src="a.gif" style="Width:1px;hEiGhT:2px">)",
                  "100", ""},
        ImageCase{"SizeWordsInFileName", "A", R"(<img src="width_height.gif" alt="A">)", "100", ""},
        ImageCase{"ExactlyTenThousandIsNotBulky", "A", kSized, "10000", ""},
        ImageCase{"TenThousandAndOneIsBulky", "A", kSized, "10001", kBulky},
        ImageCase{"BeyondThirtyTwoBits", "A", kSized, "99999999999", kBulky},
        ImageCase{"UnknownSizeIsNotBulky", "A", kSized, "-1", ""},
        ImageCase{"NoSizeSourceIsNotBulky", "A", kSized, std::nullopt, ""},
        ImageCase{"WordsAreNotBulky", "A", kSized, "large", ""},
        ImageCase{"TrailingTextIsNotANumber", "A", kSized, "20000 bytes", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct AnchorCase {
    const char* name;
    const char* tagName;
    const char* outerHTML;
    bool advised;
};

class AnchorMarkup : public AdvisoryStore, public testing::WithParamInterface<AnchorCase> {};

TEST_P(AnchorMarkup, GivesTheAdvice) {
    const AnchorCase& c = GetParam();
    const platform::LinkElement link{"http://site/p.html", "", "", c.tagName, c.outerHTML};
    CheckAnchorMarkup(link, "http://site/p.html#top", kPage);
    if (!c.advised) {
        EXPECT_TRUE(Advisories().empty());
        return;
    }
    ASSERT_EQ(Advisories().size(), 1u);
    EXPECT_EQ(Advisories()[0].subject, "Anchor http://site/p.html#top");
    EXPECT_EQ(Advisories()[0].referrer, kPage);
    EXPECT_EQ(Advisories()[0].message, kAnchorNoAlt);
}

INSTANTIATE_TEST_SUITE_P(
    Advisories, AnchorMarkup,
    testing::Values(
        AnchorCase{"PlainAnchor", "A", R"(<a href="p.html">Page</a>)", true},
        AnchorCase{"AltAttribute", "A", R"(<a href="p.html" alt="Page">Page</a>)", false},
        AnchorCase{"ImageWithAltInside", "A", R"(<a href="p.html"><img alt="P"></a>)", false},
        AnchorCase{"AltInFileName", "A", R"(<a href="salt.html">Salt</a>)", false},
        AnchorCase{"AltInLinkText", "A", R"(<a href="p.html">Malta</a>)", false},
        AnchorCase{"AultIsNotAlt", "A", R"(<a href="p.html">default</a>)", true},
        AnchorCase{"AreaIsNeverAdvised", "AREA", R"(<area href="p.html">)", false},
        AnchorCase{"LowerCaseTagNameIsNotA", "a", R"(<a href="p.html">Page</a>)", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AdvisoryStore, EmptyStoreWritesNothingNotEvenTheHeader) {
    EXPECT_EQ(Report(), "");
}

TEST_F(AdvisoryStore, SecondRunOverTheSameSiteStoresEveryAdvisoryAgain) {
    const platform::ImageElement image{"http://site/a.gif", "", kSized, nullptr};
    const platform::LinkElement link{"http://site/p.html", "", "", "A", "<a href=p.html>P</a>"};
    for (int run = 0; run < 2; ++run) {
        CheckImageMarkup(image, kPage);
        CheckAnchorMarkup(link, link.href, kPage);
    }
    const std::string imageLine =
        "\"warning\",\"" + kNoAlt + "\",\"Image http://site/a.gif\",\"http://site/index.html\"\r\n";
    const std::string anchorLine =
        "\"warning\",\"" + kAnchorNoAlt +
        "\",\"Anchor http://site/p.html\",\"http://site/index.html\"\r\n";
    EXPECT_EQ(Report(), kHeader + imageLine + anchorLine + imageLine + anchorLine);
}

TEST_F(AdvisoryStore, QuotesInFieldsAreDoubled) {
    AddAdvisory("Image http://site/\"a\".gif", "http://site/\",\"forged", kNoAlt);
    EXPECT_EQ(Report(),
              std::string(kHeader) + "\"warning\",\"" + kNoAlt +
                  "\",\"Image http://site/\"\"a\"\".gif\",\"http://site/\"\",\"\"forged\"\r\n");
}

}  // namespace
}  // namespace quill::SyntaxChecker
