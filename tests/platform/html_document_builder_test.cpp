// The document model built from HTML text: each collection and property the crawl reads, URL
// resolution against the page and its <base>, outerHTML from the source, and hostile input.
#include "platform/html_document_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::platform {
namespace {

const std::string kPage = "http://site.example/dir/page.html";

Document Build(const std::string& html, const std::string& url = kPage) {
    return BuildHtmlDocument(html, url);
}

// ---------------------------------------------------------------------------------------------
// Title, url and html

TEST(DocumentBuilderTitle, IsTheFirstTitleWithBlanksCollapsed) {
    const Document document = Build(
        "<html><head><title>\n  Our   &amp; Their\tSite </title><title>second</title></head>"
        "<body><svg><title>drawing</title></svg></body></html>");
    EXPECT_EQ(document.title, "Our & Their Site");
}

TEST(DocumentBuilderTitle, IsEmptyWithoutTitleElementAndTheSourceIsKept) {
    const std::string html = "<svg><title>only in a drawing</title></svg>";
    const Document document = Build(html, "http://other.example/");
    EXPECT_EQ(document.title, "");
    EXPECT_EQ(document.html, html);
    EXPECT_EQ(document.url, "http://other.example/");
}

// ---------------------------------------------------------------------------------------------
// URL resolution, shared by images, links and frames

struct ResolutionCase {
    const char* name;
    const char* href;
    const char* expected;
};

class DocumentBuilderResolution : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(DocumentBuilderResolution, LinkHrefComesBackAbsolute) {
    const ResolutionCase& c = GetParam();
    const Document document = Build(std::string("<a href=\"") + c.href + "\">x</a>",
                                    "http://site.example/dir/page.html?q=1#top");
    ASSERT_EQ(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].href, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentBuilderResolution,
    ::testing::Values(
        ResolutionCase{"SameDirectory", "a.html", "http://site.example/dir/a.html"},
        ResolutionCase{"RootRelative", "/x/../y.html", "http://site.example/y.html"},
        ResolutionCase{"Absolute", "https://other.example/a?b=c", "https://other.example/a?b=c"},
        ResolutionCase{"QueryOnly", "?x=y", "http://site.example/dir/page.html?x=y"},
        ResolutionCase{"FragmentOnly", "#part", "http://site.example/dir/page.html?q=1#part"},
        ResolutionCase{"Empty", "", "http://site.example/dir/page.html?q=1"},
        ResolutionCase{"BlanksAndLineBreaks", "  a\n.ht\tml ", "http://site.example/dir/a.html"},
        ResolutionCase{"EntityInQuery", "b.html?x=1&amp;y=2",
                       "http://site.example/dir/b.html?x=1&y=2"},
        ResolutionCase{"SpaceEncoded", "my page.html", "http://site.example/dir/my%20page.html"},
        ResolutionCase{"NonAsciiEncoded", "caf\xC3\xA9.html",
                       "http://site.example/dir/caf%c3%a9.html"},
        ResolutionCase{"JavascriptAsWritten", "javascript:void(0)", "javascript:void(0)"},
        ResolutionCase{"BadIpv6AsWritten", "http://[::1/x", "http://[::1/x"}),
    [](const auto& info) { return info.param.name; });

TEST(DocumentBuilderResolution, NothingResolvesAgainstAnAddressWithoutBase) {
    const Document document = Build("<a href='a.html'>x</a><img src='i.png'>", "about:blank");
    EXPECT_EQ(document.links[0].href, "a.html");
    EXPECT_EQ(document.images[0].src, "i.png");
    EXPECT_EQ(ResolveUrl("not a url", "q.html"), "q.html");
}

// ---------------------------------------------------------------------------------------------
// <base href>

TEST(DocumentBuilderBase, RelativeBaseIsResolvedAgainstThePageAndUsedForAll) {
    const Document document = Build(
        "<head><base href='../assets/'></head><body><img src='i.png'><a href='a.html'>a</a>"
        "<iframe src='f.html'></iframe><applet code='A.class'></applet></body>");
    EXPECT_EQ(document.images[0].src, "http://site.example/assets/i.png");
    EXPECT_EQ(document.links[0].href, "http://site.example/assets/a.html");
    EXPECT_EQ(document.frames[0].locationHref, "http://site.example/assets/f.html");
    EXPECT_EQ(document.applets[0].BaseHref, "http://site.example/assets/");
}

TEST(DocumentBuilderBase, FirstUsableBaseWithHrefCountsEvenForElementsBeforeIt) {
    const struct {
        const char* name;
        const char* html;
        const char* expected;
    } rows[] = {
        {"FirstWithHref",
         "<base target='_top'><base href='http://one.example/'><base href='http://two.example/'>"
         "<a href='a.html'>a</a>",
         "http://one.example/a.html"},
        {"AfterTheLink", "<a href='a.html'>a</a><base href='http://b.example/x/'>",
         "http://b.example/x/a.html"},
        {"UnusableIgnored", "<base href='http://[broken/'><a href='a.html'>a</a>",
         "http://site.example/dir/a.html"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Build(row.html).links[0].href, row.expected) << row.name;
    }
}

TEST(DocumentBuilderBase, AppletBaseHrefIsThePageAddressWithoutFragment) {
    EXPECT_EQ(Build("<applet code='A.class'></applet>", kPage + "?q=1#a/b").applets[0].BaseHref,
              kPage + "?q=1");
    EXPECT_EQ(Build("<applet></applet>", "http://site.example").applets[0].BaseHref,
              "http://site.example/");
}

// ---------------------------------------------------------------------------------------------
// Images

TEST(DocumentBuilderImages, ReadSrcAltAndOuterHtmlInDocumentOrder) {
    const Document document = Build(
        "<p><IMG SRC=\"a.png\" ALT=\"First\" width=10></p>"
        "<img src='/b.gif' alt=''><image src='c.jpg'><svg><img src='d.png'></svg>");
    ASSERT_EQ(document.images.size(), 4u);
    EXPECT_EQ(document.images[0].src, "http://site.example/dir/a.png");
    EXPECT_EQ(document.images[0].alt, "First");
    EXPECT_EQ(document.images[0].outerHTML, "<IMG SRC=\"a.png\" ALT=\"First\" width=10>");
    EXPECT_EQ(document.images[1].alt, "");
    EXPECT_EQ(document.images[2].outerHTML, "<image src='c.jpg'>");
    // An <img> start tag ends the drawing and is an HTML image.
    EXPECT_EQ(document.images[3].src, "http://site.example/dir/d.png");
}

TEST(DocumentBuilderImages, AbsentSrcIsEmptyAndEmptySrcIsThePage) {
    const Document document = Build("<img alt=x><img src=''>", kPage + "#frag");
    EXPECT_EQ(document.images[0].src, "");
    EXPECT_EQ(document.images[1].src, kPage);
}

class FixedSize : public FileSizeSource {
  public:
    std::string FileSizeOf(const std::string& url) override { return "size of " + url; }
};

TEST(DocumentBuilderImages, EveryImageAsksTheGivenSizeSource) {
    auto sizes = std::make_shared<FixedSize>();
    const Document document = BuildHtmlDocument("<img src=a.png><img src=b.png>", kPage, sizes);
    EXPECT_EQ(document.images[0].fileSize(), "size of http://site.example/dir/a.png");
    EXPECT_EQ(document.images[1].fileSize(), "size of http://site.example/dir/b.png");
    EXPECT_EQ(Build("<img src=a.png>").images[0].fileSize(), "-1");
}

// ---------------------------------------------------------------------------------------------
// Links and anchors

TEST(DocumentBuilderLinks, AnchorsAndAreasWithHrefInDocumentOrder) {
    const Document document = Build(
        "<a name='top'>no href</a>"
        "<a href='one.html' name='n1'>One</a>"
        "<map name=m><area href='two.html#sec' alt=Two><area nohref></map>"
        "<A HREF='#local'>Local</A>");
    ASSERT_EQ(document.links.size(), 3u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/one.html");
    EXPECT_EQ(document.links[0].tagName, "A");
    EXPECT_EQ(document.links[0].name, "n1");
    EXPECT_EQ(document.links[1].href, "http://site.example/dir/two.html#sec");
    EXPECT_EQ(document.links[1].tagName, "AREA");
    EXPECT_EQ(document.links[1].hash, "#sec");
    EXPECT_EQ(document.links[1].outerHTML, "<area href='two.html#sec' alt=Two>");
    EXPECT_EQ(document.links[2].hash, "#local");
}

TEST(DocumentBuilderLinks, HashIsTheFragmentAsWrittenSoItMatchesAnchorNames) {
    const Document document = Build(
        "<a href='#caf\xC3\xA9 au lait'>x</a><a href='p.html#'>y</a><a href='mailto:a@b#c'>z</a>");
    EXPECT_EQ(document.links[0].hash, "#caf\xC3\xA9 au lait");
    EXPECT_EQ(document.links[1].hash, "");
    EXPECT_EQ(document.links[2].hash, "#c");
}

TEST(DocumentBuilderLinks, AnchorsAreTheNamedAElements) {
    const Document document = Build(
        "<a name='first'></a><a href='x.html' name='Second'>x</a><a id='not-a-name'></a>"
        "<area name='area-name' href='y.html'><a name=''></a>");
    ASSERT_EQ(document.anchors.size(), 3u);
    EXPECT_EQ(document.anchors[0].name, "first");
    EXPECT_EQ(document.anchors[1].name, "Second");
    EXPECT_EQ(document.anchors[2].name, "");
}

struct OuterHtmlCase {
    const char* name;
    const char* html;
    const char* expected;
};

class DocumentBuilderOuterHtml : public ::testing::TestWithParam<OuterHtmlCase> {};

TEST_P(DocumentBuilderOuterHtml, IsTheLinksOwnMarkupFromTheSource) {
    const OuterHtmlCase& c = GetParam();
    const Document document = Build(c.html);
    ASSERT_GE(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].outerHTML, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentBuilderOuterHtml,
    ::testing::Values(
        OuterHtmlCase{"StartToEndTag",
                      "<p>before <a href=\"x.html\" title=t>Go <b>there</b></a> after",
                      "<a href=\"x.html\" title=t>Go <b>there</b></a>"},
        OuterHtmlCase{"ImageInside", "<a href=x><img src=i.png alt=\"Pic\"></A>!",
                      "<a href=x><img src=i.png alt=\"Pic\"></A>"},
        OuterHtmlCase{"CutOffAtEndOfPage", "<a href=x>text to the end",
                      "<a href=x>text to the end"},
        OuterHtmlCase{"ClosedByParent", "<div><a href=x>one</div>two", "<a href=x>one"},
        OuterHtmlCase{"ClosedByNextLink", "<a href=1>one<a href=2>two</a>", "<a href=1>one"},
        OuterHtmlCase{"NonAsciiText", "<a href=x>caf\xC3\xA9</a>", "<a href=x>caf\xC3\xA9</a>"}),
    [](const auto& info) { return info.param.name; });

TEST(DocumentBuilderLinks, MisnestedLinkIsTakenOnceWithItsMarkup) {
    // The parser repeats the <a> inside the <p>; the copy is not a second link.
    const Document document = Build("<a href=x.html>one<p>two</a>three");
    ASSERT_EQ(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].outerHTML, "<a href=x.html>one");
}

// ---------------------------------------------------------------------------------------------
// Scripts, style sheets, forms

TEST(DocumentBuilderScripts, SrcAsWrittenAndEmptyForInlineScripts) {
    const Document document = Build(
        "<script src='/js/a.js'></script><script>var s = '<script src=x>';</script>"
        "<script src=' b.js?x=1&amp;y=2 '></script><svg><script href='s.js'></script></svg>");
    ASSERT_EQ(document.scripts.size(), 3u);
    EXPECT_EQ(document.scripts[0].src, "/js/a.js");
    EXPECT_EQ(document.scripts[1].src, "");
    EXPECT_EQ(document.scripts[2].src, " b.js?x=1&y=2 ");
}

TEST(DocumentBuilderStyleSheets, LinkedSheetsAndStyleBlocksInDocumentOrder) {
    const Document document = Build(
        "<link rel=stylesheet href='a.css'><style>p{}</style>"
        "<link rel='Alternate StyleSheet' href='../b.css'><link rel=icon href=fav.ico>"
        "<link rel=stylesheets href=no.css><body><style></style><link href=c.css rel=STYLESHEET>");
    std::vector<std::string> hrefs;
    for (const StyleSheetElement& sheet : document.styleSheets) {
        hrefs.push_back(sheet.href);
    }
    EXPECT_EQ(hrefs, (std::vector<std::string>{"a.css", "", "../b.css", "", "c.css"}));
}

TEST(DocumentBuilderForms, ActionAsWrittenAndEmptyWhenAbsent) {
    const Document document = Build("<form action='/cgi/post'></form><form></form>");
    ASSERT_EQ(document.forms.size(), 2u);
    EXPECT_EQ(document.forms[0].action, "/cgi/post");
    EXPECT_EQ(document.forms[1].action, "");
}

// ---------------------------------------------------------------------------------------------
// Applets and frames

TEST(DocumentBuilderApplets, AppletsAndObjectsWithTheirAttributes) {
    const Document document = Build(
        "<applet code='Game.class' codebase='classes/' archive='game.jar'></applet>"
        "<object data='movie.swf'><param name=x value=y></object>"
        "<applet code='Empty.class' archive=''></applet>");
    ASSERT_EQ(document.applets.size(), 3u);
    EXPECT_EQ(document.applets[0].BaseHref, kPage);
    EXPECT_EQ(document.applets[0].Archive(), "game.jar");
    EXPECT_EQ(document.applets[0].codeBase, "classes/");
    EXPECT_EQ(document.applets[0].code, "Game.class");
    EXPECT_FALSE(document.applets[1].archive.has_value());
    EXPECT_THROW(document.applets[1].Archive(), MissingProperty);
    EXPECT_EQ(document.applets[2].Archive(), "");
}

TEST(DocumentBuilderFrames, FramesResolvedAndBlankWhenWithoutSource) {
    const Document frameset =
        Build("<frameset cols='*,*,*'><frame src='left.html'><frame><frame src='  '></frameset>");
    ASSERT_EQ(frameset.frames.size(), 3u);
    EXPECT_EQ(frameset.frames[0].locationHref, "http://site.example/dir/left.html");
    EXPECT_EQ(frameset.frames[1].locationHref, "about:blank");
    EXPECT_EQ(frameset.frames[2].locationHref, "about:blank");

    const Document iframes = Build(
        "<p><iframe src='//video.example/embed/1'><a href='not-a-link'>x</a></iframe>"
        "<iframe src=''></iframe>");
    ASSERT_EQ(iframes.frames.size(), 2u);
    EXPECT_EQ(iframes.frames[0].locationHref, "http://video.example/embed/1");
    EXPECT_EQ(iframes.frames[1].locationHref, "about:blank");
    EXPECT_TRUE(iframes.links.empty());
}

// ---------------------------------------------------------------------------------------------
// ids

TEST(DocumentBuilderIds, EveryElementIdButNotTemplateContent) {
    const Document document = Build(
        "<div id=main><p id='Para'>x</p><svg id=drawing><g id='g1'/></svg><span id=''></span>"
        "<template id=t><b id=inside></b><a href=x>x</a></template></div>");
    EXPECT_TRUE(document.HasElementWithId("main"));
    EXPECT_TRUE(document.HasElementWithId("Para"));
    EXPECT_FALSE(document.HasElementWithId("para"));
    EXPECT_TRUE(document.HasElementWithId("drawing"));
    EXPECT_TRUE(document.HasElementWithId("g1"));
    EXPECT_TRUE(document.HasElementWithId("t"));
    EXPECT_FALSE(document.HasElementWithId("inside"));
    EXPECT_FALSE(document.HasElementWithId(""));
    EXPECT_TRUE(document.links.empty());
}

// ---------------------------------------------------------------------------------------------
// Hostile and broken input: nothing crashes, hangs or grows without bound.

TEST(DocumentBuilderBadInput, TruncatedAndMalformedMarkupStillYieldsItsLinks) {
    const Document document = Build(
        "<html><body><a href='a.html'>one</a><a href=\"b.html\" <img src=\"i.png\""
        "<a href='c.html'>three</a><div></span></p></td><a href='d.html");
    ASSERT_GE(document.links.size(), 2u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/a.html");
}

TEST(DocumentBuilderBadInput, BinaryGarbageGivesADocument) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 50000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    garbage += std::string("\0<a href=x>\0</a>", 16);
    const Document document = Build(garbage);
    EXPECT_TRUE(document.IsHtml());
}

TEST(DocumentBuilderBadInput, AHundredThousandLinks) {
    std::string html = "<ul>";
    for (int i = 0; i < 100000; ++i) {
        html += "<li><a href='p" + std::to_string(i) + ".html'>" + std::to_string(i) + "</a>";
    }
    const Document document = Build(html);
    ASSERT_EQ(document.links.size(), 100000u);
    EXPECT_EQ(document.links[99999].href, "http://site.example/dir/p99999.html");
    EXPECT_EQ(document.links[99999].outerHTML, "<a href='p99999.html'>99999</a>");
}

TEST(DocumentBuilderBadInput, MegabyteAttributeValues) {
    const std::string big(1024 * 1024, 'x');
    const Document document =
        Build("<a href='" + big + "' title='" + big + "'>x</a><img alt='" + big + "' src=i.png>");
    ASSERT_EQ(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/" + big);
    EXPECT_EQ(document.images[0].alt, big);
}

TEST(DocumentBuilderBadInput, TenThousandDeepNestingKeepsTheLinkInside) {
    std::string html;
    for (int i = 0; i < 10000; ++i) {
        html += "<div>";
    }
    html += "<a href='deep.html'>deep</a>";
    for (int i = 0; i < 10000; ++i) {
        html += "</div>";
    }
    html += "<a href='after.html'>after</a>";
    const Document document = Build(html);
    ASSERT_EQ(document.links.size(), 2u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/deep.html");
    EXPECT_EQ(document.links[1].href, "http://site.example/dir/after.html");
}

TEST(DocumentBuilderBadInput, HugePage) {
    std::string html = "<html><head><title>Big</title></head><body>";
    const std::string row =
        "<div class=\"row\"><p>Some text <a href=\"/item/N.html\">item</a> and a picture "
        "<img src=\"/img/N.png\" alt=\"item\"> and more words.</p></div>\n";
    while (html.size() < 4u * 1024 * 1024) {
        html += row;
    }
    const Document document = Build(html);
    EXPECT_EQ(document.title, "Big");
    EXPECT_GT(document.links.size(), 20000u);
    EXPECT_EQ(document.links.size(), document.images.size());
}

TEST(DocumentBuilderBadInput, ParserOutOfMemoryParsesAShorterPrefix) {
    std::string html = "<a href=first.html>first</a>";
    for (int i = 0; i < 5000; ++i) {
        html += "<p>paragraph <a href=p" + std::to_string(i) + ".html>link</a></p>";
    }
    HtmlBuildLimits limits;
    limits.parserMemoryBytes = 256 * 1024;
    const Document document = BuildHtmlDocument(html, kPage, nullptr, limits);
    EXPECT_EQ(document.html, html);
    ASSERT_GE(document.links.size(), 1u);
    EXPECT_LT(document.links.size(), 5001u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/first.html");
}

TEST(DocumentBuilderBadInput, OuterHtmlBeyondTheBudgetIsCut) {
    std::string html;
    for (int i = 0; i < 100; ++i) {
        html += "<a href=x" + std::to_string(i) + ">" + std::string(1000, 'w') + "</a>";
    }
    HtmlBuildLimits limits;
    limits.outerHtmlBytes = 10000;
    const Document document = BuildHtmlDocument(html, kPage, nullptr, limits);
    ASSERT_EQ(document.links.size(), 100u);
    EXPECT_GT(document.links[0].outerHTML.size(), 1000u);
    EXPECT_EQ(document.links[99].outerHTML.size(), 256u);
}

TEST(DocumentBuilderBadInput, InvalidAddressesAreKeptAsWritten) {
    const Document document = Build(
        "<a href='http://exa mple.com:port/'>1</a><a href='ht!tp://x'>2</a><img src='http://'>",
        "::not a url::");
    EXPECT_EQ(document.links[0].href, "http://exa mple.com:port/");
    EXPECT_EQ(document.links[1].href, "ht!tp://x");
    EXPECT_EQ(document.images[0].src, "http://");
}

}  // namespace
}  // namespace quill::platform
