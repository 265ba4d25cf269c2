// Which character set a page is read in, and its conversion to UTF-8, down to the links of a page
// written in windows-1252 (the browser's tests load a Shift_JIS page end to end).
#include "platform/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/html_document_builder.h"

namespace quill::platform {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// A label read from a Content-Type (T), resolved to a converter (R) or found in <meta> (M).
TEST(CharsetTest, LabelsAreReadFromTypeMetaAndResolved) {
    const struct {
        char reader;
        std::string input;
        const char* expected;
    } cases[] = {
        {'T', "text/html; charset=\"Shift_JIS\"", "Shift_JIS"},
        {'T', "text/html; q=1; charset=koi8-r; x=y", "koi8-r"},
        {'R', "Shift_JIS", "CP932"},
        {'R', "ISO-8859-1", "WINDOWS-1252"},
        {'R', "no-such-charset", ""},
        {'R', "utf-7", ""},
        {'M', "<meta content='text/html;charset=euc-jp' http-equiv='content-type'>", "euc-jp"},
        {'M', "<meta content=\"text/html; charset=koi8-r\">", ""},
        {'M', "<a title='<meta charset=utf-8>'>x</a>", ""},
        {'M', "<meta charset=koi8-r><meta charset=utf-8>", "koi8-r"},
        {'M', std::string(1100, ' ') + "<meta charset=utf-8>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.reader == 'T'   ? CharsetParameter(c.input)
                  : c.reader == 'R' ? ResolveCharsetLabel(c.input)
                                    : MetaCharsetLabel(c.input),
                  c.expected)
            << c.input;
    }
}

// The header beats a byte-order mark and <meta>; a wrong label is passed over.
TEST(CharsetTest, DetectDecidesTheConverter) {
    const struct {
        const char* contentType;
        std::string body;
        const char* expected;
    } cases[] = {
        {"text/html; charset=koi8-r", "\xEF\xBB\xBF<meta charset=utf-8>", "KOI8-R"},
        {"text/html", "\xFF\xFE<\0h\0", "UTF-16LE"},
        {"text/html; charset=bogus", "<meta charset=euc-jp>", "EUC-JP"},
        {"", "<meta charset=bogus>caf\xE9", "WINDOWS-1252"},
        {"text/html", "<p>caf\xC3\xA9</p>", "UTF-8"},
        {"text/html", "<p>caf\xC3\xA9 \xE2\x82", "UTF-8"},  // cut mid-character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectHtmlCharset(c.contentType, c.body), c.expected) << c.body;
    }
}

TEST(CharsetTest, ConvertReplacesWhatCannotBeRead) {
    const struct {
        std::string bytes;
        const char* charset;
        std::string expected;
    } cases[] = {
        {"caf\xE9 \x80 \x81", "WINDOWS-1252", "caf\xC3\xA9 \xE2\x82\xAC " + kFffd},
        {"\x93\xFA\x96\x7B\x83", "CP932", "\xE6\x97\xA5\xE6\x9C\xAC" + kFffd},
        {"a\xFF"
         "b\xC0\xAF"
         "c\xED\xA0\x80"
         "d\xE2\x82",
         "UTF-8", "a" + kFffd + "b" + kFffd + kFffd + "c" + kFffd + kFffd + kFffd + "d" + kFffd},
        {"\xEF\xBB\xBFhi", "UTF-8", "hi"},
        {std::string("\xFF\xFEh\0i", 5), "UTF-16LE", "h" + kFffd},
        {std::string("a\0b", 3), "UTF-8", std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertToUtf8(c.bytes, c.charset), c.expected) << c.charset;
    }
}

// Down to the page: the links of a page in windows-1252; a wrong declaration still gives valid
// text.
TEST(CharsetTest, PagesAreReadInTheirCharacterSet) {
    const std::string page =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=windows-1252\"><a href=\"men\xFC.html#d\xE9j\xE0\">x</a>";
    const Document document = BuildHtmlDocument(DecodeHtml(page, "text/html"), "http://h/fr/");
    EXPECT_EQ(document.links.at(0).href, "http://h/fr/men%c3%bc.html#d%c3%a9j%c3%a0");
    EXPECT_EQ(document.links.at(0).hash(), "#d\xC3\xA9j\xC3\xA0");
    const std::string wrong = "<meta charset=utf-8><a href='caf\xE9.html'>x</a>";
    EXPECT_EQ(BuildHtmlDocument(DecodeHtml(wrong, ""), "http://h/").links.at(0).href,
              "http://h/caf%ef%bf%bd.html");
}

}  // namespace
}  // namespace quill::platform
