// The link registry: verdicts under exact keys, refusals that leave every map as it was, the open
// pages of the recursion, the byte-exact link section of the report, and the reasons and further
// referrers kept beside it.
#include "registry/link_statistics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quill::LinkStatistics {
namespace {

using testing::ElementsAre;

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

TEST_F(LinkRegistry, AnswersOnlyUnderTheExactTextUntilReset) {
    AddValidLink("http://site/valid", 1, "", "200 OK");
    AddBrokenLink("http://site/broken", 1, "", "404 Not Found");
    AddSkippedLink("http://site/skipped", "");
    AddOpenPage("http://site/open");
    EXPECT_TRUE(IsValidLink("http://site/valid") && IsBrokenLink("http://site/broken") &&
                IsSkippedLink("http://site/skipped") && IsOpenPage("http://site/open"));
    EXPECT_EQ(ReasonOf("http://site/broken"), "404 Not Found");
    EXPECT_EQ(ReasonOf("http://site/skipped"), "");
    EXPECT_THROW(AddOpenPage("http://site/open"), DuplicateKey);
    EXPECT_THROW(RemoveOpenPage("http://site/valid"), MissingKey);
    EXPECT_FALSE(IsBrokenLink("http://site/valid") || IsSkippedLink("http://site/broken") ||
                 IsValidLink("http://site/skipped"));
    for (const char* other : {"http://site/VALID", "http://site/valid/", "http://site/valid#a"}) {
        EXPECT_FALSE(IsValidLink(other)) << other;
    }
    ResetLinkStatistics();
    EXPECT_FALSE(IsValidLink("http://site/valid") || IsBrokenLink("http://site/broken") ||
                 IsSkippedLink("http://site/skipped") || IsOpenPage("http://site/open"));
    EXPECT_EQ(ReasonOf("http://site/broken"), "");
    EXPECT_EQ(Report(), kHeader);
}

// A second verdict for a URL, of any kind, is refused before any map or side record is written.
TEST_F(LinkRegistry, SecondVerdictIsRefusedWhole) {
    const std::string url = "http://site/x.html";
    AddSkippedLink(url, "http://site/", "first");
    const std::string report = Report();
    EXPECT_THROW(AddValidLink(url, 4, "http://site/b.html", "second"), DuplicateKey);
    EXPECT_THROW(AddBrokenLink(url, 4, "http://site/b.html", "second"), DuplicateKey);
    EXPECT_FALSE(IsValidLink(url) || IsBrokenLink(url));
    EXPECT_EQ(Report(), report);
    EXPECT_EQ(ReasonOf(url), "first");
    EXPECT_THAT(ReferrersOf(url), ElementsAre("http://site/"));
}

// The reasons and further referrers stay out of the report, which is as it always was: broken,
// skipped, valid, each in recording order, quotes doubled so no record can be forged.
TEST_F(LinkRegistry, ReportIsByteExactWhateverTheSideRecordsHold) {
    AddValidLink("http://site/a.gif", 2, "http://site/", "200 OK");
    AddBrokenLink("http://site/missing.html", 60, "http://site/", "404 Not Found");
    AddSkippedLink("http://other/", "http://site/", "outside the base URL");
    AddFurtherReferrer("http://site/missing.html", "http://site/a.html");
    AddBrokenLink("http://site/a\"b.png", -3, "http://site/\",0,\"forged", "no response");
    AddValidLink("http://site/", -58, "", "200 OK");
    EXPECT_EQ(Report(), std::string(kHeader) +
                            "\"broken\",60,\"http://site/missing.html\",\"http://site/\"\r\n"
                            "\"broken\",-3,\"http://site/a\"\"b.png\",\"http://site/\"\",0,\"\""
                            "forged\"\r\n"
                            "\"skipped\",0,\"http://other/\",\"http://site/\"\r\n"
                            "\"valid\",2,\"http://site/a.gif\",\"http://site/\"\r\n"
                            "\"valid\",-58,\"http://site/\",\"\"\r\n");
}

// Every page that refers to a URL, once each, in walk order, the registered referrer first; also
// pages that met it while it was open, before its verdict.
TEST_F(LinkRegistry, ReferrersListEveryPageOnceFirstReferrerFirst) {
    AddOpenPage("http://site/b.html");
    AddFurtherReferrer("http://site/b.html", "http://site/c.html");
    AddBrokenLink("http://site/b.html", 0, "http://site/a.html", "404 Not Found");
    AddFurtherReferrer("http://site/b.html", "http://site/a.html");
    AddFurtherReferrer("http://site/b.html", "http://site/d.html");
    AddFurtherReferrer("http://site/b.html", "http://site/c.html");
    EXPECT_THAT(ReferrersOf("http://site/b.html"),
                ElementsAre("http://site/a.html", "http://site/c.html", "http://site/d.html"));
    AddFurtherReferrer("http://site/open-only.html", "http://site/a.html");
    EXPECT_THAT(ReferrersOf("http://site/open-only.html"), ElementsAre());
    ResetLinkStatistics();
    AddValidLink("http://site/b.html", 0, "");
    EXPECT_THAT(ReferrersOf("http://site/b.html"), ElementsAre(""));
}

}  // namespace
}  // namespace quill::LinkStatistics
