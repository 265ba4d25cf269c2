// The terminal front end: the window's check boxes on command-line options, control characters
// escaped, and the progress line. (The printed lists and exit statuses: cli_end_to_end_test.)
#include "cli/terminal_front_end.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/printable.h"

namespace quill::cli {
namespace {

TEST(TerminalFrontEnd, EachCheckBoxFollowsItsOwnOption) {
    struct Row {
        bool CliOptions::*option;
        CheckControl box;
    };
    const Row rows[] = {{&CliOptions::external, CheckControl::chkExternal},
                        {&CliOptions::images, CheckControl::chkImages},
                        {&CliOptions::applets, CheckControl::chkApplets},
                        {&CliOptions::scriptsAndStyles, CheckControl::chkJSStyle},
                        {&CliOptions::links, CheckControl::chkLinks},
                        {&CliOptions::frames, CheckControl::chkFrames},
                        {&CliOptions::forms, CheckControl::chkForms}};
    std::ostringstream out;
    ProgressLine progress(out, false, 80);
    for (const Row& off : rows) {
        CliOptions options;
        options.*off.option = false;
        TerminalFrontEnd frontEnd(options, "http://s/", "http://s/", progress);
        for (const Row& row : rows) {
            EXPECT_EQ(frontEnd.Value(row.box), row.option != off.option);
        }
    }
}

TEST(Printable, EscapesEveryControlCharacterAndNothingElse) {
    EXPECT_EQ(Printable(std::string("a\r\nb\x1b[2J\t\x7f\0z", 12)), "a%0D%0Ab%1B[2J%09%7F%00z");
    EXPECT_EQ(Printable("http://site/caf\xc3\xa9 %41 <- ok"), "http://site/caf\xc3\xa9 %41 <- ok");
}

// Cut to width - 1 columns: a long URL loses its beginning, a narrow terminal the counts' end.
TEST(ProgressLine, FormatFitsTheTerminal) {
    EXPECT_EQ(ProgressLine::Format("http://site/" + std::string(100, 'x') + "/end.html", "1", "10",
                                   "3", "1", 60),
              "depth 1 | 10 successful, 3 skipped, 1 broken | .../end.html");
    EXPECT_EQ(ProgressLine::Format("http://site/a.html", "", "", "", "", 80),
              "depth 0 | 0 successful, 0 skipped, 0 broken | http://site/a.html");
    EXPECT_EQ(ProgressLine::Format("http://site/a.html", "1", "10", "3", "1", 12), "depth 1 | 1");
}

TEST(ProgressLineOutput, RewritesInPlaceEscapedAnnouncesAboveAndClears) {
    std::ostringstream out;
    ProgressLine progress(out, true, 80);
    CliOptions options;
    TerminalFrontEnd frontEnd(options, "http://s/", "http://s/", progress);
    frontEnd.SetCaption(CaptionControl::lblDocHref, "http://s/a\x1b[2J");
    frontEnd.SetCaption(CaptionControl::lblNumBrokenLinks, "1");
    frontEnd.SetCaption(CaptionControl::btnStartStop, "Stop");  // not part of the line
    progress.Announce("stopping");
    progress.Clear();
    const std::string line =
        "\rdepth 0 | 0 successful, 0 skipped, 1 broken | http://s/a%1B[2J\x1b[K";
    EXPECT_EQ(out.str(), "\rdepth 0 | 0 successful, 0 skipped, 0 broken | http://s/a%1B[2J\x1b[K" +
                             line + "\r\x1b[Kstopping\n" + line + "\r\x1b[K");
}

}  // namespace
}  // namespace quill::cli
