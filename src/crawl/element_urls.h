// The URL each element walker takes from its element, the page a fragment link needs loaded and
// the depth rule. The walkers and the look-ahead both use these, so the look-ahead asks for
// exactly the URLs the walk will ask for.
#pragma once

#include <optional>
#include <string>

#include "platform/document.h"

namespace quill {

// An image's src, as the document reports it (absolute); an empty one is checked like any other.
std::string ImageURL(const platform::ImageElement& image);
// The directory of the element's BaseHref followed by its Archive, or, for an applet without an
// Archive property, by its codeBase and code.
std::string AppletURL(const platform::AppletElement& applet);
// A script's src or a style sheet's href resolved as written; nothing for an inline script or an
// embedded style block, which have none.
std::optional<std::string> ScriptURL(const platform::ScriptElement& script,
                                     const std::string& pageURL);
std::optional<std::string> StyleSheetURL(const platform::StyleSheetElement& styleSheet,
                                         const std::string& pageURL);
// A form's action resolved as written; an empty action stands for the page's directory.
std::string FormURL(const platform::FormElement& form, const std::string& pageURL);
// A hyperlink's href and a frame's location, as the document reports them (absolute).
const std::string& LinkURL(const platform::LinkElement& link);
std::string FrameURL(const platform::FrameElement& frame);

// A URL with "#" anywhere is judged by its fragment (hyperlinks) or loaded without a probe (pages).
bool HoldsFragmentMark(const std::string& url);
// The page a fragment link found on pageURL is judged in: nothing when it points into that page
// itself, else the link's address without its fragment, which must be loaded.
std::optional<std::string> FragmentPageAddress(const std::string& url, const std::string& pageURL);

// Whether a page that has loaded at this depth is walked: every depth with a maximum of 0,
// depths up to the maximum otherwise (none with a negative maximum).
bool WithinMaximumDepth(int depth, int maximumDepth);

}  // namespace quill
