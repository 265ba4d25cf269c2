#include "crawl/walkers.h"

#include <type_traits>

#include "crawl/element_urls.h"

namespace quill {
namespace {

template <auto Collection>
std::size_t CountOf(const platform::Document& document) {
    return (document.*Collection).size();
}

// Moving an empty collection in frees the storage (assigning {} would keep it).
template <auto... Collections>
void LetGo(platform::Document& document) {
    ((document.*Collections = std::remove_reference_t<decltype(document.*Collections)>()), ...);
}

std::optional<std::string> ImageAt(const platform::Document& document, std::size_t i,
                                   const std::string&) {
    return ImageURL(document.images[i]);
}

std::optional<std::string> AppletAt(const platform::Document& document, std::size_t i,
                                    const std::string&) {
    return AppletURL(document.applets[i]);
}

std::optional<std::string> ScriptAt(const platform::Document& document, std::size_t i,
                                    const std::string& pageURL) {
    return ScriptURL(document.scripts[i], pageURL);
}

std::optional<std::string> StyleSheetAt(const platform::Document& document, std::size_t i,
                                        const std::string& pageURL) {
    return StyleSheetURL(document.styleSheets[i], pageURL);
}

std::optional<std::string> LinkAt(const platform::Document& document, std::size_t i,
                                  const std::string&) {
    return LinkURL(document.links[i]);
}

std::optional<std::string> FrameAt(const platform::Document& document, std::size_t i,
                                   const std::string&) {
    return FrameURL(document.frames[i]);
}

std::optional<std::string> FormAt(const platform::Document& document, std::size_t i,
                                  const std::string& pageURL) {
    return FormURL(document.forms[i], pageURL);
}

}  // namespace

const std::array<WalkerRow, 7> kWalkers = {{
    {Walker::kImages, CheckControl::chkImages, &WalkSettings::images,
     CountOf<&platform::Document::images>, ImageAt, WalkerUse::kVerify,
     LetGo<&platform::Document::images>},
    {Walker::kApplets, CheckControl::chkApplets, &WalkSettings::applets,
     CountOf<&platform::Document::applets>, AppletAt, WalkerUse::kVerify,
     LetGo<&platform::Document::applets>},
    {Walker::kScripts, CheckControl::chkJSStyle, &WalkSettings::scriptsAndStyles,
     CountOf<&platform::Document::scripts>, ScriptAt, WalkerUse::kVerify,
     LetGo<&platform::Document::scripts>},
    {Walker::kStyleSheets, CheckControl::chkJSStyle, &WalkSettings::scriptsAndStyles,
     CountOf<&platform::Document::styleSheets>, StyleSheetAt, WalkerUse::kVerify,
     LetGo<&platform::Document::styleSheets>},
    {Walker::kLinks, CheckControl::chkLinks, &WalkSettings::links,
     CountOf<&platform::Document::links>, LinkAt, WalkerUse::kVisitOrJudgeFragment,
     LetGo<&platform::Document::links, &platform::Document::anchors, &platform::Document::ids>},
    {Walker::kFrames, CheckControl::chkFrames, &WalkSettings::frames,
     CountOf<&platform::Document::frames>, FrameAt, WalkerUse::kVisit,
     LetGo<&platform::Document::frames>},
    {Walker::kForms, CheckControl::chkForms, &WalkSettings::forms,
     CountOf<&platform::Document::forms>, FormAt, WalkerUse::kVerify,
     LetGo<&platform::Document::forms>},
}};

}  // namespace quill
