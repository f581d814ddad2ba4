#pragma once

namespace ui {

// Sets up what the toolkit installs in the libraries below it (the text drawing of text layers).
// Idempotent and thread-safe; every view's constructor calls it, so applications need not.
void initialize();

}  // namespace ui
