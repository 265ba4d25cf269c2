// The link registry: verdicts under exact keys, refusals that leave every record as it was, the
// open pages of the recursion, the byte-exact link section of the report, and the reasons and
// further referrers kept beside it.
#include "registry/link_statistics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quill::LinkStatistics {
namespace {

using testing::ElementsAre;

const char* const kHeader = "\"link status\",\"time to load\",\"link href\",\"referer\"\r\n";

std::vector<std::string> OpenKeys() {
    std::vector<std::string> keys;
    for (const auto& entry : OpenPages()) {
        keys.emplace_back(entry.key);
    }
    return keys;
}

std::string Report() {
    std::ostringstream file;
    WriteLinkReport(file);
    return file.str();
}

TEST(LinkRegistry, AnswersOnlyUnderTheExactTextUntilReset) {
    ResetLinkStatistics();
    AddValidLink("http://site/valid", 1, "", "200 OK");
    AddBrokenLink("http://site/broken", 1, "", "404 Not Found");
    AddSkippedLink("http://site/skipped", "");
    AddOpenPage("http://site/open");
    EXPECT_TRUE(IsValidLink("http://site/valid") && IsBrokenLink("http://site/broken") &&
                IsSkippedLink("http://site/skipped") && IsOpenPage("http://site/open"));
    EXPECT_FALSE(IsBrokenLink("http://site/valid") || IsSkippedLink("http://site/broken") ||
                 IsValidLink("http://site/skipped") || IsValidLink("http://site/VALID") ||
                 IsValidLink("http://site/valid/") || IsValidLink("http://site/valid#a"));
    EXPECT_EQ(ReasonOf("http://site/broken"), "404 Not Found");
    EXPECT_THROW(AddOpenPage("http://site/open"), DuplicateKey);
    EXPECT_THROW(RemoveOpenPage("http://site/valid"), MissingKey);
    ResetLinkStatistics();
    EXPECT_FALSE(IsValidLink("http://site/valid") || IsBrokenLink("http://site/broken") ||
                 IsSkippedLink("http://site/skipped") || IsOpenPage("http://site/open"));
    EXPECT_EQ(ReasonOf("http://site/broken"), "");
    EXPECT_EQ(Report(), kHeader);
}

// The report is as it always was whatever the side records hold: broken, skipped, valid, each in
// recording order, quotes doubled so no record can be forged. A second verdict for a URL, of any
// kind, is refused before any record is written. Referrers: every page once, in walk order, the
// registered one first, also pages that met the URL while it was open.
TEST(LinkRegistry, ReportIsByteExactAndSecondVerdictsAreRefusedWhole) {
    ResetLinkStatistics();
    AddValidLink("http://site/a.gif", 2, "http://site/", "200 OK");
    AddOpenPage("http://site/missing.html");
    AddFurtherReferrer("http://site/missing.html", "http://site/c.html");
    AddBrokenLink("http://site/missing.html", 60, "http://site/", "404 Not Found");
    AddSkippedLink("http://other/", "http://site/", "outside the base URL");
    for (const char* page : {"http://site/", "http://site/d.html", "http://site/c.html"}) {
        AddFurtherReferrer("http://site/missing.html", page);
    }
    AddBrokenLink("http://site/a\"b.png", -3, "http://site/\",0,\"forged", "no response");
    AddValidLink("http://site/", -58, "", "200 OK");
    EXPECT_THROW(AddValidLink("http://other/", 4, "http://site/b.html", "second"), DuplicateKey);
    EXPECT_THROW(AddBrokenLink("http://other/", 4, "http://site/b.html", "second"), DuplicateKey);
    EXPECT_THROW(AddSkippedLink("http://site/a.gif", "http://site/b.html", "second"), DuplicateKey);
    EXPECT_EQ(Report(), std::string(kHeader) +
                            "\"broken\",60,\"http://site/missing.html\",\"http://site/\"\r\n"
                            "\"broken\",-3,\"http://site/a\"\"b.png\",\"http://site/\"\",0,\"\""
                            "forged\"\r\n"
                            "\"skipped\",0,\"http://other/\",\"http://site/\"\r\n"
                            "\"valid\",2,\"http://site/a.gif\",\"http://site/\"\r\n"
                            "\"valid\",-58,\"http://site/\",\"\"\r\n");
    EXPECT_FALSE(IsValidLink("http://other/") || IsBrokenLink("http://other/"));
    EXPECT_EQ(ReasonOf("http://other/"), "outside the base URL");
    EXPECT_THAT(ReferrersOf("http://other/"), ElementsAre("http://site/"));
    EXPECT_THAT(ReferrersOf("http://site/missing.html"),
                ElementsAre("http://site/", "http://site/c.html", "http://site/d.html"));
    AddFurtherReferrer("http://site/open-only.html", "http://site/a.html");
    EXPECT_THAT(ReferrersOf("http://site/open-only.html"), ElementsAre());
}

// Removing an open page in the middle keeps the others findable, in order, however often pages
// leave and come back.
TEST(LinkRegistry, OpenPagesLeaveFromAnywhereInTheirOrder) {
    ResetLinkStatistics();
    for (const char* page : {"http://site/a", "http://site/b", "http://site/c", "http://site/d"}) {
        AddOpenPage(page);
    }
    RemoveOpenPage("http://site/b");
    AddOpenPage("http://site/b");
    RemoveOpenPage("http://site/c");
    EXPECT_THAT(OpenKeys(), ElementsAre("http://site/a", "http://site/d", "http://site/b"));
    RemoveOpenPage("http://site/d");
    EXPECT_TRUE(IsOpenPage("http://site/b") && !IsOpenPage("http://site/c"));
    EXPECT_THROW(RemoveOpenPage("http://site/d"), MissingKey);
    EXPECT_THAT(OpenKeys(), ElementsAre("http://site/a", "http://site/b"));
}

// A new run owes nothing to the last one, though its URLs come in the places of the last run's:
// no verdict, open page, details or referral carries over.
TEST(LinkRegistry, NothingOfARunCarriesOverToTheNext) {
    ResetLinkStatistics();
    AddOpenPage("http://site/old");
    AddValidLink("http://site/old.gif", 1, "http://site/old", "200 OK");
    SetVerdictDetails("http://site/old.gif", {200, 5, "image"});
    AddFurtherReferrer("http://site/old.gif", "http://site/p");
    ResetLinkStatistics();
    AddOpenPage("http://site/new");
    AddFurtherReferrer("http://site/new.gif", "http://site/p");
    AddBrokenLink("http://site/new.gif", 3, "http://site/new", "404 Not Found");
    EXPECT_FALSE(IsValidLink("http://site/new.gif") || IsOpenPage("http://site/old"));
    EXPECT_EQ(DetailsOf("http://site/new.gif").kind, "");
    EXPECT_THAT(ReferrersOf("http://site/new.gif"),
                ElementsAre("http://site/new", "http://site/p"));
}

// Texts stay where they were put, long or short, while many more come after them.
TEST(LinkRegistry, KeepsEveryTextOfABigRun) {
    ResetLinkStatistics();
    const std::string padding(200, 'x');
    const std::string longPage = "http://site/" + std::string(10000, 'y');
    const auto page = [&](int i) { return "http://site/" + std::to_string(i / 7) + padding; };
    for (int i = 0; i < 3000; ++i) {
        AddValidLink(page(i) + std::to_string(i), i, page(i));
        AddFurtherReferrer(page(i) + std::to_string(i), i == 0 ? longPage : "http://site/");
    }
    EXPECT_THAT(ReferrersOf(page(0) + "0"), ElementsAre(page(0), longPage));
    EXPECT_THAT(ReferrersOf(page(2999) + "2999"), ElementsAre(page(2999), "http://site/"));
    EXPECT_EQ(ValidLinks().At(page(1500) + "1500"), 1500);
}

}  // namespace
}  // namespace quill::LinkStatistics
