#pragma once

#include <string>

namespace hosttest {

// An X display for the window tests: a private Xvfb started once per process (1280x2000, 24 bits),
// or, without Xvfb, the DISPLAY already set. Answers why the tests must skip, or empty.
std::string prepareDisplay();

// Asks the top-level window with this title to close, as a window manager does when its close button
// is clicked: a WM_DELETE_WINDOW message over a connection of our own.
bool requestClose(const std::string& title);

}  // namespace hosttest
