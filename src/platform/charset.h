// Decides which character set an HTML page is written in and turns its bytes into UTF-8 text, the
// form the document builder reads. Conversion never fails: bytes that do not decode become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace quill::platform {

// The charset parameter of a Content-Type value ("text/html; charset=Shift_JIS" gives
// "Shift_JIS"); "" when there is none.
std::string CharsetParameter(std::string_view contentType);

// The converter name for a charset label as servers and pages write it (letter case and
// surrounding blanks ignored): "UTF-8", "WINDOWS-1252", "CP932"...; "" for a label we cannot
// decode. Latin-1 and ASCII labels give WINDOWS-1252, as browsers read them.
std::string ResolveCharsetLabel(std::string_view label);

// The label declared by a <meta charset> or <meta http-equiv="Content-Type" content="...">
// within the first 1,024 bytes of a page; "" when there is none.
std::string MetaCharsetLabel(std::string_view page);

// The converter name for a page: the Content-Type's charset, else a byte order mark, else a
// <meta> declaration, else UTF-8 when the bytes are valid UTF-8 with some non-ASCII text in them,
// else WINDOWS-1252. Labels we cannot decode are passed over.
std::string DetectHtmlCharset(std::string_view contentType, std::string_view body);

// `bytes` in the given character set (a converter name; an unknown one reads as WINDOWS-1252) as
// UTF-8. Undecodable bytes and a sequence cut off at the end become U+FFFD; a leading byte order
// mark is dropped.
std::string ConvertToUtf8(std::string_view bytes, const std::string& charset);

// DetectHtmlCharset and ConvertToUtf8 in one.
std::string DecodeHtml(std::string_view body, std::string_view contentType);

}  // namespace quill::platform
