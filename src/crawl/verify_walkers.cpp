// The walkers that verify what a page uses without following it: images, applets, scripts, style
// sheets and form actions. Each takes one URL per element, leaves out URLs this run has met, checks
// the rest with the HEAD probe and records the verdict under the page.
#include <optional>
#include <string>
#include <vector>

#include "advisories/syntax_checker.h"
#include "crawl/crawl.h"
#include "crawl/element_urls.h"

namespace quill {

void Crawl::CheckImages(const platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "image");
    const int count = static_cast<int>(document.images.size());
    for (int i = 0; i < count; ++i) {
        if (!state_.running) {
            return;
        }
        const platform::ImageElement& image = document.images[i];
        const std::string url = ImageURL(image);
        if (SeenBeforeOn(url, pageURL) || SkippedByUser(url, pageURL)) {
            continue;
        }
        int loadTime = 0;
        std::string reason;
        const bool reachable = CheckLink(url, loadTime, &reason);
        RecordLinkResult(url, pageURL, reachable ? kLinkValid : kLinkBroken, loadTime, reason);
        if (reachable) {
            SyntaxChecker::CheckImageMarkup(image, pageURL);
        }
    }
}

void Crawl::CheckApplets(const platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "applet");
    const int count = static_cast<int>(document.applets.size());
    for (int i = 0; i < count; ++i) {
        if (!state_.running) {
            return;
        }
        const std::string url = AppletURL(document.applets[i]);
        if (SeenBeforeOn(url, pageURL) || SkippedByUser(url, pageURL)) {
            continue;
        }
        int loadTime = 0;
        std::string reason;
        const bool reachable = CheckLink(url, loadTime, &reason);
        RecordLinkResult(url, pageURL, reachable ? kLinkValid : kLinkBroken, loadTime, reason);
    }
}

template <typename Element, typename ElementUrl>
void Crawl::VerifyAsWritten(const std::vector<Element>& elements, const std::string& pageURL,
                            ElementUrl elementUrl, bool honourStop) {
    const int count = static_cast<int>(elements.size());
    for (int i = 0; i < count; ++i) {
        if (honourStop && !state_.running) {
            return;
        }
        const std::optional<std::string> found = elementUrl(elements[i], pageURL);
        if (!found) {
            continue;
        }
        const std::string& url = *found;
        if (SeenBeforeOn(url, pageURL) || SkippedByUser(url, pageURL)) {
            continue;
        }
        int loadTime = 0;
        std::string reason;
        const bool reachable = CheckLink(url, loadTime, &reason);
        RecordLinkResult(url, pageURL, reachable ? kLinkValid : kLinkBroken, loadTime, reason);
    }
}

// Scripts and style sheets do not look at the running flag: after a Stop they still check the rest
// of their page's collection.
void Crawl::CheckScripts(const platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "script");
    VerifyAsWritten(document.scripts, pageURL, ScriptURL, /*honourStop=*/false);
}

void Crawl::CheckStyleSheets(const platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "stylesheet");
    VerifyAsWritten(document.styleSheets, pageURL, StyleSheetURL, /*honourStop=*/false);
}

// A form without an action is checked under its page's directory.
void Crawl::CheckForms(const platform::Document& document, const std::string& pageURL) {
    const WalkKind kind(*this, "form");
    VerifyAsWritten(
        document.forms, pageURL,
        [](const platform::FormElement& form, const std::string& page) {
            return std::optional<std::string>(FormURL(form, page));
        },
        /*honourStop=*/true);
}

}  // namespace quill
