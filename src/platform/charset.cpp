#include "platform/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <map>

#include "platform/ascii.h"

namespace quill::platform {
namespace {

constexpr std::size_t kMetaScanBytes = 1024;
constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr const char* kDefaultCharset = "WINDOWS-1252";

// The labels pages and servers use, as browsers read them.
const std::map<std::string, std::string, std::less<>>& LabelTable() {
    static const std::map<std::string, std::string, std::less<>> table = [] {
        std::map<std::string, std::string, std::less<>> labels;
        auto add = [&labels](std::initializer_list<const char*> names, const char* converter) {
            for (const char* name : names) {
                labels.emplace(name, converter);
            }
        };
        add({"unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "utf-8", "utf8",
             "x-unicode20utf8"},
            "UTF-8");
        add({"ansi_x3.4-1968", "ascii", "cp1252", "cp819", "csisolatin1", "ibm819", "iso-8859-1",
             "iso-ir-100", "iso8859-1", "iso88591", "iso_8859-1", "iso_8859-1:1987", "l1", "latin1",
             "us-ascii", "windows-1252", "x-cp1252"},
            kDefaultCharset);
        add({"csshiftjis", "ms932", "ms_kanji", "shift-jis", "shift_jis", "sjis", "windows-31j",
             "x-sjis"},
            "CP932");
        add({"cseucpkdfmtjapanese", "euc-jp", "x-euc-jp"}, "EUC-JP");
        add({"csiso2022jp", "iso-2022-jp"}, "ISO-2022-JP");
        add({"chinese", "csgb2312", "csiso58gb231280", "gb2312", "gb_2312", "gb_2312-80", "gbk",
             "iso-ir-58", "x-gbk", "gb18030"},
            "GB18030");
        add({"big5", "big5-hkscs", "cn-big5", "csbig5", "x-x-big5"}, "BIG5-HKSCS");
        add({"cseuckr", "csksc56011987", "euc-kr", "iso-ir-149", "korean", "ks_c_5601-1987",
             "ks_c_5601-1989", "ksc5601", "ksc_5601", "windows-949"},
            "CP949");
        add({"csunicode", "iso-10646-ucs-2", "ucs-2", "unicode", "unicodefeff", "utf-16",
             "utf-16le"},
            "UTF-16LE");
        add({"unicodefffe", "utf-16be"}, "UTF-16BE");
        add({"dos-874", "iso-8859-11", "iso8859-11", "iso885911", "tis-620", "windows-874"},
            "WINDOWS-874");
        add({"cskoi8r", "koi", "koi8", "koi8-r", "koi8_r"}, "KOI8-R");
        add({"koi8-ru", "koi8-u"}, "KOI8-U");
        add({"866", "cp866", "csibm866", "ibm866"}, "IBM866");
        add({"csmacintosh", "mac", "macintosh", "x-mac-roman"}, "MACINTOSH");
        add({"csisolatin5", "iso-8859-9", "iso-ir-148", "iso8859-9", "iso88599", "iso_8859-9",
             "iso_8859-9:1989", "l5", "latin5", "windows-1254", "cp1254", "x-cp1254"},
            "WINDOWS-1254");
        add({"csisolatin2", "iso-ir-101", "l2", "latin2"}, "ISO-8859-2");
        add({"csisolatin3", "iso-ir-109", "l3", "latin3"}, "ISO-8859-3");
        add({"csisolatin4", "iso-ir-110", "l4", "latin4"}, "ISO-8859-4");
        add({"csisolatincyrillic", "cyrillic", "iso-ir-144"}, "ISO-8859-5");
        add({"arabic", "asmo-708", "csiso88596e", "csiso88596i", "csisolatinarabic", "ecma-114",
             "iso-8859-6-e", "iso-8859-6-i", "iso-ir-127"},
            "ISO-8859-6");
        add({"csisolatingreek", "ecma-118", "elot_928", "greek", "greek8", "iso-ir-126",
             "sun_eu_greek"},
            "ISO-8859-7");
        add({"csiso88598e", "csisolatinhebrew", "hebrew", "iso-8859-8-e", "iso-ir-138", "visual",
             "csiso88598i", "iso-8859-8-i", "logical"},
            "ISO-8859-8");
        add({"csisolatin6", "iso-ir-157", "l6", "latin6"}, "ISO-8859-10");
        add({"l9"}, "ISO-8859-15");
        // iso-8859-N in its usual spellings, and windows-125N.
        for (int n : {2, 3, 4, 5, 6, 7, 8, 10, 13, 14, 15, 16}) {
            const std::string converter = "ISO-8859-" + std::to_string(n);
            const std::string number = std::to_string(n);
            for (const std::string& name : {"iso-8859-" + number, "iso8859-" + number,
                                            "iso8859" + number, "iso_8859-" + number}) {
                labels.emplace(name, converter);
            }
        }
        for (int n = 0; n <= 8; ++n) {
            if (n == 2 || n == 4) {
                continue;  // not in use: windows-1252 and windows-1254 are listed above
            }
            const std::string number = std::to_string(1250 + n);
            const std::string converter = "WINDOWS-" + number;
            for (const std::string& name : {"windows-" + number, "cp" + number, "x-cp" + number}) {
                labels.emplace(name, converter);
            }
        }
        return labels;
    }();
    return table;
}

// The value of `charset=` within a Content-Type or a meta content attribute; "" when absent.
std::string CharsetFromParameters(std::string_view text) {
    const std::string lower = AsciiLower(text);
    std::size_t at = 0;
    while ((at = lower.find("charset", at)) != std::string::npos) {
        std::size_t pos = at + 7;
        while (pos < text.size() && IsAsciiBlank(text[pos])) {
            ++pos;
        }
        if (pos >= text.size() || text[pos] != '=') {
            at += 7;
            continue;
        }
        ++pos;
        while (pos < text.size() && IsAsciiBlank(text[pos])) {
            ++pos;
        }
        if (pos >= text.size()) {
            return "";
        }
        if (text[pos] == '"' || text[pos] == '\'') {
            const char quote = text[pos];
            const std::size_t end = text.find(quote, pos + 1);
            if (end == std::string_view::npos) {
                return "";
            }
            return std::string(text.substr(pos + 1, end - pos - 1));
        }
        std::size_t end = pos;
        while (end < text.size() && !IsAsciiBlank(text[end]) && text[end] != ';') {
            ++end;
        }
        return std::string(text.substr(pos, end - pos));
    }
    return "";
}

// Reads one attribute of a tag in the pre-scan; false at the end of the tag or of the text.
bool NextAttribute(std::string_view text, std::size_t& pos, std::string& name, std::string& value) {
    name.clear();
    value.clear();
    while (pos < text.size() && (IsAsciiBlank(text[pos]) || text[pos] == '/')) {
        ++pos;
    }
    if (pos >= text.size() || text[pos] == '>') {
        return false;
    }
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '=' && !name.empty()) {
            break;
        }
        if (IsAsciiBlank(c) || c == '/' || c == '>') {
            break;
        }
        name += AsciiLower(c);
        ++pos;
    }
    while (pos < text.size() && IsAsciiBlank(text[pos])) {
        ++pos;
    }
    if (pos >= text.size() || text[pos] != '=') {
        return true;
    }
    ++pos;
    while (pos < text.size() && IsAsciiBlank(text[pos])) {
        ++pos;
    }
    if (pos >= text.size()) {
        return true;
    }
    if (text[pos] == '"' || text[pos] == '\'') {
        const char quote = text[pos];
        const std::size_t end = text.find(quote, pos + 1);
        if (end == std::string_view::npos) {
            value = std::string(text.substr(pos + 1));
            pos = text.size();
            return true;
        }
        value = std::string(text.substr(pos + 1, end - pos - 1));
        pos = end + 1;
        return true;
    }
    while (pos < text.size() && !IsAsciiBlank(text[pos]) && text[pos] != '>') {
        value += text[pos];
        ++pos;
    }
    return true;
}

// What a UTF-8 lead byte announces: how many continuation bytes follow (0 when the byte cannot
// start a sequence) and the range the first of them must lie in, which rules out overlong forms,
// surrogates and code points past U+10FFFF.
struct Utf8Lead {
    int need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

Utf8Lead ClassifyUtf8Lead(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (b >= 0xE0 && b <= 0xEF) {
        return {2, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
    }
    if (b >= 0xF0 && b <= 0xF4) {
        return {3, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
    }
    return {};
}

// Valid UTF-8 throughout, allowing a sequence cut off at the very end (a page still arriving),
// with at least one whole non-ASCII character.
bool LooksLikeUtf8(std::string_view bytes) {
    bool nonAscii = false;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const Utf8Lead lead = ClassifyUtf8Lead(b);
        if (lead.need == 0) {
            return false;
        }
        for (int k = 1; k <= lead.need; ++k) {
            if (i + k >= n) {
                return nonAscii;  // cut off at the end
            }
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if (c < (k == 1 ? lead.low : 0x80) || c > (k == 1 ? lead.high : 0xBF)) {
                return false;
            }
        }
        nonAscii = true;
        i += lead.need + 1;
    }
    return nonAscii;
}

// UTF-8 to UTF-8, each ill-formed subsequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            std::size_t run = i + 1;
            while (run < n && static_cast<unsigned char>(bytes[run]) < 0x80) {
                ++run;
            }
            out.append(bytes.data() + i, run - i);
            i = run;
            continue;
        }
        const Utf8Lead lead = ClassifyUtf8Lead(b);
        if (lead.need == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        int good = 0;
        for (int k = 1; k <= lead.need; ++k) {
            if (i + k >= n) {
                break;
            }
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if (c < (k == 1 ? lead.low : 0x80) || c > (k == 1 ? lead.high : 0xBF)) {
                break;
            }
            ++good;
        }
        if (good == lead.need) {
            out.append(bytes.data() + i, lead.need + 1);
        } else {
            out += kReplacement;
        }
        i += good + 1;
    }
    return out;
}

// Converts with iconv; false when the converter does not exist.
bool ConvertWithIconv(std::string_view bytes, const std::string& charset, std::string& out) {
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 2);
    char buffer[16384];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    bool done = false;
    while (!done) {
        char* outPos = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result = 0;
        if (inLeft > 0) {
            result = iconv(converter, &in, &inLeft, &outPos, &outLeft);
        } else {
            result = iconv(converter, nullptr, nullptr, &outPos, &outLeft);  // shift back to start
            done = true;
        }
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(outPos - buffer));
        if (result != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (error == E2BIG) {
            done = false;
        } else if (error == EILSEQ && inLeft > 0) {
            out += kReplacement;
            ++in;
            --inLeft;
            done = false;
        } else if (error == EINVAL && inLeft > 0) {
            out += kReplacement;  // a sequence cut off at the end
            inLeft = 0;
            done = false;
        } else {
            break;
        }
    }
    iconv_close(converter);
    return true;
}

void DropLeadingBom(std::string& text) {
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
}

}  // namespace

std::string CharsetParameter(std::string_view contentType) {
    const std::size_t semicolon = contentType.find(';');
    if (semicolon == std::string_view::npos) {
        return "";
    }
    return std::string(Trim(CharsetFromParameters(contentType.substr(semicolon + 1))));
}

std::string ResolveCharsetLabel(std::string_view label) {
    const std::string key = AsciiLower(Trim(label));
    const auto& table = LabelTable();
    const auto found = table.find(key);
    return found == table.end() ? "" : found->second;
}

std::string MetaCharsetLabel(std::string_view page) {
    const std::string_view text = page.substr(0, kMetaScanBytes);
    std::size_t pos = 0;
    std::string name;
    std::string value;
    while (pos < text.size()) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos) {
            break;
        }
        pos = lt;
        if (text.compare(pos, 4, "<!--") == 0) {
            const std::size_t end = text.find("-->", pos + 2);
            if (end == std::string_view::npos) {
                break;
            }
            pos = end + 3;
            continue;
        }
        if (StartsWithNoCase(text.substr(pos), "<meta") && pos + 5 < text.size() &&
            (IsAsciiBlank(text[pos + 5]) || text[pos + 5] == '/')) {
            pos += 5;
            bool gotPragma = false;
            bool needPragma = false;
            std::string charset;
            while (NextAttribute(text, pos, name, value)) {
                if (name == "http-equiv" && AsciiLower(Trim(value)) == "content-type") {
                    gotPragma = true;
                } else if (name == "content" && charset.empty()) {
                    charset = CharsetFromParameters(value);
                    needPragma = !charset.empty();
                } else if (name == "charset" && charset.empty()) {
                    charset = value;
                    needPragma = false;
                }
            }
            if (!charset.empty() && (!needPragma || gotPragma)) {
                return std::string(Trim(charset));
            }
            continue;
        }
        if (pos + 1 < text.size() &&
            (IsAsciiLetter(text[pos + 1]) ||
             (text[pos + 1] == '/' && pos + 2 < text.size() && IsAsciiLetter(text[pos + 2])))) {
            // Another tag: step over its name and attributes, whose values may hold a '<'.
            pos += text[pos + 1] == '/' ? 2 : 1;
            while (pos < text.size() && !IsAsciiBlank(text[pos]) && text[pos] != '>') {
                ++pos;
            }
            while (NextAttribute(text, pos, name, value)) {
            }
            continue;
        }
        if (text.compare(pos, 2, "<!") == 0 || text.compare(pos, 2, "</") == 0 ||
            text.compare(pos, 2, "<?") == 0) {
            const std::size_t end = text.find('>', pos + 2);
            if (end == std::string_view::npos) {
                break;
            }
            pos = end + 1;
            continue;
        }
        ++pos;
    }
    return "";
}

std::string DetectHtmlCharset(std::string_view contentType, std::string_view body) {
    const std::string fromHeader = ResolveCharsetLabel(CharsetParameter(contentType));
    if (!fromHeader.empty()) {
        return fromHeader;
    }
    if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return "UTF-8";
    }
    if (body.size() >= 2 && body.compare(0, 2, "\xFF\xFE") == 0) {
        return "UTF-16LE";
    }
    if (body.size() >= 2 && body.compare(0, 2, "\xFE\xFF") == 0) {
        return "UTF-16BE";
    }
    const std::string declared = AsciiLower(Trim(MetaCharsetLabel(body)));
    if (declared == "x-user-defined") {
        return kDefaultCharset;
    }
    std::string fromMeta = ResolveCharsetLabel(declared);
    if (fromMeta == "UTF-16LE" || fromMeta == "UTF-16BE") {
        // A page that can declare itself in ASCII bytes is not UTF-16, whatever it says.
        fromMeta = "UTF-8";
    }
    if (!fromMeta.empty()) {
        return fromMeta;
    }
    if (LooksLikeUtf8(body)) {
        return "UTF-8";
    }
    return kDefaultCharset;
}

std::string ConvertToUtf8(std::string_view bytes, const std::string& charset) {
    std::string out;
    if (charset == "UTF-8") {
        out = SanitizeUtf8(bytes);
    } else if (charset == "UTF-16LE" || charset == "UTF-16BE") {
        // The byte order mark of the other order would read as U+FFFE; skip ours before converting.
        const std::string_view bom = charset == "UTF-16LE" ? "\xFF\xFE" : "\xFE\xFF";
        if (bytes.substr(0, 2) == bom) {
            bytes.remove_prefix(2);
        }
        ConvertWithIconv(bytes, charset, out);
    } else if (!ConvertWithIconv(bytes, charset, out)) {
        ConvertWithIconv(bytes, kDefaultCharset, out);
    }
    DropLeadingBom(out);
    return out;
}

std::string DecodeHtml(std::string_view body, std::string_view contentType) {
    return ConvertToUtf8(body, DetectHtmlCharset(contentType, body));
}

}  // namespace quill::platform
