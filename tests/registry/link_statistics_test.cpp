// The link registry: verdicts under exact keys, refusals that leave every map as it was, the open
// pages of the recursion, and the byte-exact link section of the report.
#include "registry/link_statistics.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quill::LinkStatistics {
namespace {

const char* const kHeader = "\"link status\",\"time to load\",\"link href\",\"referer\"\r\n";

std::string Report() {
    std::ostringstream file;
    WriteLinkReport(file);
    return file.str();
}

class LinkRegistry : public testing::Test {
  protected:
    void SetUp() override { ResetLinkStatistics(); }
};

TEST_F(LinkRegistry, AfterResetKnowsNothingAndReportsTheHeaderAlone) {
    AddValidLink("http://site/a.html", 1, "");
    AddBrokenLink("http://site/b.html", 2, "http://site/a.html");
    AddSkippedLink("http://other/", "http://site/a.html");
    AddOpenPage("http://site/a.html");
    ResetLinkStatistics();
    for (const char* url : {"http://site/a.html", "http://site/b.html", "http://other/"}) {
        EXPECT_FALSE(IsValidLink(url)) << url;
        EXPECT_FALSE(IsBrokenLink(url)) << url;
        EXPECT_FALSE(IsSkippedLink(url)) << url;
        EXPECT_FALSE(IsOpenPage(url)) << url;
    }
    EXPECT_EQ(Referrers().Count(), 0);
    EXPECT_EQ(Report(), kHeader);
}

TEST_F(LinkRegistry, AnswersOnlyForTheVerdictRecordedUnderTheExactText) {
    AddValidLink("http://site/valid", 1, "");
    AddBrokenLink("http://site/broken", 1, "");
    AddSkippedLink("http://site/skipped", "");
    EXPECT_TRUE(IsValidLink("http://site/valid"));
    EXPECT_FALSE(IsBrokenLink("http://site/valid"));
    EXPECT_TRUE(IsBrokenLink("http://site/broken"));
    EXPECT_FALSE(IsSkippedLink("http://site/broken"));
    EXPECT_TRUE(IsSkippedLink("http://site/skipped"));
    EXPECT_FALSE(IsValidLink("http://site/skipped"));
    for (const char* other : {"http://site/VALID", "http://site/valid/", "http://site/valid#a"}) {
        EXPECT_FALSE(IsValidLink(other)) << other;
    }
}

enum class Verdict { kValid, kBroken, kSkipped };

void Add(Verdict verdict, const std::string& url, const std::string& referrer) {
    switch (verdict) {
        case Verdict::kValid:
            return AddValidLink(url, 4, referrer);
        case Verdict::kBroken:
            return AddBrokenLink(url, 5, referrer);
        case Verdict::kSkipped:
            return AddSkippedLink(url, referrer);
    }
}

struct SecondVerdictCase {
    const char* name;
    Verdict first;
    Verdict second;
};

class SecondVerdict : public LinkRegistry, public testing::WithParamInterface<SecondVerdictCase> {};

TEST_P(SecondVerdict, IsRefusedBeforeAnyMapIsWritten) {
    const std::string url = "http://site/x.html";
    Add(Verdict::kValid, "http://site/", "");
    Add(GetParam().first, url, "http://site/");
    const Dictionary<int> valid = ValidLinks();
    const Dictionary<int> broken = BrokenLinks();
    const Dictionary<std::string> skipped = SkippedLinks();
    const Dictionary<std::string> referrers = Referrers();
    const std::string report = Report();

    EXPECT_THROW(Add(GetParam().second, url, "http://site/other.html"), DuplicateKey);

    EXPECT_EQ(ValidLinks(), valid);
    EXPECT_EQ(BrokenLinks(), broken);
    EXPECT_EQ(SkippedLinks(), skipped);
    EXPECT_EQ(Referrers(), referrers);
    EXPECT_EQ(Report(), report);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Registry, SecondVerdict,
    testing::Values(SecondVerdictCase{"ValidThenValid", Verdict::kValid, Verdict::kValid},
                    SecondVerdictCase{"ValidThenBroken", Verdict::kValid, Verdict::kBroken},
                    SecondVerdictCase{"ValidThenSkipped", Verdict::kValid, Verdict::kSkipped},
                    SecondVerdictCase{"BrokenThenValid", Verdict::kBroken, Verdict::kValid},
                    SecondVerdictCase{"BrokenThenBroken", Verdict::kBroken, Verdict::kBroken},
                    SecondVerdictCase{"BrokenThenSkipped", Verdict::kBroken, Verdict::kSkipped},
                    SecondVerdictCase{"SkippedThenValid", Verdict::kSkipped, Verdict::kValid},
                    SecondVerdictCase{"SkippedThenBroken", Verdict::kSkipped, Verdict::kBroken},
                    SecondVerdictCase{"SkippedThenSkipped", Verdict::kSkipped, Verdict::kSkipped}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(LinkRegistry, OpenPagesAreOpenOnlyBetweenAddAndRemoveWhateverTheirVerdict) {
    AddOpenPage("http://site/");
    AddOpenPage("http://site/a.html");
    AddValidLink("http://site/a.html", 0, "");
    EXPECT_THROW(AddOpenPage("http://site/"), DuplicateKey);
    EXPECT_THROW(RemoveOpenPage("http://site/b.html"), MissingKey);
    EXPECT_TRUE(IsOpenPage("http://site/a.html"));
    RemoveOpenPage("http://site/a.html");
    EXPECT_FALSE(IsOpenPage("http://site/a.html"));
    EXPECT_TRUE(IsValidLink("http://site/a.html"));
    EXPECT_TRUE(IsOpenPage("http://site/"));
    RemoveOpenPage("http://site/");
    EXPECT_EQ(OpenPages().Count(), 0);
}

TEST_F(LinkRegistry, ReportListsBrokenThenSkippedThenValidEachInRecordingOrder) {
    AddValidLink("http://site/a.gif", 2, "http://site/");
    AddBrokenLink("http://site/missing.html", 60, "http://site/");
    AddSkippedLink("http://other/", "http://site/");
    AddBrokenLink("http://site/gone.png", -3, "http://site/a.html");
    AddSkippedLink("mailto:me@site", "http://site/a.html");
    AddValidLink("http://site/", -58, "");
    EXPECT_EQ(Report(), std::string(kHeader) +
                            "\"broken\",60,\"http://site/missing.html\",\"http://site/\"\r\n"
                            "\"broken\",-3,\"http://site/gone.png\",\"http://site/a.html\"\r\n"
                            "\"skipped\",0,\"http://other/\",\"http://site/\"\r\n"
                            "\"skipped\",0,\"mailto:me@site\",\"http://site/a.html\"\r\n"
                            "\"valid\",2,\"http://site/a.gif\",\"http://site/\"\r\n"
                            "\"valid\",-58,\"http://site/\",\"\"\r\n");
}

TEST_F(LinkRegistry, QuotesInUrlAndReferrerAreDoubledSoNoRecordCanBeForged) {
    AddBrokenLink("http://site/a\"b.html", 1, "http://site/\",0,\"forged\r\n\"valid");
    EXPECT_EQ(Report(),
              std::string(kHeader) +
                  "\"broken\",1,\"http://site/a\"\"b.html\",\"http://site/\"\",0,\"\"forged\r\n"
                  "\"\"valid\"\r\n");
}

// The one case beyond a 16-bit count: registry, report writer and counts all take int.
TEST_F(LinkRegistry, ReportsMoreVerdictsThanASixteenBitCount) {
    constexpr int kLinks = 32768;
    for (int i = 0; i < kLinks; ++i) {
        AddValidLink("http://site/" + std::to_string(i), i, "http://site/");
    }
    EXPECT_EQ(ValidLinks().Count(), kLinks);
    const std::string report = Report();
    std::size_t lines = 0;
    for (std::size_t at = report.find("\r\n"); at != std::string::npos;
         at = report.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, std::size_t{kLinks} + 1);
    EXPECT_TRUE(report.ends_with("\"valid\",32767,\"http://site/32767\",\"http://site/\"\r\n"));
}

}  // namespace
}  // namespace quill::LinkStatistics
