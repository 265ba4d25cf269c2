// quillorbane-cli on the sample site in examples/site, given as a directory: every kind of check
// the site is made to show, with its exact lists, counts, exit status and report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "cli/cli_process.h"
#include "platform/start_location.h"

#ifndef QUILL_SAMPLE_SITE
#error "QUILL_SAMPLE_SITE must name examples/site"
#endif

namespace quill::cli {
namespace {

namespace fs = std::filesystem;

// {site} stands for the file: URL of the sample site's folder.
const char* const kExpectedLists = R"(Successful Links: 28
  {site}about.html
  {site}about.html#founders
  {site}about.html#history
  {site}about.html#meeting-place
  {site}calendar.html
  {site}calendar.html#spring
  {site}calendar.html#summer
  {site}css/site.css
  {site}downloads/hive-plans.zip
  {site}gallery.html
  {site}hives/../css/site.css
  {site}hives/meadow.html
  {site}hives/orchard.html
  {site}honey-list.html
  {site}honey-list.html#apple
  {site}honey-list.html#clover
  {site}honey-list.html#heather
  {site}honey-menu.html
  {site}honey.html
  {site}images/bee.gif
  {site}images/comb.png
  {site}images/logo.png
  {site}images/map.gif
  {site}index.html
  {site}join.html
  {site}js/site.js
  {site}map.html
  {site}thanks.html

Skipped Links: 2
  mailto:hello@thistledown.example <- {site}index.html
  tel:+441632960418 <- {site}index.html

Broken Links: 5
  {site}calendar.html#harvest-fair <- {site}calendar.html
  {site}css/print.css <- {site}calendar.html
  {site}hives/winter.html <- {site}hives/orchard.html
  {site}images/queen.png <- {site}gallery.html
  http://county-beekeepers.localhost/ <- {site}index.html

Advisories: 23
)";

// The report with its CR LF line ends shown as plain line ends and its load times as #.
const char* const kExpectedReport = R"("link status","time to load","link href","referer"
"broken",#,"{site}css/print.css","{site}calendar.html"
"broken",#,"{site}images/queen.png","{site}gallery.html"
"broken",#,"{site}hives/winter.html","{site}hives/orchard.html"
"broken",#,"{site}calendar.html#harvest-fair","{site}calendar.html"
"broken",#,"http://county-beekeepers.localhost/","{site}index.html"
"skipped",#,"mailto:hello@thistledown.example","{site}index.html"
"skipped",#,"tel:+441632960418","{site}index.html"
"valid",#,"{site}images/logo.png","{site}index.html"
"valid",#,"{site}js/site.js","{site}index.html"
"valid",#,"{site}css/site.css","{site}index.html"
"valid",#,"{site}images/comb.png","{site}gallery.html"
"valid",#,"{site}images/bee.gif","{site}gallery.html"
"valid",#,"{site}honey-list.html#clover","{site}honey-menu.html"
"valid",#,"{site}honey-list.html#apple","{site}honey-menu.html"
"valid",#,"{site}honey-list.html#heather","{site}honey-menu.html"
"valid",#,"{site}honey-menu.html","{site}honey.html"
"valid",#,"{site}downloads/hive-plans.zip","{site}join.html"
"valid",#,"{site}thanks.html","{site}join.html"
"valid",#,"{site}join.html","{site}honey-list.html"
"valid",#,"{site}honey-list.html","{site}honey.html"
"valid",#,"{site}honey.html","{site}gallery.html"
"valid",#,"{site}hives/../css/site.css","{site}hives/meadow.html"
"valid",#,"{site}hives/orchard.html","{site}hives/meadow.html"
"valid",#,"{site}hives/meadow.html","{site}gallery.html"
"valid",#,"{site}gallery.html","{site}calendar.html"
"valid",#,"{site}calendar.html#spring","{site}calendar.html"
"valid",#,"{site}calendar.html#summer","{site}calendar.html"
"valid",#,"{site}calendar.html","{site}about.html"
"valid",#,"{site}about.html#history","{site}about.html"
"valid",#,"{site}about.html#founders","{site}about.html"
"valid",#,"{site}about.html#meeting-place","{site}about.html"
"valid",#,"{site}images/map.gif","{site}map.html"
"valid",#,"{site}map.html","{site}about.html"
"valid",#,"{site}about.html","{site}index.html"
"valid",#,"{site}index.html",""
"link status","warning message","link href","referer"
"warning","Defining size for images helps in faster page rendering. ","Image {site}images/comb.png","{site}gallery.html"
"warning","Image does not have an alt attribute. ","Image {site}images/bee.gif","{site}gallery.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}honey-list.html#clover","{site}honey-menu.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}honey-list.html#apple","{site}honey-menu.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}honey-list.html#heather","{site}honey-menu.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}downloads/hive-plans.zip","{site}join.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}join.html","{site}honey-list.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}honey.html","{site}gallery.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}hives/winter.html","{site}hives/orchard.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}hives/orchard.html","{site}hives/meadow.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}hives/meadow.html","{site}gallery.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}gallery.html","{site}calendar.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}calendar.html#spring","{site}calendar.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}calendar.html#summer","{site}calendar.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}calendar.html#harvest-fair","{site}calendar.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}calendar.html","{site}about.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}about.html#history","{site}about.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}about.html#founders","{site}about.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}about.html#meeting-place","{site}about.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor {site}about.html","{site}index.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor http://county-beekeepers.localhost/","{site}index.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor mailto:hello@thistledown.example","{site}index.html"
"warning","ALT tag in anchor gives baloon help in IE. ","Anchor tel:+441632960418","{site}index.html"
)";

std::string Expand(std::string text, const std::string& site) {
    for (std::size_t at = text.find("{site}"); at != std::string::npos;
         at = text.find("{site}", at + site.size())) {
        text.replace(at, 6, site);
    }
    return text;
}

TEST(SampleSite, ListsCountsExitStatusAndReport) {
    const fs::path report =
        fs::temp_directory_path() / ("quill-sample-" + std::to_string(::getpid()) + ".log");
    const testing_support::CliResult run =
        testing_support::RunCli({"--report", report.string(), QUILL_SAMPLE_SITE});
    const std::string site =
        FileUrlFromAbsolutePath(fs::path(QUILL_SAMPLE_SITE).lexically_normal().string() + "/").url;

    // The site has broken links on purpose.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Expand(kExpectedLists, site) + "Report: " + report.string() + "\n");

    std::string records = testing_support::ReadFile(report.string());
    fs::remove(report);
    EXPECT_EQ(records.find("\r\n"), records.find('\n') - 1) << "CR LF line ends";
    records = testing_support::MaskLoadTimes(records);
    for (std::size_t at = records.find("\r\n"); at != std::string::npos;
         at = records.find("\r\n", at)) {
        records.erase(at, 1);
    }
    EXPECT_EQ(records, Expand(kExpectedReport, site));
}

}  // namespace
}  // namespace quill::cli
