// The document model built from HTML text: each collection and property the crawl reads, URL
// resolution against the page and its <base>, what the markup of links and images mentions, and
// hostile input.
#include "platform/html_document_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill::platform {
namespace {

const std::string kPage = "http://site.example/dir/page.html";
const std::string kQueryPage = "http://site.example/dir/page.html?q=1#top";

Document Build(const std::string& html, const std::string& url = kPage) {
    return BuildHtmlDocument(html, url);
}

using Reading = std::function<std::string(const Document&)>;

// One collection of a document read as "value|value|...", so a row states a whole collection.
template <typename Element, typename Value>
Reading Each(std::vector<Element> Document::*collection, Value value) {
    return [collection, value](const Document& document) {
        std::string out;
        for (const Element& element : document.*collection) {
            out += (out.empty() ? "" : "|") + std::string(std::invoke(value, element));
        }
        return out;
    };
}

const Reading kTitle = [](const Document& d) { return d.title; };
const Reading kHrefs = Each(&Document::links, &LinkElement::href);
std::string Mentions(const MarkupMentions& m) {
    return std::string(m.alt ? " ALT" : "") + (m.width ? " WIDTH" : "") +
           (m.height ? " HEIGHT" : "");
}
const Reading kMentions =
    Each(&Document::links, [](const LinkElement& l) { return Mentions(l.markup); });
const Reading kLinks = Each(&Document::links, [](const LinkElement& l) {
    return l.tagName() + " " + l.href + " " + std::string(l.hash()) + Mentions(l.markup);
});
const Reading kImages = Each(&Document::images, [](const ImageElement& i) {
    return i.src + " " + i.alt + Mentions(i.markup);
});
// Scripts, style sheets and forms as written, one after the other.
const Reading kAsWritten = [](const Document& d) {
    return Each(&Document::scripts, &ScriptElement::src)(d) + " / " +
           Each(&Document::styleSheets, &StyleSheetElement::href)(d) + " / " +
           Each(&Document::forms, &FormElement::action)(d);
};
const Reading kFrames = Each(&Document::frames, &FrameElement::locationHref);
const Reading kApplets = Each(&Document::applets, [](const AppletElement& a) {
    return a.BaseHref + " " + (a.archive ? *a.archive : "(none)") + " " + a.codeBase + " " + a.code;
});

struct ReadCase {
    std::string html;
    Reading read;
    std::string expected;
    std::string url = kPage;
};

TEST(DocumentBuilder, GivesWhatTheWalkersRead) {
    const ReadCase cases[] = {
        // The title: the first, blanks collapsed, none from a drawing.
        {"<svg><title>drawing</title></svg><title>\n  Our   &amp; Their\tSite </title>"
         "<title>second</title>",
         kTitle, "Our & Their Site"},
        // Links resolved as a browser does; what cannot be resolved is kept as written.
        {"<a href='a.html'>x</a><a href='/x/../y.html'>x</a><a href='#part'>x</a>"
         "<a href=''>x</a><a href='  a\n.ht\tml '>x</a>",
         kHrefs,
         "http://site.example/dir/a.html|http://site.example/y.html|"
         "http://site.example/dir/page.html?q=1#part|http://site.example/dir/page.html?q=1|"
         "http://site.example/dir/a.html",
         kQueryPage},
        {"<a href='my b.html?x=1&amp;y=2'>x</a><a href='caf\xC3\xA9.html'>x</a>", kHrefs,
         "http://site.example/dir/my%20b.html?x=1&y=2|"
         "http://site.example/dir/caf%c3%a9.html"},
        {"<a href='javascript:void(0)'>1</a><a href='http://[::1/x'>2</a>", kHrefs,
         "javascript:void(0)|http://[::1/x"},
        // <base href>: the first usable one, resolved against the page, even for earlier links.
        {"<a href='a.html'>a</a><base href='../assets/'>", kHrefs,
         "http://site.example/assets/a.html"},
        {"<base target=_top><base href='http://one.example/'><base href='http://two/'>"
         "<a href='a.html'>a</a>",
         kHrefs, "http://one.example/a.html"},
        {"<base href='http://[broken/'><a href='a.html'>a</a>", kHrefs,
         "http://site.example/dir/a.html"},
        // Links: anchors and areas with href, in order, with tag, hash as written, markup.
        {"<a name='top'>no href</a><a href='one.html' name='n1'>One</a>"
         "<map name=m><area href='two.html#sec' alt=Two><area nohref></map>",
         kLinks,
         "A http://site.example/dir/one.html |"
         "AREA http://site.example/dir/two.html#sec #sec ALT"},
        {"<a href='#caf\xC3\xA9 au lait'>x</a><a href='p.html#'>y</a>"
         "<a href='mailto:a@b#c'>z</a>",
         Each(&Document::links, &LinkElement::hash), "#caf\xC3\xA9 au lait||#c"},
        {"<a name='first'></a><a href='x.html' name='Second'>x</a><a id='no'></a>"
         "<area name='area' href='y.html'><a name=''></a>",
         Each(&Document::anchors, &AnchorElement::name), "first|Second|"},
        // The markup read for what it mentions: the element's own, however it was closed.
        {"<p>alt <a href=\"x\" title=t>Go <b>wIdth</b></a> height", kMentions, " WIDTH"},
        {"<div><a href=x>width</div>alt", kMentions, " WIDTH"},
        {"<a href=x.html>width<p>alt</a>height", kMentions, " WIDTH"},
        // Images: src absolute (absent: empty; empty: the page), alt, markup; <img> ends a drawing.
        {"<p><IMG SRC=\"a.png\" ALT=\"First\" width=1 Height=2></p><image src='c.jpg'>"
         "<svg><img src='d.png'></svg><img alt=x><img src=''>",
         kImages,
         "http://site.example/dir/a.png First ALT WIDTH HEIGHT|"
         "http://site.example/dir/c.jpg |http://site.example/dir/d.png | x ALT|"
         "http://site.example/dir/page.html ",
         kPage + "#frag"},
        // Scripts, style sheets and forms as written; none from a drawing or a script's text.
        {"<script src='/js/a.js'></script><script>var s = '<script src=x>';</script>"
         "<script src=' b.js?x=1&amp;y=2 '></script><svg><script href=s.js></script></svg>"
         "<link rel=stylesheet href='a.css'><style>p{}</style>"
         "<link rel='Alternate StyleSheet' href='../b.css'><link rel=icon href=fav.ico>"
         "<link rel=stylesheets href=no.css><link href=c.css rel=STYLESHEET>"
         "<form action='/cgi/post'></form><form></form>",
         kAsWritten, "/js/a.js|| b.js?x=1&y=2  / a.css||../b.css|c.css / /cgi/post|"},
        // Frames resolved, blank without a source; no links inside an iframe.
        {"<frameset><frame src='left.html'><frame><frame src='  '></frameset>", kFrames,
         "http://site.example/dir/left.html|about:blank|about:blank"},
        {"<iframe src='//video.example/1'><a href='x'>x</a></iframe><iframe src=''>",
         [](const Document& d) { return kFrames(d) + " " + kHrefs(d); },
         "http://video.example/1|about:blank "},
        // Applets and objects: the page without fragment (after <base>) as base, archive or none.
        {"<applet code='G.class' codebase='classes/' archive='g.jar'></applet>"
         "<object data='m.swf'></object><applet archive=''></applet>",
         kApplets,
         "http://site.example/dir/page.html?q=1 g.jar classes/ G.class|"
         "http://site.example/dir/page.html?q=1 (none)  |"
         "http://site.example/dir/page.html?q=1   ",
         kPage + "?q=1#a/b"},
        // Broken markup still yields its links.
        {"<a href='a.html'>one</a><a href=\"b.html\" <img src=\"i.png\""
         "<div></span></p></td><a href='d.html",
         [](const Document& d) { return d.links.at(0).href; }, "http://site.example/dir/a.html"}};
    for (const ReadCase& c : cases) {
        EXPECT_EQ(c.read(Build(c.html, c.url)), c.expected) << c.html;
    }
}

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

// --- large input: nothing crashes, hangs or grows without bound (fuzz/ feeds it garbage) ---

TEST(DocumentBuilderBadInput, TenThousandDeepNestingKeepsTheLinkInside) {
    const std::string html = [] {
        std::string nested;
        for (int i = 0; i < 10000; ++i) {
            nested += "<div>";
        }
        return nested + "<a href='deep.html'>deep</a><a href='" + std::string(1 << 20, 'x') +
               "'>big</a>";
    }();
    const Document document = Build(html);
    ASSERT_EQ(document.links.size(), 2u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/deep.html");
    EXPECT_EQ(document.links[1].href.size(),
              std::string("http://site.example/dir/").size() + (1 << 20));
}

TEST(DocumentBuilderBadInput, ParserBudgetIsKept) {
    std::string html = "<a href=first.html>first</a>";
    for (int i = 0; i < 5000; ++i) {
        html += "<p>paragraph <a href=p" + std::to_string(i) + ".html>link</a></p>";
    }
    HtmlBuildLimits limits;
    limits.parserMemoryBytes = 256 * 1024;
    Document document = BuildHtmlDocument(html, kPage, nullptr, limits);
    ASSERT_GE(document.links.size(), 1u);
    EXPECT_LT(document.links.size(), 5001u);
    EXPECT_EQ(document.links[0].href, "http://site.example/dir/first.html");
}

}  // namespace
}  // namespace quill::platform
