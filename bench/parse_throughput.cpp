// Throughput of turning page text into the document model the crawl walks: the HTML parse, the
// walk that collects titles and collections, outerHTML and URL resolution, on a set of generated
// pages shaped like real ones (navigation, articles, tables, forms, images), in MB/s of page text.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/charset.h"
#include "platform/html_document_builder.h"

namespace {

using quill::platform::BuildHtmlDocument;
using quill::platform::DecodeHtml;
using quill::platform::Document;

// Small deterministic generator so every run measures the same pages.
class Dice {
  public:
    explicit Dice(std::uint32_t seed) : state_(seed) {}
    int Below(int n) {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(n));
    }

  private:
    std::uint32_t state_;
};

const char* const kWords[] = {"link",  "checker", "page",   "site",  "report", "broken",
                              "image", "frame",   "anchor", "style", "script", "crawl",
                              "the",   "and",     "of",     "with",  "for",    "caf\xC3\xA9"};

std::string Words(Dice& dice, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kWords[dice.Below(sizeof kWords / sizeof kWords[0])];
    }
    return text;
}

std::string Href(Dice& dice) {
    switch (dice.Below(6)) {
        case 0:
            return "/section" + std::to_string(dice.Below(20)) + "/page" +
                   std::to_string(dice.Below(500)) + ".html";
        case 1:
            return "../other/item.php?id=" + std::to_string(dice.Below(100000)) + "&amp;view=full";
        case 2:
            return "#part" + std::to_string(dice.Below(30));
        case 3:
            return "https://external" + std::to_string(dice.Below(50)) +
                   ".example.org/path/to/resource";
        case 4:
            return "detail-" + std::to_string(dice.Below(1000)) + ".htm#top";
        default:
            return "mailto:someone" + std::to_string(dice.Below(9)) + "@example.org";
    }
}

// One page of roughly `targetBytes`, built of the blocks real pages are made of.
std::string MakePage(std::uint32_t seed, std::size_t targetBytes) {
    Dice dice(seed);
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" +
        Words(dice, 5) +
        "</title>\n<link rel=\"stylesheet\" href=\"/css/site.css\">\n"
        "<link rel=\"icon\" href=\"/favicon.ico\">\n<script src=\"/js/app.js\"></script>\n"
        "<style>body { font-family: sans-serif; } .nav li { display: inline; }</style>\n"
        "</head>\n<body>\n<div id=\"header\"><a href=\"/\"><img src=\"/img/logo.png\" "
        "alt=\"Logo\" width=\"120\" height=\"40\"></a></div>\n<ul class=\"nav\">\n";
    for (int i = 0; i < 12; ++i) {
        page += "  <li><a href=\"" + Href(dice) + "\" title=\"" + Words(dice, 2) + "\">" +
                Words(dice, 2) + "</a></li>\n";
    }
    page += "</ul>\n<div id=\"content\">\n";
    int block = 0;
    while (page.size() < targetBytes) {
        ++block;
        switch (dice.Below(5)) {
            case 0:
            case 1:
                page += "<h2><a name=\"part" + std::to_string(block) + "\"></a>" + Words(dice, 4) +
                        "</h2>\n<p class=\"text\">" + Words(dice, 30) + " <a href=\"" + Href(dice) +
                        "\">" + Words(dice, 3) + "</a> " + "<b>" + Words(dice, 4) + "</b> <em>" +
                        Words(dice, 3) + "</em> " + Words(dice, 25) + "</p>\n";
                break;
            case 2:
                page += "<p><img src=\"/img/photo" + std::to_string(dice.Below(300)) +
                        ".jpg\" alt=\"" + Words(dice, 3) + "\" style=\"float:left\"> " +
                        Words(dice, 20) + "</p>\n";
                break;
            case 3:
                page += "<table class=\"data\"><tr><th>Name</th><th>Value</th><th>Link</th></tr>\n";
                for (int row = 0; row < 8; ++row) {
                    page += "<tr><td>" + Words(dice, 2) + "</td><td>" +
                            std::to_string(dice.Below(10000)) + "</td><td><a href=\"" + Href(dice) +
                            "\">more</a></td></tr>\n";
                }
                page += "</table>\n";
                break;
            default:
                page += "<form action=\"/search\" method=\"get\"><input name=\"q\" value=\"" +
                        Words(dice, 1) +
                        "\"><select name=s><option>one<option>two</select>"
                        "<input type=\"submit\" value=\"Go\"></form>\n"
                        "<div class=\"box\"><div><div><span>" +
                        Words(dice, 10) + "</span></div></div></div>\n";
        }
    }
    page += "</div>\n<div id=\"footer\"><p>&copy; " + Words(dice, 3) +
            " <a href=\"/about.html\">About</a> | <a href=\"/contact.html\">Contact</a></p>"
            "<script>var tracker = '<a href=\"x\">';</script></div>\n</body></html>\n";
    return page;
}

// A set of pages of about the given size.
std::vector<std::string> PageSet(std::size_t pageBytes, int count) {
    std::vector<std::string> pages;
    for (int i = 0; i < count; ++i) {
        pages.push_back(MakePage(static_cast<std::uint32_t>(1000 + i), pageBytes));
    }
    return pages;
}

void BM_BuildDocument(benchmark::State& state) {
    const auto pageBytes = static_cast<std::size_t>(state.range(0));
    const std::vector<std::string> pages =
        PageSet(pageBytes, static_cast<int>(std::max<std::size_t>(1, (4u << 20) / pageBytes)));
    std::size_t bytes = 0;
    std::size_t links = 0;
    for (auto _ : state) {
        for (const std::string& page : pages) {
            const Document document =
                BuildHtmlDocument(page, "http://www.example.org/section1/index.html");
            links += document.links.size();
            bytes += page.size();
            benchmark::DoNotOptimize(document.links.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["links/page"] = benchmark::Counter(
        static_cast<double>(links) / static_cast<double>(state.iterations() * pages.size()));
}
BENCHMARK(BM_BuildDocument)
    ->Arg(16 << 10)
    ->Arg(128 << 10)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond);

// What the browser does with a body: decide the charset, convert, then build.
void BM_DecodeAndBuildWindows1252(benchmark::State& state) {
    std::vector<std::string> pages = PageSet(128 << 10, 32);
    for (std::string& page : pages) {
        std::string latin;
        for (std::size_t i = 0; i < page.size(); ++i) {
            if (page.compare(i, 2, "\xC3\xA9") == 0) {
                latin += '\xE9';
                ++i;
            } else {
                latin += page[i];
            }
        }
        page = latin;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& page : pages) {
            const Document document =
                BuildHtmlDocument(DecodeHtml(page, "text/html; charset=windows-1252"),
                                  "http://www.example.org/section1/index.html");
            bytes += page.size();
            benchmark::DoNotOptimize(document.links.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DecodeAndBuildWindows1252)->Unit(benchmark::kMillisecond);

}  // namespace
