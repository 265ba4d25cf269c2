// Which character set a page is read in, and its conversion to UTF-8, down to the links of a page
// written in windows-1252 (the browser's tests load a Shift_JIS page end to end).
#include "platform/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/html_document_builder.h"

namespace quill::platform {
namespace {

struct LabelCase {
    const char* name;
    const char* input;
    const char* expected;
};

// --- the charset parameter of a Content-Type ---

class CharsetParameterTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(CharsetParameterTest, Reads) {
    EXPECT_EQ(CharsetParameter(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharsetParameterTest,
    ::testing::Values(LabelCase{"Plain", "text/html; charset=UTF-8", "UTF-8"},
                      LabelCase{"Quoted", "text/html; charset=\"Shift_JIS\"", "Shift_JIS"},
                      LabelCase{"Blanks", "text/html ;  Charset = iso-8859-1 ", "iso-8859-1"},
                      LabelCase{"AmongOthers", "text/html; q=1; charset=koi8-r; x=y", "koi8-r"},
                      LabelCase{"Empty", "text/html; charset=", ""}),
    [](const auto& info) { return info.param.name; });

// --- labels to converters ---

class ResolveCharsetLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(ResolveCharsetLabelTest, Resolves) {
    EXPECT_EQ(ResolveCharsetLabel(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ResolveCharsetLabelTest,
                         ::testing::Values(LabelCase{"Utf8", "utf8", "UTF-8"},
                                           LabelCase{"Utf8Upper", " UTF-8 ", "UTF-8"},
                                           LabelCase{"ShiftJis", "Shift_JIS", "CP932"},
                                           LabelCase{"Latin1IsWindows1252", "ISO-8859-1",
                                                     "WINDOWS-1252"},
                                           LabelCase{"Latin2", "iso-8859-2", "ISO-8859-2"},
                                           LabelCase{"EucKr", "euc-kr", "CP949"},
                                           LabelCase{"Unknown", "no-such-charset", ""},
                                           LabelCase{"Utf7Refused", "utf-7", ""}),
                         [](const auto& info) { return info.param.name; });

// --- <meta> declarations ---

class MetaCharsetLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(MetaCharsetLabelTest, Finds) {
    EXPECT_EQ(MetaCharsetLabel(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MetaCharsetLabelTest,
    ::testing::Values(
        LabelCase{"MetaCharset", "<html><head><meta charset=\"utf-8\">", "utf-8"},
        LabelCase{"UpperCaseUnquoted", "<HEAD><META CHARSET=Shift_JIS>", "Shift_JIS"},
        LabelCase{"HttpEquivAfterContent",
                  "<meta content='text/html;charset=euc-jp' http-equiv='content-type'>", "euc-jp"},
        LabelCase{"ContentWithoutHttpEquiv", "<meta content=\"text/html; charset=koi8-r\">", ""},
        LabelCase{"InsideComment", "<!-- <meta charset=utf-8> --><p>", ""},
        LabelCase{"InsideAttributeValue", "<a title='<meta charset=utf-8>'>x</a>", ""},
        LabelCase{"FirstWins", "<meta charset=koi8-r><meta charset=utf-8>", "koi8-r"}),
    [](const auto& info) { return info.param.name; });

TEST(MetaCharsetLabelTest, OnlyTheFirst1024BytesAreSearched) {
    EXPECT_EQ(MetaCharsetLabel(std::string(1100, ' ') + "<meta charset=utf-8>"), "");
}

// --- which source decides ---

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
    ::testing::Values(
        DetectCase{"HeaderBeatsBomAndMeta", "text/html; charset=koi8-r",
                   "\xEF\xBB\xBF<meta charset=utf-8>", "KOI8-R"},
        DetectCase{"Utf8Bom", "text/html", "\xEF\xBB\xBF<meta charset=koi8-r>", "UTF-8"},
        DetectCase{"Utf16LeBom", "text/html", "\xFF\xFE<\0h\0", "UTF-16LE"},
        DetectCase{"Meta", "text/html", "<meta charset=Shift_JIS>", "CP932"},
        DetectCase{"WrongHeaderLabelPassedOver", "text/html; charset=bogus",
                   "<meta charset=euc-jp>", "EUC-JP"},
        DetectCase{"WrongMetaLabelPassedOver", "", "<meta charset=bogus>caf\xE9", "WINDOWS-1252"},
        DetectCase{"MetaUtf16MeansUtf8", "", "<meta charset=utf-16>", "UTF-8"},
        DetectCase{"UndeclaredDefault", "text/html", "<p>caf\xE9</p>", "WINDOWS-1252"},
        DetectCase{"UndeclaredValidUtf8", "text/html", "<p>caf\xC3\xA9</p>", "UTF-8"},
        DetectCase{"UndeclaredUtf8CutMidCharacter", "text/html", "<p>caf\xC3\xA9 \xE2\x82",
                   "UTF-8"}),
    [](const auto& info) { return info.param.name; });

// --- conversion ---

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
        ConvertCase{"Windows1252", "caf\xE9 \x80 \x93q\x94", "WINDOWS-1252",
                    "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"},
        ConvertCase{"Windows1252Undefined", "a\x81z", "WINDOWS-1252", "a" + kFffd + "z"},
        ConvertCase{"ShiftJis", "\x83\x65\x83\x58\x83\x67\x93\xFA\x96\x7B", "CP932",
                    "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xE6\x97\xA5\xE6\x9C\xAC"},
        ConvertCase{"ShiftJisCutOffAtEnd", "ok\x83", "CP932", "ok" + kFffd},
        ConvertCase{"Utf8Valid", "caf\xC3\xA9 \xF0\x9F\x98\x80", "UTF-8",
                    "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        ConvertCase{"Utf8Invalid",
                    "a\xFF"
                    "b\xC0\xAF"
                    "c\xED\xA0\x80"
                    "d",
                    "UTF-8", "a" + kFffd + "b" + kFffd + kFffd + "c" + kFffd + kFffd + kFffd + "d"},
        ConvertCase{"Utf8CutOffAtEnd", "ab\xE2\x82", "UTF-8", "ab" + kFffd},
        ConvertCase{"Utf8BomDropped", "\xEF\xBB\xBFhi", "UTF-8", "hi"},
        ConvertCase{"Utf16LeWithBom", std::string("\xFF\xFEh\0i\0", 6), "UTF-16LE", "hi"},
        ConvertCase{"Utf16OddLength", std::string("h\0i", 3), "UTF-16LE", "h" + kFffd},
        ConvertCase{"NulKept", std::string("a\0b", 3), "UTF-8", std::string("a\0b", 3)}),
    [](const auto& info) { return info.param.name; });

TEST(ConvertToUtf8Test, BinaryGarbageNeverFails) {
    std::string garbage;
    unsigned state = 7;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 16);
    }
    for (const char* charset : {"UTF-8", "WINDOWS-1252", "CP932", "ISO-2022-JP", "UTF-16LE"}) {
        const std::string text = ConvertToUtf8(garbage, charset);
        EXPECT_FALSE(text.empty()) << charset;
        EXPECT_EQ(ConvertToUtf8(text, "UTF-8"), text) << charset << ": output is valid UTF-8";
    }
}

// --- whole pages: link texts and addresses come out right ---

TEST(DecodeHtmlTest, Windows1252PageLinksAndTexts) {
    const std::string page =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=windows-1252\"><title>Caf\xE9 \x93Men\xFC\x94</title></head>"
        "<body><a href=\"men\xFC.html#d\xE9j\xE0\">Men\xFC du jour</a></body></html>";
    const Document document =
        BuildHtmlDocument(DecodeHtml(page, "text/html"), "http://site.example/fr/");
    EXPECT_EQ(document.title, "Caf\xC3\xA9 \xE2\x80\x9CMen\xC3\xBC\xE2\x80\x9D");
    ASSERT_EQ(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].href, "http://site.example/fr/men%c3%bc.html#d%c3%a9j%c3%a0");
    EXPECT_EQ(document.links[0].hash, "#d\xC3\xA9j\xC3\xA0");
}

TEST(DecodeHtmlTest, WrongDeclaredCharsetStillGivesValidText) {
    const std::string page = "<meta charset=utf-8><a href='caf\xE9.html'>caf\xE9</a>";
    const Document document = BuildHtmlDocument(DecodeHtml(page, ""), "http://h/");
    ASSERT_EQ(document.links.size(), 1u);
    EXPECT_EQ(document.links[0].outerHTML, "<a href='caf" + kFffd + ".html'>caf" + kFffd + "</a>");
}

}  // namespace
}  // namespace quill::platform
