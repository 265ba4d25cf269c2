#include "platform/file_responder.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/curl_url.h"

namespace quill::platform {
namespace {

// The decoded local path of a file: URL, or nullopt with `error` set when the URL is not one we
// can answer at all.
std::optional<std::string> LocalPathOf(const std::string& url, std::string& error,
                                       bool& unreadable) {
    CurlUrl handle;
    if (!handle) {
        error = "out of memory";
        return std::nullopt;
    }
    const CURLUcode parsed = handle.Set(CURLUPART_URL, url);
    if (parsed != CURLUE_OK) {
        error = std::string("bad file URL: ") + curl_url_strerror(parsed);
        return std::nullopt;
    }
    const std::optional<std::string> scheme = handle.Get(CURLUPART_SCHEME);
    if (!scheme) {
        error = "bad file URL";
        return std::nullopt;
    }
    if (AsciiLower(*scheme) != "file") {
        error = "not a file URL";
        return std::nullopt;
    }
    const std::string host = AsciiLower(handle.Get(CURLUPART_HOST).value_or(""));
    if (!host.empty() && host != "localhost") {
        error = "file URL names another host";
        return std::nullopt;
    }
    // Decoding fails for paths that hold an encoded NUL; no such file can exist.
    const std::optional<std::string> path = handle.Get(CURLUPART_PATH, CURLU_URLDECODE);
    if (!path) {
        unreadable = true;
        return std::string();
    }
    return *path;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void AnswerNotFound(Transfer& transfer) {
    const std::string url = transfer.Request().url;
    transfer.BeginResponse("HTTP/1.0 404 Not Found\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(404, url, "", std::nullopt, true);
    transfer.Finish(std::chrono::steady_clock::now());
}

}  // namespace

std::string ContentTypeForFileName(const std::string& path) {
    static constexpr std::array<std::pair<const char*, const char*>, 22> kTypes{{
        {".htm", "text/html"},
        {".html", "text/html"},
        {".xhtml", "application/xhtml+xml"},
        {".xht", "application/xhtml+xml"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".mjs", "text/javascript"},
        {".txt", "text/plain"},
        {".xml", "application/xml"},
        {".json", "application/json"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".bmp", "image/bmp"},
        {".ico", "image/x-icon"},
        {".svg", "image/svg+xml"},
        {".webp", "image/webp"},
        {".pdf", "application/pdf"},
        {".zip", "application/zip"},
        {".class", "application/java-vm"},
        {".jar", "application/java-archive"},
    }};
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "application/octet-stream";
    }
    const std::string extension = AsciiLower(path.substr(dot));
    for (const auto& [known, type] : kTypes) {
        if (extension == known) {
            return type;
        }
    }
    return "application/octet-stream";
}

void RespondFromFile(Transfer& transfer) {
    const TransferRequest& request = transfer.Request();
    std::string error;
    bool unreadable = false;
    std::optional<std::string> path = LocalPathOf(request.url, error, unreadable);
    if (!path) {
        transfer.Finish(std::chrono::steady_clock::now(), error);
        return;
    }
    // Only absolute paths: a relative one would depend on where the program was started.
    if (unreadable || path->empty() || path->front() != '/') {
        AnswerNotFound(transfer);
        return;
    }
    if (IsDirectory(*path)) {
        if (path->back() != '/') {
            path->push_back('/');
        }
        path->append("index.html");
    }
    if (!IsRegularFile(*path)) {
        AnswerNotFound(transfer);
        return;
    }
    std::ifstream file(*path, std::ios::binary);
    if (!file) {
        AnswerNotFound(transfer);
        return;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0 || !file) {
        AnswerNotFound(transfer);
        return;
    }

    const std::string contentType = ContentTypeForFileName(*path);
    transfer.BeginResponse("HTTP/1.0 200 OK\r\n");
    transfer.AppendHeaderLine("Content-Length: " + std::to_string(size) + "\r\n");
    transfer.AppendHeaderLine("Content-Type: " + contentType + "\r\n");
    transfer.AppendHeaderLine("\r\n");
    transfer.EndHeaders(200, request.url, contentType, static_cast<long long>(size), true);

    const bool wantsBody =
        request.method != "HEAD" && !(request.htmlBodyOnly && !IsHtmlContentType(contentType));
    if (wantsBody) {
        std::size_t remaining =
            std::min<std::size_t>(static_cast<std::size_t>(size), request.maxBodyBytes);
        std::vector<char> buffer(64 * 1024);
        while (remaining > 0 && file) {
            file.read(buffer.data(),
                      static_cast<std::streamsize>(std::min(buffer.size(), remaining)));
            const std::streamsize got = file.gcount();
            if (got <= 0) {
                break;
            }
            transfer.AppendBody(buffer.data(), static_cast<std::size_t>(got));
            remaining -= static_cast<std::size_t>(got);
        }
    }
    transfer.Finish(std::chrono::steady_clock::now());
}

}  // namespace quill::platform
