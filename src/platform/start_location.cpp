#include "platform/start_location.h"

#include <filesystem>
#include <system_error>

#include "platform/ascii.h"
#include "platform/curl_url.h"

namespace quill {

namespace fs = std::filesystem;

bool HasUrlScheme(const std::string& text) {
    return !platform::WellFormedSchemeOf(text).empty();
}

StartLocation FileUrlFromAbsolutePath(const std::string& absolutePath) {
    platform::CurlUrl url;
    if (!url) {
        return {"", "out of memory"};
    }
    CURLUcode rc = url.Set(CURLUPART_SCHEME, "file");
    if (rc == CURLUE_OK) {
        rc = url.Set(CURLUPART_PATH, absolutePath, CURLU_URLENCODE);
    }
    char* text = nullptr;
    if (rc == CURLUE_OK) {
        rc = curl_url_get(url.get(), CURLUPART_URL, &text, 0);
    }
    if (rc != CURLUE_OK || text == nullptr) {
        return {"", std::string("cannot make a file: URL of '") + absolutePath +
                        "': " + curl_url_strerror(rc)};
    }
    StartLocation made{text, ""};
    curl_free(text);
    return made;
}

StartLocation ResolveStartLocation(const std::string& argument) {
    std::error_code ec;
    if (HasUrlScheme(argument)) {
        return {argument, ""};
    }
    if (!fs::exists(argument, ec)) {
        return {"", "'" + argument +
                        "' is neither a URL (such as http://host/page.html) nor an existing file "
                        "or directory"};
    }
    fs::path path = fs::absolute(argument, ec);
    if (ec) {
        return {"", "cannot find the absolute path of '" + argument + "': " + ec.message()};
    }
    path = path.lexically_normal();
    if (!fs::is_directory(path, ec)) {
        return FileUrlFromAbsolutePath(path.string());
    }
    for (const char* index : {"index.html", "index.htm"}) {
        if (fs::is_regular_file(path / index, ec)) {
            return FileUrlFromAbsolutePath((path / index).string());
        }
    }
    std::string directory = path.string();
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return FileUrlFromAbsolutePath(directory);
}

}  // namespace quill
