// Answers file: URLs from the local disk the way a static web server would, so pages on disk can be
// crawled like a site. The transfer engine calls it only while file access is switched on.
#pragma once

#include <string>

#include "platform/transfer.h"

namespace quill::platform {

// The Content-Type a static server gives a file, by its extension (letter case ignored);
// "application/octet-stream" for anything it does not know.
std::string ContentTypeForFileName(const std::string& path);

// Fills in and finishes `transfer`, whose request URL is a file: URL: "HTTP/1.0 200 OK" with
// Content-Length and Content-Type for a readable regular file (a directory answers with its
// index.html), "HTTP/1.0 404 Not Found" for anything else. A URL naming another host than
// "localhost" or one that cannot be parsed finishes with an error and no response.
void RespondFromFile(Transfer& transfer);

}  // namespace quill::platform
