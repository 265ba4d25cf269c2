#include "cli/start_location.h"

#include <curl/curl.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "crawl/verdict_reasons.h"

namespace quill::cli {

namespace fs = std::filesystem;

namespace {

struct UrlHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};

// Why a URL cannot start a crawl: a scheme the crawl does not follow, or text libcurl cannot
// parse as a URL; "" when it can.
std::string CrawlProblem(const std::string& url) {
    if (const std::string problem = StartURLProblem(url); !problem.empty()) {
        return "'" + url + "': " + problem;
    }
    std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
    if (!handle) {
        return "out of memory";
    }
    const CURLUcode rc = curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0);
    if (rc != CURLUE_OK) {
        return "'" + url + "' is not a URL that can be crawled: " + curl_url_strerror(rc);
    }
    return "";
}

}  // namespace

bool HasUrlScheme(const std::string& text) {
    return !UrlScheme(text).empty();
}

StartLocation FileUrlFromAbsolutePath(const std::string& absolutePath) {
    std::unique_ptr<CURLU, UrlHandleDeleter> url(curl_url());
    if (!url) {
        return {"", "out of memory"};
    }
    CURLUcode rc = curl_url_set(url.get(), CURLUPART_SCHEME, "file", 0);
    if (rc == CURLUE_OK) {
        rc = curl_url_set(url.get(), CURLUPART_PATH, absolutePath.c_str(), CURLU_URLENCODE);
    }
    char* text = nullptr;
    if (rc == CURLUE_OK) {
        rc = curl_url_get(url.get(), CURLUPART_URL, &text, 0);
    }
    std::unique_ptr<char, CurlStringDeleter> owned(text);
    if (rc != CURLUE_OK || text == nullptr) {
        return {"", std::string("cannot make a file: URL of '") + absolutePath +
                        "': " + curl_url_strerror(rc)};
    }
    return {text, ""};
}

StartLocation ResolveStartLocation(const std::string& argument) {
    std::error_code ec;
    if (HasUrlScheme(argument)) {
        if (std::string problem = CrawlProblem(argument); !problem.empty()) {
            return {"", std::move(problem)};
        }
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

}  // namespace quill::cli
