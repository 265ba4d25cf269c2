// Which character set a page is read in, and its conversion to UTF-8, down to the links of a page
// written in windows-1252 (the browser's tests load a Shift_JIS page end to end).
#include "platform/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/html_document_builder.h"

namespace quill::platform {
namespace {

// A label read from a Content-Type (T), resolved to a converter (R) or found in <meta> (M).
struct LabelCase {
    const char* name;
    char reader;
    std::string input;
    const char* expected;
};

class CharsetLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(CharsetLabelTest, Reads) {
    const LabelCase& c = GetParam();
    const std::string label = c.reader == 'T'   ? CharsetParameter(c.input)
                              : c.reader == 'R' ? ResolveCharsetLabel(c.input)
                                                : MetaCharsetLabel(c.input);
    EXPECT_EQ(label, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharsetLabelTest,
    ::testing::Values(
        LabelCase{"TypeQuoted", 'T', "text/html; charset=\"Shift_JIS\"", "Shift_JIS"},
        LabelCase{"TypeAmongOthers", 'T', "text/html; q=1; charset=koi8-r; x=y", "koi8-r"},
        LabelCase{"ShiftJis", 'R', "Shift_JIS", "CP932"},
        LabelCase{"Latin1IsWindows1252", 'R', "ISO-8859-1", "WINDOWS-1252"},
        LabelCase{"Unknown", 'R', "no-such-charset", ""},
        LabelCase{"Utf7Refused", 'R', "utf-7", ""},
        LabelCase{"MetaHttpEquivAfterContent", 'M',
                  "<meta content='text/html;charset=euc-jp' http-equiv='content-type'>", "euc-jp"},
        LabelCase{"MetaContentWithoutHttpEquiv", 'M',
                  "<meta content=\"text/html; charset=koi8-r\">", ""},
        LabelCase{"MetaInsideAttributeValue", 'M', "<a title='<meta charset=utf-8>'>x</a>", ""},
        LabelCase{"MetaFirstWins", 'M', "<meta charset=koi8-r><meta charset=utf-8>", "koi8-r"},
        LabelCase{"MetaOnlyInTheFirst1024Bytes", 'M',
                  std::string(1100, ' ') + "<meta charset=utf-8>", ""}),
    [](const auto& info) { return info.param.name; });

struct DetectCase {
    const char* name;
    const char* contentType;
    std::string body;
    const char* expected;
};

class DetectHtmlCharsetTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectHtmlCharsetTest, Decides) {
    EXPECT_EQ(DetectHtmlCharset(GetParam().contentType, GetParam().body), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectHtmlCharsetTest,
    ::testing::Values(DetectCase{"HeaderBeatsBomAndMeta", "text/html; charset=koi8-r",
                                 "\xEF\xBB\xBF<meta charset=utf-8>", "KOI8-R"},
                      DetectCase{"Utf16LeBom", "text/html", "\xFF\xFE<\0h\0", "UTF-16LE"},
                      DetectCase{"WrongHeaderLabelPassedOver", "text/html; charset=bogus",
                                 "<meta charset=euc-jp>", "EUC-JP"},
                      DetectCase{"WrongMetaLabelPassedOver", "", "<meta charset=bogus>caf\xE9",
                                 "WINDOWS-1252"},
                      DetectCase{"UndeclaredValidUtf8", "text/html", "<p>caf\xC3\xA9</p>", "UTF-8"},
                      DetectCase{"UndeclaredUtf8CutMidCharacter", "text/html",
                                 "<p>caf\xC3\xA9 \xE2\x82", "UTF-8"}),
    [](const auto& info) { return info.param.name; });

struct ConvertCase {
    const char* name;
    std::string bytes;
    const char* charset;
    std::string expected;
};

class ConvertToUtf8Test : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertToUtf8Test, Converts) {
    EXPECT_EQ(ConvertToUtf8(GetParam().bytes, GetParam().charset), GetParam().expected);
}

const std::string kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertToUtf8Test,
    ::testing::Values(
        ConvertCase{"Windows1252", "caf\xE9 \x80 \x81", "WINDOWS-1252",
                    "caf\xC3\xA9 \xE2\x82\xAC " + kFffd},
        ConvertCase{"ShiftJisCutOffAtEnd", "\x93\xFA\x96\x7B\x83", "CP932",
                    "\xE6\x97\xA5\xE6\x9C\xAC" + kFffd},
        ConvertCase{"Utf8Invalid",
                    "a\xFF"
                    "b\xC0\xAF"
                    "c\xED\xA0\x80"
                    "d\xE2\x82",
                    "UTF-8",
                    "a" + kFffd + "b" + kFffd + kFffd + "c" + kFffd + kFffd + kFffd + "d" + kFffd},
        ConvertCase{"Utf8BomDropped", "\xEF\xBB\xBFhi", "UTF-8", "hi"},
        ConvertCase{"Utf16OddLength", std::string("\xFF\xFEh\0i", 5), "UTF-16LE", "h" + kFffd},
        ConvertCase{"NulKept", std::string("a\0b", 3), "UTF-8", std::string("a\0b", 3)}),
    [](const auto& info) { return info.param.name; });

// Down to the page: the links of a page in windows-1252; a wrong declaration still gives valid
// text.
TEST(DecodeHtmlTest, PagesReadInTheirCharacterSet) {
    const std::string page =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=windows-1252\"><a href=\"men\xFC.html#d\xE9j\xE0\">x</a>";
    const Document document = BuildHtmlDocument(DecodeHtml(page, "text/html"), "http://h/fr/");
    EXPECT_EQ(document.links.at(0).href, "http://h/fr/men%c3%bc.html#d%c3%a9j%c3%a0");
    EXPECT_EQ(document.links.at(0).hash, "#d\xC3\xA9j\xC3\xA0");
    const std::string wrong = "<meta charset=utf-8><a href='caf\xE9.html'>x</a>";
    EXPECT_EQ(BuildHtmlDocument(DecodeHtml(wrong, ""), "http://h/").links.at(0).outerHTML,
              "<a href='caf" + kFffd + ".html'>x</a>");
}

}  // namespace
}  // namespace quill::platform
