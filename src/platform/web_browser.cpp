#include "platform/web_browser.h"

#include <curl/curl.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/charset.h"
#include "platform/html_document_builder.h"
#include "platform/image_file_sizes.h"

namespace quill::platform {
namespace {

std::string ToLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string WithoutFragment(const std::string& url) {
    return url.substr(0, url.find('#'));
}

// "#..." as written at the end of the URL; "" when it has none.
std::string FragmentOf(const std::string& url) {
    const std::size_t hash = url.find('#');
    return hash == std::string::npos ? "" : url.substr(hash);
}

std::string SchemeOf(const std::string& url) {
    const std::size_t colon = url.find(':');
    return colon == std::string::npos ? "" : ToLower(url.substr(0, colon));
}

bool IsHtmlType(const std::string& contentType) {
    std::string media = ToLower(contentType.substr(0, contentType.find(';')));
    const std::size_t first = media.find_first_not_of(" \t");
    const std::size_t last = media.find_last_not_of(" \t");
    media = first == std::string::npos ? "" : media.substr(first, last - first + 1);
    return media == "text/html" || media == "application/xhtml+xml";
}

// The parts of a URL that name the resource, as libcurl reads them; nothing when it cannot.
std::optional<std::vector<std::string>> ResourceParts(const std::string& url) {
    CURLU* handle = curl_url();
    if (handle == nullptr) {
        return std::nullopt;
    }
    std::optional<std::vector<std::string>> parts;
    const unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE;
    if (curl_url_set(handle, CURLUPART_URL, url.c_str(), flags) == CURLUE_OK) {
        parts.emplace();
        for (const CURLUPart part :
             {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT, CURLUPART_PATH, CURLUPART_QUERY}) {
            char* text = nullptr;
            const unsigned getFlags = part == CURLUPART_PORT ? CURLU_DEFAULT_PORT : 0;
            if (curl_url_get(handle, part, &text, getFlags) == CURLUE_OK && text != nullptr) {
                const bool caseless = part == CURLUPART_SCHEME || part == CURLUPART_HOST;
                parts->push_back(caseless ? ToLower(text) : std::string(text));
                curl_free(text);
            } else {
                parts->push_back("");
            }
        }
    }
    curl_url_cleanup(handle);
    return parts;
}

// Did the response come from the address asked for, however the engine spells it?
bool SameResource(const std::string& asked, const std::string& answered) {
    if (WithoutFragment(asked) == WithoutFragment(answered)) {
        return true;
    }
    const auto askedParts = ResourceParts(WithoutFragment(asked));
    const auto answeredParts = ResourceParts(WithoutFragment(answered));
    return askedParts && answeredParts && *askedParts == *answeredParts;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace

// One page load: the transfer, then the page it commits to, then the whole document.
class BrowserPageLoad final : public PageLoad {
  public:
    enum class Phase { Requesting, Committed, Complete };

    struct Settings {
        bool offline = false;
        int timeoutSeconds = 60;
        std::shared_ptr<FileSizeSource> sizes;
    };

    BrowserPageLoad(TransferEngine& engine, const Clock& clock, std::string url, Settings settings)
        : clock_(clock),
          url_(std::move(url)),
          settings_(std::move(settings)),
          started_(clock.Now()) {
        const std::string scheme = SchemeOf(url_);
        if (ToLower(url_) == "about:blank") {
            location_ = url_;
            document_ = Build("", url_);
            End();
            return;
        }
        if (settings_.offline && (scheme == "http" || scheme == "https")) {
            Fail("Working offline.", "working offline");
            return;
        }
        TransferRequest request;
        request.url = WithoutFragment(url_);
        request.method = "GET";
        request.followRedirects = true;
        request.maxRedirects = WebBrowser::kMaxRedirects;
        request.timeoutSeconds = settings_.timeoutSeconds;
        request.maxBodyBytes = WebBrowser::kMaxHtmlBytes;
        request.htmlBodyOnly = true;
        transfer_ = engine.Start(request);
        transfer_->WhenFinished([done = done_] { done->MarkDone(); });
    }

    ~BrowserPageLoad() override { Abandon(); }

    BrowserPageLoad(const BrowserPageLoad&) = delete;
    BrowserPageLoad& operator=(const BrowserPageLoad&) = delete;

    // --- PageLoad ---
    bool Complete() override {
        Advance();
        return phase_ == Phase::Complete;
    }
    std::string LocationURL() override {
        Advance();
        return location_;
    }
    std::shared_ptr<const Document> GetDocument() override {
        Advance();
        return CurrentDocument();
    }
    int DurationSeconds() override {
        return ElapsedSeconds(started_, ended_.value_or(clock_.Now()));
    }

    // --- for the browser ---
    Phase CurrentPhase() const { return phase_; }
    // Marked done when the load completes, or when its transfer ends.
    const std::shared_ptr<Completion>& Done() const { return done_; }
    // "" unless the load failed.
    const std::string& FailureReason() const { return failureReason_; }
    // Ends a load still under way as failed.
    void Stop() {
        if (phase_ != Phase::Complete) {
            Fail("Stopped.", "stopped");
        }
    }
    // "" until the load commits.
    const std::string& Location() const { return location_; }

    void Advance() {
        if (phase_ == Phase::Requesting) {
            if (transfer_->HeadersReceived()) {
                if (transfer_->Status() >= 400) {
                    Fail("The server answered " + FirstLine(transfer_->Header()) + ".",
                         StatusText(transfer_->Status()));
                } else {
                    Commit();
                }
            } else if (transfer_->Finished()) {
                const std::string error = transfer_->Error();
                Fail(error.empty() ? "No response." : error + ".",
                     error.empty() ? "no response" : error);
            }
        }
        if (phase_ == Phase::Committed && transfer_->Finished()) {
            // A body cut short (the connection dropped, the time ran out) is shown as it came.
            document_ = BuildFromBody(transfer_->Body());
            End();
        }
    }

    // What has arrived; an empty page before the load commits.
    std::shared_ptr<const Document> CurrentDocument() {
        if (phase_ == Phase::Committed) {
            const std::size_t size = transfer_->BodySize();
            if (document_ == nullptr || size != documentBodySize_) {
                const std::string body = transfer_->Body();
                documentBodySize_ = body.size();
                document_ = BuildFromBody(body);
            }
        }
        if (document_ == nullptr) {
            document_ = Build("", "");
        }
        return document_;
    }

  private:
    void Commit() {
        const std::string answered = transfer_->EffectiveURL();
        if (answered.empty() || SameResource(url_, answered)) {
            location_ = url_;
        } else {
            location_ =
                answered.find('#') == std::string::npos ? answered + FragmentOf(url_) : answered;
        }
        contentType_ = transfer_->ContentType();
        document_ = nullptr;
        if (!IsHtmlType(contentType_)) {
            document_ = Document::NotHtml(location_);
            End();
            return;
        }
        phase_ = Phase::Committed;
    }

    // `text` is shown on the error page; `reason` is the failure in a webmaster's words.
    void Fail(const std::string& text, const std::string& reason) {
        failureReason_ = reason;
        location_ = WebBrowser::kErrorPageUrl;
        const std::string html =
            "<!DOCTYPE html><html><head><title>Page not loaded</title></head><body>"
            "<h1>This page could not be loaded</h1><p>" +
            EscapeHtml(url_) + "</p><p>" + EscapeHtml(text) + "</p></body></html>";
        document_ = Build(html, location_);
        End();
    }

    void End() {
        phase_ = Phase::Complete;
        ended_ = clock_.Now();
        Abandon();
        done_->MarkDone();
    }

    void Abandon() {
        if (transfer_ != nullptr && !transfer_->Finished()) {
            transfer_->Cancel();
        }
        transfer_.reset();
    }

    std::shared_ptr<const Document> BuildFromBody(const std::string& body) const {
        return Build(DecodeHtml(body, contentType_), location_);
    }

    std::shared_ptr<const Document> Build(std::string html, std::string url) const {
        return std::make_shared<const Document>(
            BuildHtmlDocument(std::move(html), std::move(url), settings_.sizes));
    }

    const Clock& clock_;
    const std::string url_;
    const Settings settings_;
    const Clock::TimePoint started_;
    std::optional<Clock::TimePoint> ended_;
    std::shared_ptr<Transfer> transfer_;
    Phase phase_ = Phase::Requesting;
    std::string location_;
    std::string contentType_;
    std::shared_ptr<const Document> document_;
    std::size_t documentBodySize_ = 0;
    std::shared_ptr<Completion> done_ = std::make_shared<Completion>();
    std::string failureReason_;
};

WebBrowser::WebBrowser(TransferEngine& engine) : WebBrowser(engine, systemClock_) {}

WebBrowser::WebBrowser(TransferEngine& engine, const Clock& clock)
    : engine_(engine),
      clock_(clock),
      sizes_(std::make_shared<EngineFileSizeSource>(engine)),
      document_(std::make_shared<const Document>()) {}

WebBrowser::~WebBrowser() {
    current_.reset();
    sizes_->Detach();
}

void WebBrowser::SetSilent(bool silent) {
    silent_ = silent;
}

void WebBrowser::SetOffline(bool offline) {
    offline_ = offline;
}

void WebBrowser::SetLoadTimeoutSeconds(int seconds) {
    loadTimeoutSeconds_ = seconds;
}

void WebBrowser::SetObserver(BrowserObserver* observer) {
    observer_ = observer;
}

std::shared_ptr<BrowserPageLoad> WebBrowser::StartLoad(const std::string& url) const {
    BrowserPageLoad::Settings settings;
    settings.offline = offline_;
    settings.timeoutSeconds = loadTimeoutSeconds_;
    settings.sizes = sizes_;
    return std::make_shared<BrowserPageLoad>(engine_, clock_, url, std::move(settings));
}

void WebBrowser::Navigate(const std::string& url) {
    current_ = StartLoad(url);  // the load it replaces is abandoned
    currentCommitted_ = false;
    readyState_ = kReadyStateLoading;
    failureReason_.clear();
}

void WebBrowser::Stop() {
    if (current_ != nullptr) {
        current_->Stop();
    }
}

std::shared_ptr<Completion> WebBrowser::LoadDone() {
    if (current_ != nullptr) {
        return current_->Done();
    }
    auto done = std::make_shared<Completion>();
    done->MarkDone();
    return done;
}

std::string WebBrowser::LoadFailureReason() {
    Update();
    return failureReason_;
}

int WebBrowser::ReadyState() {
    Update();
    return readyState_;
}

std::string WebBrowser::LocationURL() {
    Update();
    return location_;
}

std::shared_ptr<const Document> WebBrowser::GetDocument() {
    Update();
    if (current_ != nullptr && currentCommitted_) {
        return current_->CurrentDocument();
    }
    return document_;
}

std::shared_ptr<PageLoad> WebBrowser::Load(const std::string& url) {
    return StartLoad(url);
}

void WebBrowser::Update() {
    if (current_ == nullptr || updating_) {
        return;
    }
    updating_ = true;
    current_->Advance();
    const auto phase = current_->CurrentPhase();
    bool tellCommitted = false;
    bool tellCompleted = false;
    if (phase != BrowserPageLoad::Phase::Requesting && !currentCommitted_) {
        currentCommitted_ = true;
        location_ = current_->Location();
        readyState_ = kReadyStateInteractive;
        tellCommitted = true;
    }
    if (phase == BrowserPageLoad::Phase::Complete) {
        document_ = current_->CurrentDocument();
        failureReason_ = current_->FailureReason();
        location_ = current_->Location();  // a load stopped after it committed ends elsewhere
        readyState_ = kReadyStateComplete;
        current_.reset();
        currentCommitted_ = false;
        tellCompleted = true;
    }
    updating_ = false;
    // Told last: the observer may ask the browser anything, even navigate elsewhere.
    const std::string location = location_;
    const std::shared_ptr<const Document> document = document_;
    if (observer_ != nullptr && tellCommitted) {
        observer_->LoadCommitted(location);
    }
    if (observer_ != nullptr && tellCompleted) {
        observer_->LoadCompleted(location, document->html);
    }
}

}  // namespace quill::platform
