// quill-bench-site: a synthetic web site on a loopback HTTP/1.1 server, for timing link checkers.
// Generates a deterministic site in memory (pages, images, fragments, some of them broken), adds a
// fixed latency to every request, counts requests at /__stats and writes the broken-URL ground
// truth. Run `quill-bench-site --help` for the options; bench/lookahead/run.sh drives it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Options

struct Options {
    int pages = 1000;
    int latencyMs = 20;
    std::uint64_t seed = 1;
    int port = 0;
    std::string portFile;
    std::string truthFile;
    std::string manifestFile;
};

constexpr char kUsage[] = R"(Usage: quill-bench-site [options]

Serves a generated web site on 127.0.0.1 for link-checker benchmarks.

Options:
  --pages N          number of HTML pages, the start page / included
                     (default 1000)
  --latency MS       delay added before every answer (default 20)
  --seed S           seed of the generated site (default 1)
  --port P           port to listen on (default 0 = any free port)
  --port-file FILE   write the port number to FILE once the server listens
                     (written last, after the truth and manifest files)
  --truth FILE       write the URLs a correct checker reports broken, one a line,
                     sorted
  --manifest FILE    write every broken URL with its kind, tab-separated:
                     missing-page, missing-image, missing-fragment (linked
                     from its own page, among others), missing-fragment-
                     other-page (linked from other pages only),
                     fragment-of-missing-page
  -h, --help         show this help

The port is printed on standard output as "port N". GET /__stats answers with
the request counts (not delayed, not counted itself).
)";

std::optional<long long> ParseNumber(const std::string& text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Returns false (after a message) on a bad command line; exits on --help.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::cerr << "quill-bench-site: " << arg << " needs a value (or is unknown)\n";
            return false;
        }
        const std::string value = argv[++i];
        const auto number = ParseNumber(value);
        auto needNumber = [&](long long low, long long high) {
            if (!number || *number < low || *number > high) {
                std::cerr << "quill-bench-site: " << arg << " needs a number from " << low << " to "
                          << high << ", got '" << value << "'\n";
                return false;
            }
            return true;
        };
        if (arg == "--pages") {
            if (!needNumber(1, 1000000)) {
                return false;
            }
            options.pages = static_cast<int>(*number);
        } else if (arg == "--latency") {
            if (!needNumber(0, 60000)) {
                return false;
            }
            options.latencyMs = static_cast<int>(*number);
        } else if (arg == "--seed") {
            if (!needNumber(0, INT64_MAX)) {
                return false;
            }
            options.seed = static_cast<std::uint64_t>(*number);
        } else if (arg == "--port") {
            if (!needNumber(0, 65535)) {
                return false;
            }
            options.port = static_cast<int>(*number);
        } else if (arg == "--port-file") {
            options.portFile = value;
        } else if (arg == "--truth") {
            options.truthFile = value;
        } else if (arg == "--manifest") {
            options.manifestFile = value;
        } else {
            std::cerr << "quill-bench-site: unknown option '" << arg << "'\n";
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The generated site

// splitmix64: the same sequence on every platform and standard library, unlike the std
// distributions, so a seed always gives the same site.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform enough in [0, n) for the small n used here.
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

  private:
    std::uint64_t state_;
};

struct Resource {
    std::string contentType;
    std::string body;
};

// Each page holds named anchors part-1..part-<names> and ids sec-1..sec-<ids> (1 to 3 of each);
// a fragment link names one of them, or now and then a number just past them, which misses.
constexpr int kMissingFragmentPercent = 15;
constexpr int kTreeFanOut = 4;
constexpr int kPageLinksPerPage = 7;
constexpr int kImagesPerPage = 5;
constexpr int kMissingImageShare = 8;  // one image of the pool in 8 is missing
constexpr int kMissingPageLinkPercent = 35;
constexpr int kFragmentOfMissingPagePercent = 8;

// A 1x1 transparent PNG.
constexpr unsigned char kPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// The number of the part-/sec- target a fragment link names, given how many the page has.
int FragmentChoice(int present, Random& random) {
    if (random.Chance(kMissingFragmentPercent)) {
        return present + 1 + random.Below(2);
    }
    return 1 + random.Below(present);
}

class Site {
  public:
    Site(int pageCount, std::uint64_t seed);

    const Resource* Find(const std::string& path) const {
        const auto it = resources_.find(path);
        return it == resources_.end() ? nullptr : &it->second;
    }
    // Broken paths (fragment included) with their kind, sorted by path.
    const std::map<std::string, std::string>& Broken() const { return broken_; }
    int PageCount() const { return static_cast<int>(pageNames_.size()); }
    int LinkCount() const { return linkCount_; }
    int ImageCount() const { return imageCount_; }
    int ImagePoolSize() const { return static_cast<int>(imagePaths_.size()); }

  private:
    static std::string PagePath(int index);
    // The href of a page as written on page `from`: relative for tree links, else root-relative.
    std::string PageHref(int from, int to, bool relative) const;
    std::string MakePage(int index, Random& random);

    std::vector<std::string> pageNames_;
    std::vector<int> namedAnchors_;  // per page: part-1..part-n exist
    std::vector<int> idTargets_;     // per page: sec-1..sec-n exist
    std::vector<std::string> imagePaths_;
    std::vector<bool> imagePresent_;
    std::vector<std::string> missingPages_;
    std::map<std::string, Resource> resources_;
    std::map<std::string, std::string> broken_;
    int linkCount_ = 0;
    int imageCount_ = 0;
};

std::string Site::PagePath(int index) {
    if (index == 0) {
        return "/";  // the start page is the site's root, as most sites have it
    }
    char name[32];
    std::snprintf(name, sizeof name, "/p/%05d.html", index);
    return name;
}

std::string Site::PageHref(int from, int to, bool relative) const {
    const std::string& path = pageNames_[static_cast<std::size_t>(to)];
    if (!relative) {
        return path;
    }
    if (to == 0) {
        return from == 0 ? "./" : "../";
    }
    if (from == 0) {
        return path.substr(1);  // "p/00001.html" from /
    }
    return path.substr(3);  // "00002.html" from /p/00001.html
}

Site::Site(int pageCount, std::uint64_t seed) {
    Random random(seed);
    for (int i = 0; i < pageCount; ++i) {
        pageNames_.push_back(PagePath(i));
        namedAnchors_.push_back(1 + random.Below(3));
        idTargets_.push_back(1 + random.Below(3));
    }
    const int imagePool = std::max(20, pageCount / 4);
    for (int i = 0; i < imagePool; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/img/i%05d.png", i);
        imagePaths_.push_back(name);
    }
    imagePresent_.assign(imagePaths_.size(), true);
    for (int missing = 0; missing < imagePool / kMissingImageShare;) {
        const auto image = static_cast<std::size_t>(random.Below(imagePool));
        if (imagePresent_[image]) {
            imagePresent_[image] = false;
            ++missing;
        }
    }
    const int missingPool = std::max(5, pageCount / 20);
    for (int i = 0; i < missingPool; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/gone/g%05d.html", i);
        missingPages_.push_back(name);
    }

    for (int i = 0; i < pageCount; ++i) {
        resources_[pageNames_[static_cast<std::size_t>(i)]] =
            Resource{"text/html; charset=utf-8", MakePage(i, random)};
    }
    for (int i = 0; i < imagePool; ++i) {
        if (imagePresent_[static_cast<std::size_t>(i)]) {
            resources_[imagePaths_[static_cast<std::size_t>(i)]] = Resource{
                "image/png", std::string(reinterpret_cast<const char*>(kPng), sizeof kPng)};
        }
    }
    resources_["/site.css"] =
        Resource{"text/css", "body { font-family: sans-serif; }\nh2 { color: #333; }\n"};
    resources_["/site.js"] =
        Resource{"application/javascript", "document.documentElement.className = 'js';\n"};
}

std::string Site::MakePage(int index, Random& random) {
    const std::string& self = pageNames_[static_cast<std::size_t>(index)];
    std::vector<std::string> links;  // hrefs, in the order they will appear
    // A URL linked from its own page anywhere is a same-page fragment, whatever links it first.
    auto addBroken = [&](const std::string& path, const char* kind) {
        const auto [it, added] = broken_.emplace(path, kind);
        if (!added && std::string_view(kind) == "missing-fragment") {
            it->second = kind;
        }
    };

    // Tree links make every page reachable from /; random links fill up to a fixed count.
    int pageLinks = 0;
    for (int c = 1; c <= kTreeFanOut; ++c) {
        const long long child = static_cast<long long>(index) * kTreeFanOut + c;
        if (child < PageCount()) {
            links.push_back(PageHref(index, static_cast<int>(child), true));
            ++pageLinks;
        }
    }
    for (; pageLinks < kPageLinksPerPage; ++pageLinks) {
        links.push_back(PageHref(index, random.Below(PageCount()), false));
    }

    // A fragment of this page, written as "#name".
    {
        const bool byName = random.Chance(50);
        const int present = byName ? namedAnchors_[static_cast<std::size_t>(index)]
                                   : idTargets_[static_cast<std::size_t>(index)];
        const int choice = FragmentChoice(present, random);
        const std::string name = (byName ? "part-" : "sec-") + std::to_string(choice);
        links.push_back("#" + name);
        if (choice > present) {
            addBroken(self + "#" + name, "missing-fragment");
        }
    }
    // A fragment of another page (or, now and then, of a page that does not exist).
    if (random.Chance(kFragmentOfMissingPagePercent)) {
        const std::string& gone = missingPages_[static_cast<std::size_t>(
            random.Below(static_cast<int>(missingPages_.size())))];
        const std::string href = gone + "#part-1";
        links.push_back(href);
        addBroken(href, "fragment-of-missing-page");
    } else {
        const int target = random.Below(PageCount());
        const bool byName = random.Chance(50);
        const int present = byName ? namedAnchors_[static_cast<std::size_t>(target)]
                                   : idTargets_[static_cast<std::size_t>(target)];
        const int choice = FragmentChoice(present, random);
        const std::string name = (byName ? "part-" : "sec-") + std::to_string(choice);
        const std::string path = pageNames_[static_cast<std::size_t>(target)] + "#" + name;
        links.push_back(path);
        if (choice > present) {
            addBroken(path, target == index ? "missing-fragment" : "missing-fragment-other-page");
        }
    }
    if (random.Chance(kMissingPageLinkPercent)) {
        const std::string& gone = missingPages_[static_cast<std::size_t>(
            random.Below(static_cast<int>(missingPages_.size())))];
        links.push_back(gone);
        addBroken(gone, "missing-page");
    }
    // Mix the kinds so that no checker meets them in a fixed pattern.
    for (std::size_t i = links.size(); i > 1; --i) {
        std::swap(links[i - 1], links[static_cast<std::size_t>(random.Below(static_cast<int>(i)))]);
    }
    linkCount_ += static_cast<int>(links.size());

    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<title>Page " << index << "</title>\n"
         << "<link rel=\"stylesheet\" href=\"/site.css\">\n"
         << "<script src=\"/site.js\"></script>\n</head>\n<body>\n"
         << "<h1><a name=\"top\">Page " << index << "</a></h1>\n";
    const int names = namedAnchors_[static_cast<std::size_t>(index)];
    const int ids = idTargets_[static_cast<std::size_t>(index)];
    std::size_t next = 0;
    const int sections = std::max(names, ids);
    for (int s = 1; s <= sections; ++s) {
        if (s <= ids) {
            html << "<h2 id=\"sec-" << s << "\">Section " << s << "</h2>\n";
        } else {
            html << "<h2>Section " << s << "</h2>\n";
        }
        if (s <= names) {
            html << "<p><a name=\"part-" << s << "\">Part " << s << "</a> of page " << index
                 << ".</p>\n";
        }
        html << "<ul>\n";
        // Spread the links over the sections.
        const std::size_t share = (links.size() + static_cast<std::size_t>(sections) - 1) /
                                  static_cast<std::size_t>(sections);
        for (std::size_t k = 0; k < share && next < links.size(); ++k, ++next) {
            html << "<li><a href=\"" << links[next] << "\">Link " << next << "</a></li>\n";
        }
        html << "</ul>\n";
    }
    for (int m = 0; m < kImagesPerPage; ++m) {
        const int image = random.Below(static_cast<int>(imagePaths_.size()));
        const std::string& path = imagePaths_[static_cast<std::size_t>(image)];
        html << "<img src=\"" << path << "\" alt=\"Picture " << image
             << "\" width=\"1\" height=\"1\">\n";
        if (!imagePresent_[static_cast<std::size_t>(image)]) {
            addBroken(path, "missing-image");
        }
    }
    imageCount_ += kImagesPerPage;
    html << "</body>\n</html>\n";
    return html.str();
}

// ---------------------------------------------------------------------------------------------
// The server

class Server {
  public:
    Server(const Site& site, int latencyMs) : site_(site), latencyMs_(latencyMs) {}

    // Binds to 127.0.0.1; returns the port, or -1 after a message.
    int Listen(int port);
    void AcceptForever();

  private:
    struct Request {
        std::string method;
        std::string target;
        bool keepAlive = true;
    };

    void Serve(int fd);
    std::string Answer(const Request& request);
    std::string StatsText() const;
    static void RaisePeak(std::atomic<int>& peak, int value);

    const Site& site_;
    const int latencyMs_;
    int listenFd_ = -1;

    std::atomic<long long> getCount_{0};
    std::atomic<long long> headCount_{0};
    std::atomic<long long> otherCount_{0};
    std::atomic<long long> okCount_{0};
    std::atomic<long long> notFoundCount_{0};
    std::atomic<long long> connectionCount_{0};
    std::atomic<int> openConnections_{0};
    std::atomic<int> openConnectionsPeak_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> inFlightPeak_{0};
};

int Server::Listen(int port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        std::perror("quill-bench-site: socket");
        return -1;
    }
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("quill-bench-site: bind");
        return -1;
    }
    if (::listen(listenFd_, 1024) != 0) {
        std::perror("quill-bench-site: listen");
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void Server::AcceptForever() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                continue;
            }
            std::perror("quill-bench-site: accept");
            return;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        try {
            std::thread([this, fd] { Serve(fd); }).detach();
        } catch (const std::system_error&) {
            ::close(fd);  // No thread to be had: the client sees the connection close.
        }
    }
}

void Server::RaisePeak(std::atomic<int>& peak, int value) {
    int seen = peak.load();
    while (value > seen && !peak.compare_exchange_weak(seen, value)) {
    }
}

bool SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

void Server::Serve(int fd) {
    ++connectionCount_;
    RaisePeak(openConnectionsPeak_, ++openConnections_);
    constexpr std::size_t kMaxHead = 64 * 1024;
    constexpr int kIdleMs = 120000;  // a client that keeps a connection idle this long is dropped
    std::string buffer;
    char chunk[16384];
    bool open = true;
    while (open) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (buffer.size() > kMaxHead) {
                SendAll(fd,
                        "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: 0\r\n"
                        "Connection: close\r\n\r\n");
                open = false;
                break;
            }
            pollfd waiting{fd, POLLIN, 0};
            if (::poll(&waiting, 1, kIdleMs) <= 0) {
                open = false;
                break;
            }
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                open = false;
                break;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        if (!open) {
            break;
        }

        const std::string_view head(buffer.data(), headEnd);
        const std::size_t lineEnd = head.find("\r\n");
        const std::string_view requestLine = head.substr(0, lineEnd);
        Request request;
        const std::size_t space1 = requestLine.find(' ');
        const std::size_t space2 = requestLine.rfind(' ');
        if (space1 == std::string_view::npos || space2 == space1) {
            SendAll(fd,
                    "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            break;
        }
        request.method = std::string(requestLine.substr(0, space1));
        request.target = std::string(requestLine.substr(space1 + 1, space2 - space1 - 1));
        const std::string_view version = requestLine.substr(space2 + 1);
        request.keepAlive = version != "HTTP/1.0";
        std::size_t bodyLength = 0;
        std::size_t position = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
        while (position < head.size()) {
            std::size_t next = head.find("\r\n", position);
            if (next == std::string_view::npos) {
                next = head.size();
            }
            const std::string_view line = head.substr(position, next - position);
            position = next + 2;
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos) {
                continue;
            }
            const std::string name = Lower(Trim(line.substr(0, colon)));
            const std::string value = Lower(Trim(line.substr(colon + 1)));
            if (name == "connection") {
                if (value.find("close") != std::string::npos) {
                    request.keepAlive = false;
                } else if (value.find("keep-alive") != std::string::npos) {
                    request.keepAlive = true;
                }
            } else if (name == "content-length") {
                bodyLength = static_cast<std::size_t>(ParseNumber(value).value_or(0));
            }
        }
        // Drop the head and any request body; what follows is the next pipelined request.
        std::size_t consumed = headEnd + 4;
        while (buffer.size() < consumed + bodyLength) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        if (!open) {
            break;
        }
        buffer.erase(0, consumed + bodyLength);

        const std::string response = Answer(request);
        if (!SendAll(fd, response)) {
            break;
        }
        open = request.keepAlive;
    }
    ::close(fd);
    --openConnections_;
}

std::string Server::Answer(const Request& request) {
    std::string path = request.target;
    if (const std::size_t query = path.find('?'); query != std::string::npos) {
        path.erase(query);
    }
    const bool isHead = request.method == "HEAD";
    const char* connection = request.keepAlive ? "keep-alive" : "close";

    if (path == "/__stats" && request.method == "GET") {
        const std::string body = StatsText();
        return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
               std::to_string(body.size()) +
               "\r\nCache-Control: no-store\r\nConnection: " + connection + "\r\n\r\n" + body;
    }

    RaisePeak(inFlightPeak_, ++inFlight_);
    if (request.method == "GET") {
        ++getCount_;
    } else if (isHead) {
        ++headCount_;
    } else {
        ++otherCount_;
    }
    if (latencyMs_ > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
    }

    std::string status;
    std::string contentType = "text/plain";
    std::string body;
    std::string extra;
    if (request.method != "GET" && !isHead) {
        status = "405 Method Not Allowed";
        body = "Method Not Allowed\n";
        extra = "Allow: GET, HEAD\r\n";
    } else if (const Resource* resource = site_.Find(path)) {
        status = "200 OK";
        contentType = resource->contentType;
        body = resource->body;
        ++okCount_;
    } else {
        status = "404 Not Found";
        contentType = "text/html; charset=utf-8";
        body =
            "<!DOCTYPE html>\n<html><head><title>Not Found</title></head>"
            "<body><h1>Not Found</h1></body></html>\n";
        ++notFoundCount_;
    }
    std::string response = "HTTP/1.1 " + status +
                           "\r\nServer: quill-bench-site\r\nContent-Type: " + contentType +
                           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
                           "Connection: " + connection + "\r\n\r\n";
    if (!isHead) {
        response += body;
    }
    --inFlight_;
    return response;
}

std::string Server::StatsText() const {
    std::ostringstream text;
    text << "requests " << getCount_ + headCount_ + otherCount_ << "\n"
         << "GET " << getCount_ << "\n"
         << "HEAD " << headCount_ << "\n"
         << "other " << otherCount_ << "\n"
         << "status_200 " << okCount_ << "\n"
         << "status_404 " << notFoundCount_ << "\n"
         << "connections " << connectionCount_ << "\n"
         << "connections_open " << openConnections_ << "\n"
         << "connections_open_peak " << openConnectionsPeak_ << "\n"
         << "in_flight_peak " << inFlightPeak_ << "\n"
         << "latency_ms " << latencyMs_ << "\n"
         << "pages " << site_.PageCount() << "\n";
    return text.str();
}

// Writes through a temporary file and a rename, so a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) {
            std::cerr << "quill-bench-site: cannot write '" << temporary << "'\n";
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::cerr << "quill-bench-site: cannot rename to '" << path << "': " << std::strerror(errno)
                  << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "Try 'quill-bench-site --help'.\n";
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);

    const Site site(options.pages, options.seed);
    Server server(site, options.latencyMs);
    const int port = server.Listen(options.port);
    if (port < 0) {
        return 1;
    }
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);

    std::map<std::string, int> kinds;
    std::string truth;
    std::string manifest;
    for (const auto& [path, kind] : site.Broken()) {
        ++kinds[kind];
        manifest += kind + "\t" + origin + path + "\n";
    }
    std::vector<std::string> urls;
    for (const auto& entry : site.Broken()) {
        urls.push_back(origin + entry.first);
    }
    std::sort(urls.begin(), urls.end());
    for (const std::string& url : urls) {
        truth += url + "\n";
    }
    if (!options.truthFile.empty() && !WriteFileAtomically(options.truthFile, truth)) {
        return 1;
    }
    if (!options.manifestFile.empty() && !WriteFileAtomically(options.manifestFile, manifest)) {
        return 1;
    }
    if (!options.portFile.empty() &&
        !WriteFileAtomically(options.portFile, std::to_string(port) + "\n")) {
        return 1;
    }

    std::cerr << "quill-bench-site: " << site.PageCount() << " pages, " << site.LinkCount()
              << " links, " << site.ImageCount() << " images from a pool of "
              << site.ImagePoolSize() << ", " << site.Broken().size() << " broken URLs (";
    const char* separator = "";
    for (const auto& [kind, count] : kinds) {
        std::cerr << separator << kind << " " << count;
        separator = ", ";
    }
    std::cerr << "); latency " << options.latencyMs << " ms; start URL " << origin << "/\n";
    std::cout << "port " << port << std::endl;

    server.AcceptForever();
    return 1;
}
