#include "crawl/element_urls.h"

#include "crawl/page_urls.h"

namespace quill {

std::string ImageURL(const platform::ImageElement& image) {
    return image.src;
}

std::string AppletURL(const platform::AppletElement& applet) {
    const std::string base = DirectoryURL(applet.BaseHref);
    try {
        return base + applet.Archive();
    } catch (const platform::MissingProperty&) {
        return base + applet.codeBase + applet.code;
    }
}

std::optional<std::string> ScriptURL(const platform::ScriptElement& script,
                                     const std::string& pageURL) {
    if (script.src.empty()) {
        return std::nullopt;
    }
    return ResolveAsWritten(script.src, pageURL);
}

std::optional<std::string> StyleSheetURL(const platform::StyleSheetElement& styleSheet,
                                         const std::string& pageURL) {
    if (styleSheet.href.empty()) {
        return std::nullopt;
    }
    return ResolveAsWritten(styleSheet.href, pageURL);
}

std::string FormURL(const platform::FormElement& form, const std::string& pageURL) {
    return ResolveAsWritten(form.action, pageURL);
}

const std::string& LinkURL(const platform::LinkElement& link) {
    return link.href;
}

std::string FrameURL(const platform::FrameElement& frame) {
    return frame.locationHref;
}

bool HoldsFragmentMark(const std::string& url) {
    return url.find('#') != std::string::npos;
}

std::optional<std::string> FragmentPageAddress(const std::string& url, const std::string& pageURL) {
    const std::string address = WithoutFragment(url);
    if (address == WithoutFragment(pageURL)) {
        return std::nullopt;
    }
    return address;
}

bool WithinMaximumDepth(int depth, int maximumDepth) {
    return maximumDepth == 0 || depth <= maximumDepth;
}

}  // namespace quill
