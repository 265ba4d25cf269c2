// The terminal front end: the window's controls on command-line values, the lists in the
// window's order, the results as printed, and the progress line.
#include "cli/terminal_front_end.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quill::cli {
namespace {

class TerminalFrontEndTest : public testing::Test {
  protected:
    TerminalFrontEndTest() : progress_(progressOut_, false, 80) {}

    TerminalFrontEnd Make() {
        return TerminalFrontEnd(options_, "http://site/dir/index.html", "http://site/", progress_);
    }

    CliOptions options_;
    std::ostringstream progressOut_;
    ProgressLine progress_;
};

TEST_F(TerminalFrontEndTest, TextBoxesDepthAndCaptionsHoldTheCommandLineValues) {
    options_.timeoutSeconds = 7;
    options_.maxDepth = 3;
    TerminalFrontEnd frontEnd = Make();
    EXPECT_EQ(frontEnd.Text(TextControl::txtStartURL), "http://site/dir/index.html");
    EXPECT_EQ(frontEnd.Text(TextControl::txtBaseURL), "http://site/");
    EXPECT_EQ(frontEnd.Text(TextControl::txtTmOut), "7");
    EXPECT_EQ(frontEnd.MaximumDepth(), 3);
    EXPECT_EQ(frontEnd.Caption(CaptionControl::btnStartStop), "Start");
    frontEnd.SetCaption(CaptionControl::btnStartStop, "Stop");
    EXPECT_EQ(frontEnd.Caption(CaptionControl::btnStartStop), "Stop");
}

TEST_F(TerminalFrontEndTest, EachCheckBoxFollowsItsOwnOption) {
    struct Row {
        bool CliOptions::*option;
        CheckControl box;
    };
    const Row rows[] = {
        {&CliOptions::external, CheckControl::chkExternal},
        {&CliOptions::images, CheckControl::chkImages},
        {&CliOptions::applets, CheckControl::chkApplets},
        {&CliOptions::scriptsAndStyles, CheckControl::chkJSStyle},
        {&CliOptions::links, CheckControl::chkLinks},
        {&CliOptions::frames, CheckControl::chkFrames},
        {&CliOptions::forms, CheckControl::chkForms},
    };
    for (const Row& off : rows) {
        options_ = CliOptions{};
        options_.*off.option = false;
        TerminalFrontEnd frontEnd = Make();
        for (const Row& row : rows) {
            EXPECT_EQ(frontEnd.Value(row.box), row.option != off.option);
        }
    }
}

TEST_F(TerminalFrontEndTest, ResultsUnderTheirCaptionsWithCounts) {
    TerminalFrontEnd frontEnd = Make();
    frontEnd.AddToList(ListControl::lstGoodLinks, "http://site/stale.html");
    frontEnd.ClearList(ListControl::lstGoodLinks);
    frontEnd.AddToList(ListControl::lstGoodLinks, "http://site/z.html");
    frontEnd.AddToList(ListControl::lstGoodLinks, "http://site/a.html");
    frontEnd.AddToList(ListControl::lstGoodLinks, "http://site/A.html");
    frontEnd.SetCaption(CaptionControl::lblNumSuccessfulLinks, "3");
    frontEnd.AddToList(ListControl::lstSkippedLinks, "https://x/ <- http://site/a.html");
    frontEnd.SetCaption(CaptionControl::lblNumSkippedLinks, "1");
    frontEnd.SetCaption(CaptionControl::lblNumBrokenLinks, "0");
    std::ostringstream out;
    WriteResults(out, frontEnd, 4, "site.log");
    EXPECT_EQ(out.str(),
              "Successful Links: 3\n"
              "  http://site/A.html\n"
              "  http://site/a.html\n"
              "  http://site/z.html\n"
              "\n"
              "Skipped Links: 1\n"
              "  https://x/ <- http://site/a.html\n"
              "\n"
              "Broken Links: 0\n"
              "\n"
              "Advisories: 4\n"
              "Report: site.log\n");
}

TEST_F(TerminalFrontEndTest, NoReportLineWithoutAReport) {
    TerminalFrontEnd frontEnd = Make();
    std::ostringstream out;
    WriteResults(out, frontEnd, 0, "");
    EXPECT_EQ(out.str(),
              "Successful Links: 0\n\nSkipped Links: 0\n\nBroken Links: 0\n\nAdvisories: 0\n");
}

struct FormatCase {
    const char* name;
    std::string url;
    const char* depth;
    int width;
    std::string line;
};

class ProgressLineFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(ProgressLineFormat, Is) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(ProgressLine::Format(c.url, c.depth, c.depth[0] ? "10" : "", c.depth[0] ? "3" : "",
                                   c.depth[0] ? "1" : "", c.width),
              c.line);
}

const std::string kLongUrl = "http://site/" + std::string(100, 'x') + "/end.html";

INSTANTIATE_TEST_SUITE_P(
    Terminal, ProgressLineFormat,
    testing::Values(FormatCase{"DepthCountsAndUrl", "http://site/a.html", "2", 80,
                               "depth 2 | 10 successful, 3 skipped, 1 broken | http://site/a.html"},
                    FormatCase{"EmptyLabelsReadZero", "", "", 80,
                               "depth 0 | 0 successful, 0 skipped, 0 broken"},
                    FormatCase{"LongUrlLosesItsBeginning", kLongUrl, "1", 60,
                               "depth 1 | 10 successful, 3 skipped, 1 broken | .../end.html"},
                    FormatCase{"NarrowTerminalGetsTheCutCounts", "http://site/a.html", "1", 12,
                               "depth 1 | 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressLineOutput, RewritesInPlaceAndClearsAtTheEnd) {
    std::ostringstream out;
    ProgressLine progress(out, true, 80);
    progress.Show("http://s/a", "1", "0", "0", "0");
    progress.Show("http://s/b", "1", "1", "0", "0");
    progress.Clear();
    EXPECT_EQ(out.str(),
              "\rdepth 1 | 0 successful, 0 skipped, 0 broken | http://s/a\x1b[K"
              "\rdepth 1 | 1 successful, 0 skipped, 0 broken | http://s/b\x1b[K"
              "\r\x1b[K");
}

TEST(ProgressLineOutput, AnnouncementGoesAboveTheLineWhichIsRedrawn) {
    std::ostringstream out;
    ProgressLine progress(out, true, 80);
    progress.Show("http://s/a", "1", "0", "0", "0");
    out.str("");
    progress.Announce("stopping");
    EXPECT_EQ(out.str(),
              "\r\x1b[Kstopping\n\rdepth 1 | 0 successful, 0 skipped, 0 broken | http://s/a\x1b[K");
}

TEST(ProgressLineOutput, NotATerminalShowsNoLineAndAnnouncesPlainly) {
    std::ostringstream out;
    ProgressLine progress(out, false, 80);
    progress.Show("http://s/a", "1", "0", "0", "0");
    progress.Clear();
    progress.Announce("stopping");
    EXPECT_EQ(out.str(), "stopping\n");
}

TEST(ProgressLineOutput, FrontEndShowsEveryCountAndUrlChange) {
    std::ostringstream out;
    ProgressLine progress(out, true, 200);
    CliOptions options;
    TerminalFrontEnd frontEnd(options, "http://s/", "http://s/", progress);
    frontEnd.SetCaption(CaptionControl::lblDocHref, "http://s/a");
    frontEnd.SetCaption(CaptionControl::lblNumBrokenLinks, "1");
    frontEnd.SetCaption(CaptionControl::btnStartStop, "Stop");  // not part of the line
    EXPECT_EQ(out.str(),
              "\rdepth 0 | 0 successful, 0 skipped, 0 broken | http://s/a\x1b[K"
              "\rdepth 0 | 0 successful, 0 skipped, 1 broken | http://s/a\x1b[K");
}

}  // namespace
}  // namespace quill::cli

#include "cli/exit_status.h"

namespace quill::cli {
namespace {

TEST(ExitStatus, MostPressingOutcomeWins) {
    struct Row {
        RunOutcome outcome;
        int status;
    };
    const Row rows[] = {
        {{false, false, false, 0}, 0},  {{false, false, false, 3}, 1},
        {{false, false, true, 0}, 4},   {{false, false, true, 2}, 4},
        {{false, true, false, 1}, 130}, {{false, true, true, 1}, 130},
        {{true, false, false, 0}, 3},   {{true, true, true, 5}, 3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ExitStatusFor(row.outcome), row.status)
            << row.outcome.reportFailed << row.outcome.stoppedByCtrlC << row.outcome.runFailed
            << row.outcome.brokenCount;
    }
}

}  // namespace
}  // namespace quill::cli
