// Small web sites for two loopback servers and the disk, each with the report a crawl of it must
// write: every verdict with its referrer, in order. Addresses are written with {A} and {B} for the
// servers' origins and {F} for a directory's file: URL; a report's load times are written T. Every
// site is crawled with the look-ahead off and on.
#pragma once

#include <string>
#include <vector>

#include "crawl/crawl_front_end.h"

namespace quill::test_support {

struct SiteFile {
    std::string url;   // "{A}/s/index.html"
    std::string type;  // the Content-Type; "" for an HTML page, "redirect" to the URL in body
    std::string body;
};

struct SiteCase {
    const char* name;
    std::vector<SiteFile> files;
    std::string start;                   // the start URL; the base URL is up to its last "/"
    bool external;                       // "External Links (one level)"
    int maximumDepth;                    // 0: no limit
    std::vector<CheckControl> unticked;  // the other boxes of "Items to check" are ticked
    std::vector<std::string> report;     // the report's lines after its heading
};

// clang-format off
    // Every kind of element, fragments here and on other pages (one of them walked before), a
    // frameset with a cycle, an excluded archive and a text file that are never walked, and a
    // partner site checked one level.
inline const std::vector<SiteFile> kMixedSite = {
     {"{A}/m/index.html", "",
       "<html><head><title>Mixed</title><link rel=\"stylesheet\" href=\"site.css\">"
       "<script src=\"app.js\"></script><script>var inline = 1;</script></head><body>"
       "<a name=\"top\"></a><img src=\"logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
       "<img src=\"missing.png\"><a href=\"a.html\">A</a>"
       "<a href=\"frames.html\" alt=\"x\">Frames</a><a href=\"nothing.html\" alt=\"x\">Missing</a>"
       "<a href=\"archive.zip\" alt=\"x\">Archive</a><a href=\"notes.txt\" alt=\"x\">Notes</a>"
       "<a href=\"#top\" alt=\"x\">Top</a><a href=\"#\" alt=\"x\">Top</a>"
       "<a href=\"#nowhere\" alt=\"x\">Nowhere</a><a href=\"#Top\" alt=\"x\">Case</a>"
       "<a href=\"a.html#para\" alt=\"x\">Para</a>"
       "<a href=\"a.html#PARA\" alt=\"x\">Case</a><a href=\"sub\" alt=\"x\">Sub</a>"
       "<applet code=\"A.class\" codebase=\"cls/\" archive=\"lib/a.jar\"></applet>"
       "<applet code=\"B.class\" codebase=\"cls/\"></applet>"
       "<a href=\"a.html#none\" alt=\"x\">None</a><a href=\"{B}/ext.html\" alt=\"x\">Partner</a>"
       "<a href=\"{B}/ext.html#intro\" alt=\"x\">Intro</a>"
       "<a href=\"{B}/ext.html#none\" alt=\"x\">None</a><a href=\"{B}/gone.html\" alt=\"x\">Gone</a>"
       "<a href=\"mailto:webmaster@example.invalid\" alt=\"x\">Mail</a>"
       "<a href=\"ftp://example.invalid/f.txt\" alt=\"x\">File</a>"
       "<form action=\"search.cgi\"></form></body></html>"},
      {"{A}/m/a.html", "",
       "<h2 id=\"para\">A</h2><img src=\"logo.png\" alt=\"Logo\" width=\"10\" height=\"10\">"
       "<a href=\"nothing.html\" alt=\"x\">Missing</a><a href=\"index.html\" alt=\"x\">Home</a>"
       "<script src=\"local.js\"></script>"},
      {"{A}/m/frames.html", "",
       "<frameset cols=\"20%,80%\"><frame src=\"nav.html\"><frame src=\"body.html\">"
       "<frame src=\"gone-frame.html\"></frameset>"},
      {"{A}/m/nav.html", "",
       "<a id=\"menu\" href=\"frames.html\" alt=\"x\">Frames</a><a href=\"a.html\" alt=\"x\">A</a>"},
      {"{A}/m/body.html", "", "<img src=\"pic.png\" alt=\"\"><a href=\"nav.html#menu\" alt=\"x\">Menu</a>"},
      {"{A}/m/archive.zip", "text/html", "<a href=\"never.html\">never</a>"},
      {"{A}/m/notes.txt", "text/plain", "<a href=\"never.html\">never</a>"},
      {"{A}/m/site.css", "text/css", "body{}"},
      {"{A}/m/app.js", "text/javascript", "var app;"},
      {"{A}/m/logo.png", "image/png", "PNG-logo"},
      {"{A}/m/pic.png", "image/png", "PNG-pic"},
      {"{A}/m/search.cgi", "text/html", ""},
      {"{A}/m/sub", "redirect", "{A}/m/sub/"},
      {"{A}/m/sub/", "", "<a href=\"never.html\">never</a>"},
      {"{A}/m/cls/B.class", "application/java", "CAFE"},
      {"{B}/ext.html", "",
       "<p id=\"intro\">Welcome</p><a href=\"/deeper.html\">Deeper</a>"}};

inline const std::vector<SiteCase> kSites = {
    {"SmallSiteWithoutExternalLinks",
     {{"{A}/s/index.html", "",
       "<title>Small</title><img src=\"logo.png\" alt=\"Logo\" width=\"2\" height=\"2\">"
       "<a href=\"about.html\" alt=\"x\">About</a><a href=\"gone.html\" alt=\"x\">Gone</a>"
       "<a href=\"/elsewhere.html\" alt=\"x\">Elsewhere</a>"},
      {"{A}/s/about.html", "",
       "<a href=\"index.html\" alt=\"x\">Home</a>"
       "<img src=\"broken.png\" alt=\"b\" width=\"1\" height=\"1\">"},
      {"{A}/s/logo.png", "image/png", "PNG"}},
     "{A}/s/index.html", false, 0, {},
     {
      R"("broken",T,"{A}/s/broken.png","{A}/s/about.html")",
      R"("broken",T,"{A}/s/gone.html","{A}/s/index.html")",
      R"("skipped",0,"{A}/elsewhere.html","{A}/s/index.html")",
      R"("valid",T,"{A}/s/logo.png","{A}/s/index.html")",
      R"("valid",T,"{A}/s/about.html","{A}/s/index.html")",
      R"("valid",T,"{A}/s/index.html","")",
     }},
    {"RedirectedPageIsBrokenAndItsTargetUntouched",
     {{"{A}/r/index.html", "", "<a href=\"old.html\" alt=\"x\">Old</a>"},
      {"{A}/r/old.html", "redirect", "{A}/r/new.html"},
      {"{A}/r/new.html", "", "<a href=\"never.html\">never</a>"}},
     "{A}/r/index.html", true, 0, {},
     {
      R"("broken",T,"{A}/r/old.html","{A}/r/index.html")",
      R"("valid",T,"{A}/r/index.html","")",
     }},
    {"MissingStartPage", {}, "{A}/none/index.html", true, 0, {},
     {
      R"("broken",T,"{A}/none/index.html","")",
     }},
    {"DepthLimitOfOne",
     {{"{A}/d/index.html", "", "<a href=\"p1.html\">1</a>"},
      {"{A}/d/p1.html", "", "<a href=\"p2.html\">2</a>"},
      {"{A}/d/p2.html", "", "<a href=\"p3.html\">3</a>"}},
     "{A}/d/index.html", true, 1, {},
     {
      R"("valid",T,"{A}/d/p1.html","{A}/d/index.html")",
      R"("valid",T,"{A}/d/index.html","")",
      R"("link status","warning message","link href","referer")",
      R"("warning","ALT tag in anchor gives baloon help in IE. ","Anchor {A}/d/p1.html","{A}/d/index.html")",
     }},
    {"MixedSite", kMixedSite,
     "{A}/m/index.html", true, 0, {},
     {
      R"("broken",T,"{A}/m/missing.png","{A}/m/index.html")",
      R"("broken",T,"{A}/m/lib/a.jar","{A}/m/index.html")",
      R"("broken",T,"{A}/m/local.js","{A}/m/a.html")",
      R"("broken",T,"{A}/m/nothing.html","{A}/m/a.html")",
      R"("broken",T,"{A}/m/gone-frame.html","{A}/m/frames.html")",
      R"("broken",T,"{A}/m/index.html#nowhere","{A}/m/index.html")",
      R"("broken",T,"{A}/m/index.html#Top","{A}/m/index.html")",
      R"("broken",T,"{A}/m/a.html#PARA","{A}/m/index.html")",
      R"("broken",T,"{A}/m/sub","{A}/m/index.html")",
      R"("broken",T,"{A}/m/a.html#none","{A}/m/index.html")",
      R"("broken",T,"{B}/ext.html#none","{A}/m/index.html")",
      R"("broken",T,"{B}/gone.html","{A}/m/index.html")",
      R"("skipped",0,"mailto:webmaster@example.invalid","{A}/m/index.html")",
      R"("skipped",0,"ftp://example.invalid/f.txt","{A}/m/index.html")",
      R"("valid",T,"{A}/m/logo.png","{A}/m/index.html")",
      R"("valid",T,"{A}/m/cls/B.class","{A}/m/index.html")",
      R"("valid",T,"{A}/m/app.js","{A}/m/index.html")",
      R"("valid",T,"{A}/m/site.css","{A}/m/index.html")",
      R"("valid",T,"{A}/m/a.html","{A}/m/index.html")",
      R"("valid",T,"{A}/m/nav.html","{A}/m/frames.html")",
      R"("valid",T,"{A}/m/pic.png","{A}/m/body.html")",
      R"("valid",T,"{A}/m/nav.html#menu","{A}/m/body.html")",
      R"("valid",T,"{A}/m/body.html","{A}/m/frames.html")",
      R"("valid",T,"{A}/m/frames.html","{A}/m/index.html")",
      R"("valid",T,"{A}/m/archive.zip","{A}/m/index.html")",
      R"("valid",T,"{A}/m/notes.txt","{A}/m/index.html")",
      R"("valid",T,"{A}/m/index.html#top","{A}/m/index.html")",
      R"("valid",T,"{A}/m/index.html#","{A}/m/index.html")",
      R"("valid",T,"{A}/m/a.html#para","{A}/m/index.html")",
      R"("valid",T,"{B}/ext.html","{A}/m/index.html")",
      R"("valid",T,"{B}/ext.html#intro","{A}/m/index.html")",
      R"("valid",T,"{A}/m/search.cgi","{A}/m/index.html")",
      R"("valid",T,"{A}/m/index.html","")",
      R"("link status","warning message","link href","referer")",
      R"("warning","ALT tag in anchor gives baloon help in IE. ","Anchor {A}/m/a.html","{A}/m/index.html")",
      R"("warning","Image does not have an alt attribute. Defining size for images helps in faster page rendering. ","Image {A}/m/pic.png","{A}/m/body.html")",
     }},
    {"WithoutImagesFramesAndForms",
     {{"{A}/u/index.html", "",
       "<img src=\"gone.png\"><iframe src=\"gone-frame.html\"></iframe>"
       "<form action=\"gone.cgi\"></form><a href=\"a.html\" alt=\"x\">A</a>"},
      {"{A}/u/a.html", "", "<p>A</p>"}},
     "{A}/u/index.html", true, 0,
     {CheckControl::chkImages, CheckControl::chkFrames, CheckControl::chkForms},
     {
      R"("valid",T,"{A}/u/a.html","{A}/u/index.html")",
      R"("valid",T,"{A}/u/index.html","")",
     }},
    {"MixedSiteWithoutAppletsScriptsAndLinks", kMixedSite, "{A}/m/index.html", true, 0,
     {CheckControl::chkApplets, CheckControl::chkJSStyle, CheckControl::chkLinks},
     {
      R"("broken",T,"{A}/m/missing.png","{A}/m/index.html")",
      R"("valid",T,"{A}/m/logo.png","{A}/m/index.html")",
      R"("valid",T,"{A}/m/search.cgi","{A}/m/index.html")",
      R"("valid",T,"{A}/m/index.html","")",
     }},
    {"SiteOnDisk",
     {{"{F}/index.html", "", "<a href=\"page.html\">p</a><a href=\"none.html\">n</a>"},
      {"{F}/page.html", "", "<img src=\"pic.png\" alt=\"p\" width=1 height=1>"},
      {"{F}/pic.png", "", "PNG"}},
     "{F}/index.html", true, 0, {},
     {
      R"("broken",T,"{F}/none.html","{F}/index.html")",
      R"("valid",T,"{F}/pic.png","{F}/page.html")",
      R"("valid",T,"{F}/page.html","{F}/index.html")",
      R"("valid",T,"{F}/index.html","")",
      R"("link status","warning message","link href","referer")",
      R"("warning","ALT tag in anchor gives baloon help in IE. ","Anchor {F}/page.html","{F}/index.html")",
      R"("warning","ALT tag in anchor gives baloon help in IE. ","Anchor {F}/none.html","{F}/index.html")",
     }},
    // The disk is read only in a run from a file: URL.
    {"DiskClosedToAWebRun",
     {{"{A}/w/index.html", "", "<a href=\"{F}/index.html\">disk</a>"},
      {"{F}/index.html", "", "<p>on disk</p>"}},
     "{A}/w/index.html", true, 0, {},
     {
      R"("broken",T,"{F}/index.html","{A}/w/index.html")",
      R"("valid",T,"{A}/w/index.html","")",
      R"("link status","warning message","link href","referer")",
      R"("warning","ALT tag in anchor gives baloon help in IE. ","Anchor {F}/index.html","{A}/w/index.html")",
     }},
};
// clang-format on

}  // namespace quill::test_support
