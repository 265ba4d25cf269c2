#include "platform/web_browser.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/curl_url.h"
#include "platform/html_document_builder.h"
#include "platform/image_file_sizes.h"

namespace quill::platform {
namespace {

std::string WithoutFragment(const std::string& url) {
    return url.substr(0, url.find('#'));
}

// "#..." as written at the end of the URL; "" when it has none.
std::string FragmentOf(const std::string& url) {
    const std::size_t hash = url.find('#');
    return hash == std::string::npos ? "" : url.substr(hash);
}

// The parts of a URL that name the resource, as libcurl reads them; nothing when it cannot.
std::optional<std::vector<std::string>> ResourceParts(const std::string& url) {
    CurlUrl handle;
    if (!handle ||
        handle.Set(CURLUPART_URL, url, CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) != CURLUE_OK) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    for (const CURLUPart part :
         {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT, CURLUPART_PATH, CURLUPART_QUERY}) {
        const std::string text =
            handle.Get(part, part == CURLUPART_PORT ? CURLU_DEFAULT_PORT : 0).value_or("");
        const bool caseless = part == CURLUPART_SCHEME || part == CURLUPART_HOST;
        parts.push_back(caseless ? AsciiLower(text) : text);
    }
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
        // Keep the page's text for a front end that shows it.
        bool keepHtml = false;
    };

    BrowserPageLoad(TransferEngine& engine, const Clock& clock, std::string url, Settings settings)
        : clock_(clock),
          url_(std::move(url)),
          settings_(std::move(settings)),
          started_(clock.Now()) {
        const std::string scheme = AsciiLower(SchemeOf(url_));
        if (EqualsNoCase(url_, "about:blank")) {
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
    std::shared_ptr<Completion> LoadDone() override { return done_; }
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
    // The text of the page built last, when kept; "" for a document that is not HTML.
    const std::string& Html() const { return html_; }

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
            std::string html = DecodeHtml(transfer_->Body(), contentType_);
            Abandon();  // the engine's copy of the body goes before the page is parsed
            document_ = Build(std::move(html), location_);
            End();
        }
    }

    // What has arrived; an empty page before the load commits.
    std::shared_ptr<Document> CurrentDocument() {
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
        if (!IsHtmlContentType(contentType_)) {
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

    std::shared_ptr<Document> BuildFromBody(const std::string& body) {
        return Build(DecodeHtml(body, contentType_), location_);
    }

    std::shared_ptr<Document> Build(std::string html, std::string url) {
        if (settings_.keepHtml) {
            html_ = html;
        }
        return std::make_shared<Document>(
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
    std::shared_ptr<Document> document_;
    std::size_t documentBodySize_ = 0;
    std::string html_;
    std::shared_ptr<Completion> done_ = std::make_shared<Completion>();
    std::string failureReason_;
};

WebBrowser::WebBrowser(TransferEngine& engine) : WebBrowser(engine, systemClock_) {}

WebBrowser::WebBrowser(TransferEngine& engine, const Clock& clock)
    : engine_(engine),
      clock_(clock),
      sizes_(std::make_shared<EngineFileSizeSource>(engine)),
      document_(std::make_shared<Document>()) {}

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

std::shared_ptr<BrowserPageLoad> WebBrowser::StartLoad(const std::string& url,
                                                       bool keepHtml) const {
    BrowserPageLoad::Settings settings;
    settings.keepHtml = keepHtml;
    settings.offline = offline_;
    settings.timeoutSeconds = loadTimeoutSeconds_;
    settings.sizes = sizes_;
    return std::make_shared<BrowserPageLoad>(engine_, clock_, url, std::move(settings));
}

void WebBrowser::Navigate(const std::string& url) {
    current_ = StartLoad(url, observer_ != nullptr);  // the load it replaces is abandoned
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

Document WebBrowser::TakeDocument() {
    Update();
    if (current_ != nullptr && currentCommitted_) {
        return *current_->CurrentDocument();  // still arriving: built again as more comes
    }
    auto left = std::make_shared<Document>();
    left->isHtml = document_->isHtml;
    left->url = document_->url;
    left->title = document_->title;
    const std::shared_ptr<Document> shown = std::exchange(document_, std::move(left));
    if (shown.use_count() > 1) {
        return *shown;
    }
    return std::move(*shown);
}

std::shared_ptr<PageLoad> WebBrowser::Load(const std::string& url) {
    return StartLoad(url, false);
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
    std::string html;
    if (phase == BrowserPageLoad::Phase::Complete) {
        document_ = current_->CurrentDocument();
        html = current_->Html();
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
    if (observer_ != nullptr && tellCommitted) {
        observer_->LoadCommitted(location);
    }
    if (observer_ != nullptr && tellCompleted) {
        observer_->LoadCompleted(location, html);
    }
}

}  // namespace quill::platform
