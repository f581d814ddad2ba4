#include <gtest/gtest.h>

#include "shell/ShellTestSupport.h"
#include "shell/StartupFailure.h"

namespace {

// A failed start's window says what failed, wrapped inside the screen, under its title.
TEST(StartupFailure, theWindowShowsTheMessageWrappedUnderItsTitle) {
    shelltest::HeadlessPhone phone;
    std::string message =
        "SORVANE_NOW: \"yesterday\" is not an instant (yyyy-MM-ddTHH:mm:ssZ, in UTC), so the offline season cannot start";
    auto screen = std::make_shared<StartupFailureViewController>(message);
    phone.show(screen);
    EXPECT_EQ(screen->titleLabel->text(), "Sorvane could not start");
    EXPECT_EQ(screen->messageLabel->text(), message);
    ui::Rect title = screen->titleLabel->frame();
    ui::Rect shown = screen->messageLabel->frame();
    ui::Rect hint = screen->hintLabel->frame();
    EXPECT_EQ(shown.minX(), 24);
    EXPECT_EQ(shown.maxX(), 390 - 24);
    EXPECT_GE(shown.minY(), title.maxY());
    EXPECT_GE(hint.minY(), shown.maxY());
    EXPECT_LE(hint.maxY(), 844);
    // Longer than a line at 342 points: it wraps rather than running off the window.
    EXPECT_GT(shown.height(), 2 * screen->messageLabel->font().pointSize());
    EXPECT_EQ(shown.height(), *screen->messageLabel->intrinsicHeight(shown.width()));
}

}  // namespace
