// Text from the web made safe for a terminal: a page can put CR, LF, ESC and other control
// characters into a URL, which printed raw could forge result lines or drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace quill::cli {

// The text with every control character (0x00-0x1F, 0x7F) written as %XX, e.g. CR as %0D.
std::string Printable(std::string_view text);

}  // namespace quill::cli
