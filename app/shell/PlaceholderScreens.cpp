#include "shell/PlaceholderScreens.h"

#include "data/GlobalStruct.h"

void BlankScreen::viewDidLoad() { view()->setBackgroundColor(gfx::Color::systemBackground()); }

void RaceScreen::viewDidAppear(bool animated) {
    BlankScreen::viewDidAppear(animated);
    GlobalStruct::detailsOnScreen() = true;
}

void RaceScreen::viewDidDisappear(bool animated) {
    BlankScreen::viewDidDisappear(animated);
    GlobalStruct::detailsOnScreen() = false;
}
