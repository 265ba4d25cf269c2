// The element properties read by the walkers and the advisories beyond plain fields.
#include <gtest/gtest.h>

#include "platform/document.h"

namespace quill::platform {
namespace {

TEST(DocumentProperties, ImageSizeWithoutSourceIsMinusOne) {
    EXPECT_EQ(ImageElement{}.fileSize(), "-1");
}

TEST(DocumentProperties, AppletArchiveIsReadWhenPresent) {
    AppletElement applet;
    applet.archive = "";
    EXPECT_EQ(applet.Archive(), "");
    applet.archive = "game.jar";
    EXPECT_EQ(applet.Archive(), "game.jar");
}

TEST(DocumentProperties, AppletWithoutArchiveThrowsMissingProperty) {
    EXPECT_THROW(AppletElement{}.Archive(), MissingProperty);
}

TEST(DocumentProperties, NotHtmlDocumentHasOnlyItsAddress) {
    const auto document = Document::NotHtml("http://site/a.pdf");
    EXPECT_FALSE(document->IsHtml());
    EXPECT_EQ(document->url, "http://site/a.pdf");
    EXPECT_TRUE(document->title.empty());
    EXPECT_TRUE(document->links.empty());
}

}  // namespace
}  // namespace quill::platform
