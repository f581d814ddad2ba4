#include "shell/RaceScreen.h"

#include "data/GlobalStruct.h"

void RaceScreen::viewDidLoad() { view()->setBackgroundColor(gfx::Color::systemBackground()); }

void RaceScreen::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    GlobalStruct::detailsOnScreen() = true;
}

void RaceScreen::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    GlobalStruct::detailsOnScreen() = false;
}
