// The element properties read by the walkers and the advisories beyond plain fields.
#include <gtest/gtest.h>

#include "platform/document.h"

namespace quill::platform {
namespace {

TEST(DocumentProperties, ImageSizeWithoutSourceIsMinusOne) {
    EXPECT_EQ(ImageElement{}.fileSize(), "-1");
}

TEST(DocumentProperties, AppletArchiveIsReadWhenPresentAndMissingOtherwise) {
    AppletElement applet;
    EXPECT_THROW(applet.Archive(), MissingProperty);
    applet.archive = "";
    EXPECT_EQ(applet.Archive(), "");
    applet.archive = "game.jar";
    EXPECT_EQ(applet.Archive(), "game.jar");
}

}  // namespace
}  // namespace quill::platform
