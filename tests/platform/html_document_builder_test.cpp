// The document model built from HTML text: each collection and property the crawl reads, URL
// resolution against the page and its <base>, outerHTML from the source, and hostile input.
#include "platform/html_document_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quill::platform {
namespace {

const std::string kPage = "http://site.example/dir/page.html";

Document Build(const std::string& html, const std::string& url = kPage) {
    return BuildHtmlDocument(html, url);
}

// One collection of a document read as "value|value|...", so a row states a whole collection.
template <typename Element>
std::string Joined(const std::vector<Element>& elements,
                   const std::function<std::string(const Element&)>& value) {
    std::string out;
    for (const Element& element : elements) {
        out += (out.empty() ? "" : "|") + value(element);
    }
    return out;
}

using Reading = std::function<std::string(const Document&)>;
const Reading kTitle = [](const Document& d) { return d.title; };
const Reading kHrefs = [](const Document& d) {
    return Joined<LinkElement>(d.links, [](const LinkElement& l) { return l.href; });
};
const Reading kLinks = [](const Document& d) {
    return Joined<LinkElement>(d.links, [](const LinkElement& l) {
        return l.tagName + " " + l.href + " " + l.hash + " " + l.name + " " + l.outerHTML;
    });
};
const Reading kOuter = [](const Document& d) {
    return Joined<LinkElement>(d.links, [](const LinkElement& l) { return l.outerHTML; });
};
const Reading kAnchors = [](const Document& d) {
    return Joined<AnchorElement>(d.anchors, [](const AnchorElement& a) { return a.name; });
};
const Reading kImages = [](const Document& d) {
    return Joined<ImageElement>(
        d.images, [](const ImageElement& i) { return i.src + " " + i.alt + " " + i.outerHTML; });
};
const Reading kScripts = [](const Document& d) {
    return Joined<ScriptElement>(d.scripts, [](const ScriptElement& s) { return s.src; });
};
const Reading kStyleSheets = [](const Document& d) {
    return Joined<StyleSheetElement>(d.styleSheets,
                                     [](const StyleSheetElement& s) { return s.href; });
};
const Reading kForms = [](const Document& d) {
    return Joined<FormElement>(d.forms, [](const FormElement& f) { return f.action; });
};
const Reading kFrames = [](const Document& d) {
    return Joined<FrameElement>(d.frames, [](const FrameElement& f) { return f.locationHref; });
};
const Reading kApplets = [](const Document& d) {
    return Joined<AppletElement>(d.applets, [](const AppletElement& a) {
        return a.BaseHref + " " + (a.archive ? *a.archive : "(none)") + " " + a.codeBase + " " +
               a.code;
    });
};

struct ReadCase {
    const char* name;
    std::string html;
    Reading read;
    std::string expected;
    std::string url = kPage;
};

class DocumentBuilderRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DocumentBuilderRead, GivesWhatTheWalkersRead) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(c.read(Build(c.html, c.url)), c.expected);
}

const std::string kQueryPage = "http://site.example/dir/page.html?q=1#top";

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentBuilderRead,
    ::testing::Values(
        // The title: the first, blanks collapsed, none from a drawing.
        ReadCase{"TitleFirstCollapsed",
                 "<title>\n  Our   &amp; Their\tSite </title><title>second</title>"
                 "<svg><title>drawing</title></svg>",
                 kTitle, "Our & Their Site"},
        ReadCase{"TitleNotInDrawing", "<svg><title>only in a drawing</title></svg>", kTitle, ""},
        // Links resolved as a browser does; what cannot be resolved is kept as written.
        ReadCase{"SameDirectory", "<a href='a.html'>x</a>", kHrefs,
                 "http://site.example/dir/a.html", kQueryPage},
        ReadCase{"RootRelative", "<a href='/x/../y.html'>x</a>", kHrefs,
                 "http://site.example/y.html"},
        ReadCase{"QueryOnly", "<a href='?x=y'>x</a>", kHrefs,
                 "http://site.example/dir/page.html?x=y", kQueryPage},
        ReadCase{"FragmentOnly", "<a href='#part'>x</a>", kHrefs,
                 "http://site.example/dir/page.html?q=1#part", kQueryPage},
        ReadCase{"EmptyIsThePage", "<a href=''>x</a>", kHrefs,
                 "http://site.example/dir/page.html?q=1", kQueryPage},
        ReadCase{"BlanksAndBreaks", "<a href='  a\n.ht\tml '>x</a>", kHrefs,
                 "http://site.example/dir/a.html"},
        ReadCase{"EntityAndSpaces", "<a href='my b.html?x=1&amp;y=2'>x</a>", kHrefs,
                 "http://site.example/dir/my%20b.html?x=1&y=2"},
        ReadCase{"NonAscii", "<a href='caf\xC3\xA9.html'>x</a>", kHrefs,
                 "http://site.example/dir/caf%c3%a9.html"},
        ReadCase{"AsWritten", "<a href='javascript:void(0)'>1</a><a href='http://[::1/x'>2</a>",
                 kHrefs, "javascript:void(0)|http://[::1/x"},
        ReadCase{"NoBaseAddress", "<a href='a.html'>x</a><a href='ht!tp://x'>y</a>", kHrefs,
                 "a.html|ht!tp://x", "::not a url::"},
        // <base href>: the first usable one, resolved against the page, even for earlier links.
        ReadCase{"BaseRelative", "<a href='a.html'>a</a><base href='../assets/'>", kHrefs,
                 "http://site.example/assets/a.html"},
        ReadCase{"BaseFirstWithHref",
                 "<base target=_top><base href='http://one.example/'><base href='http://two/'>"
                 "<a href='a.html'>a</a>",
                 kHrefs, "http://one.example/a.html"},
        ReadCase{"BaseUnusable", "<base href='http://[broken/'><a href='a.html'>a</a>", kHrefs,
                 "http://site.example/dir/a.html"},
        // Links: anchors and areas with href, in order, with tag, hash as written, name, markup.
        ReadCase{"LinksAndAreas",
                 "<a name='top'>no href</a><a href='one.html' name='n1'>One</a>"
                 "<map name=m><area href='two.html#sec' alt=Two><area nohref></map>",
                 kLinks,
                 "A http://site.example/dir/one.html  n1 <a href='one.html' name='n1'>One</a>|"
                 "AREA http://site.example/dir/two.html#sec #sec  <area href='two.html#sec' "
                 "alt=Two>"},
        ReadCase{"HashAsWritten",
                 "<a href='#caf\xC3\xA9 au lait'>x</a><a href='p.html#'>y</a>"
                 "<a href='mailto:a@b#c'>z</a>",
                 [](const Document& d) {
                     return Joined<LinkElement>(d.links,
                                                [](const LinkElement& l) { return l.hash; });
                 },
                 "#caf\xC3\xA9 au lait||#c"},
        ReadCase{"AnchorsAreNamedAs",
                 "<a name='first'></a><a href='x.html' name='Second'>x</a><a id='no'></a>"
                 "<area name='area' href='y.html'><a name=''></a>",
                 kAnchors, "first|Second|"},
        // outerHTML: the element's own markup from the source, however it was closed.
        ReadCase{"OuterToEndTag", "<p>before <a href=\"x\" title=t>Go <b>there</b></a> after",
                 kOuter, "<a href=\"x\" title=t>Go <b>there</b></a>"},
        ReadCase{"OuterCutAtEnd", "<a href=x>text to the end", kOuter, "<a href=x>text to the end"},
        ReadCase{"OuterClosedByParent", "<div><a href=x>one</div>two", kOuter, "<a href=x>one"},
        ReadCase{"OuterClosedByNext", "<a href=1>one<a href=2>two</a>", kOuter,
                 "<a href=1>one|<a href=2>two</a>"},
        ReadCase{"MisnestedTakenOnce", "<a href=x.html>one<p>two</a>three", kOuter,
                 "<a href=x.html>one"},
        // Images: src absolute (absent: empty; empty: the page), alt, markup; <img> ends a drawing.
        ReadCase{"Images",
                 "<p><IMG SRC=\"a.png\" ALT=\"First\"></p><image src='c.jpg'>"
                 "<svg><img src='d.png'></svg><img alt=x><img src=''>",
                 kImages,
                 "http://site.example/dir/a.png First <IMG SRC=\"a.png\" ALT=\"First\">|"
                 "http://site.example/dir/c.jpg  <image src='c.jpg'>|"
                 "http://site.example/dir/d.png  <img src='d.png'>| x <img alt=x>|"
                 "http://site.example/dir/page.html  <img src=''>",
                 kPage + "#frag"},
        // Scripts, style sheets and forms as written; none from a drawing or a script's text.
        ReadCase{"Scripts",
                 "<script src='/js/a.js'></script><script>var s = '<script src=x>';</script>"
                 "<script src=' b.js?x=1&amp;y=2 '></script><svg><script href=s.js></script></svg>",
                 kScripts, "/js/a.js|| b.js?x=1&y=2 "},
        ReadCase{"StyleSheets",
                 "<link rel=stylesheet href='a.css'><style>p{}</style>"
                 "<link rel='Alternate StyleSheet' href='../b.css'><link rel=icon href=fav.ico>"
                 "<link rel=stylesheets href=no.css><link href=c.css rel=STYLESHEET>",
                 kStyleSheets, "a.css||../b.css|c.css"},
        ReadCase{"Forms", "<form action='/cgi/post'></form><form></form>", kForms, "/cgi/post|"},
        // Frames resolved, blank without a source; no links inside an iframe.
        ReadCase{"Frames", "<frameset><frame src='left.html'><frame><frame src='  '></frameset>",
                 kFrames, "http://site.example/dir/left.html|about:blank|about:blank"},
        ReadCase{"IFrames",
                 "<iframe src='//video.example/1'><a href='x'>x</a></iframe><iframe src=''>",
                 [](const Document& d) { return kFrames(d) + " " + kHrefs(d); },
                 "http://video.example/1|about:blank "},
        // Applets and objects: the page without fragment (after <base>) as base, archive or none.
        ReadCase{"Applets",
                 "<applet code='G.class' codebase='classes/' archive='g.jar'></applet>"
                 "<object data='m.swf'></object><applet archive=''></applet>",
                 kApplets,
                 "http://site.example/dir/page.html?q=1 g.jar classes/ G.class|"
                 "http://site.example/dir/page.html?q=1 (none)  |"
                 "http://site.example/dir/page.html?q=1   ",
                 kPage + "?q=1#a/b"},
        ReadCase{"AppletBase", "<base href='../assets/'><applet></applet>", kApplets,
                 "http://site.example/assets/ (none)  "},
        // Broken markup still yields its links.
        ReadCase{"Truncated",
                 "<a href='a.html'>one</a><a href=\"b.html\" <img src=\"i.png\""
                 "<a href='c.html'>three</a><div></span></p></td><a href='d.html",
                 [](const Document& d) { return d.links.at(0).href; },
                 "http://site.example/dir/a.html"}),
    [](const auto& info) { return info.param.name; });

TEST(DocumentBuilder, IdsOfEveryElementButTemplateContent) {
    const Document document = Build(
        "<div id=main><p id='Para'>x</p><svg id=drawing><g id='g1'/></svg><span id=''></span>"
        "<template id=t><b id=inside></b><a href=x>x</a></template></div>");
    for (const char* id : {"main", "Para", "drawing", "g1", "t"}) {
        EXPECT_TRUE(document.HasElementWithId(id)) << id;
    }
    for (const char* id : {"para", "inside", ""}) {
        EXPECT_FALSE(document.HasElementWithId(id)) << id;
    }
    EXPECT_TRUE(document.links.empty());
}

class FixedSize : public FileSizeSource {
  public:
    std::string FileSizeOf(const std::string& url) override { return "size of " + url; }
};

TEST(DocumentBuilder, EveryImageAsksTheGivenSizeSource) {
    const Document document =
        BuildHtmlDocument("<img src=a.png>", kPage, std::make_shared<FixedSize>());
    EXPECT_EQ(document.images[0].fileSize(), "size of http://site.example/dir/a.png");
    EXPECT_EQ(Build("<img src=a.png>").images[0].fileSize(), "-1");
    EXPECT_THROW(Build("<applet></applet>").applets[0].Archive(), MissingProperty);
}

// ---------------------------------------------------------------------------------------------
// Hostile and large input: nothing crashes, hangs or grows without bound.

TEST(DocumentBuilderBadInput, BinaryGarbageGivesADocument) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 50000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    garbage += std::string("\0<a href=x>\0</a>", 16);
    EXPECT_TRUE(Build(garbage).IsHtml());
}

TEST(DocumentBuilderBadInput, AHundredThousandLinksAndMegabyteValues) {
    std::string html = "<ul>";
    for (int i = 0; i < 100000; ++i) {
        html += "<li><a href='p" + std::to_string(i) + ".html'>" + std::to_string(i) + "</a>";
    }
    const std::string big(1024 * 1024, 'x');
    html += "<a href='" + big + "' title='" + big + "'>x</a><img alt='" + big + "'>";
    const Document document = Build(html);
    ASSERT_EQ(document.links.size(), 100001u);
    EXPECT_EQ(document.links[99999].href, "http://site.example/dir/p99999.html");
    EXPECT_EQ(document.links[99999].outerHTML, "<a href='p99999.html'>99999</a>");
    EXPECT_EQ(document.links[100000].href, "http://site.example/dir/" + big);
    EXPECT_EQ(document.images[0].alt, big);
}

TEST(DocumentBuilderBadInput, TenThousandDeepNestingKeepsTheLinkInside) {
    const std::string html = [] {
        std::string nested;
        for (int i = 0; i < 10000; ++i) {
            nested += "<div>";
        }
        nested += "<a href='deep.html'>deep</a>";
        for (int i = 0; i < 10000; ++i) {
            nested += "</div>";
        }
        return nested + "<a href='after.html'>after</a>";
    }();
    EXPECT_EQ(kHrefs(Build(html)),
              "http://site.example/dir/deep.html|http://site.example/dir/after.html");
}

TEST(DocumentBuilderBadInput, ParserOutOfMemoryParsesAShorterPrefix) {
    std::string html = "<a href=first.html>first</a>";
    for (int i = 0; i < 5000; ++i) {
        html += "<p>paragraph <a href=p" + std::to_string(i) + ".html>link</a></p>";
    }
    HtmlBuildLimits limits;
    limits.parserMemoryBytes = 256 * 1024;
    const Document document = BuildHtmlDocument(html, kPage, nullptr, limits);
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

}  // namespace
}  // namespace quill::platform
