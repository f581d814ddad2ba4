#include "shell/AppDelegate.h"

bool AppDelegate::didFinishLaunching(ui::Application&) { return true; }

ui::SceneConfiguration AppDelegate::configurationForConnecting(ui::Application&, const ui::SceneSession& session) {
    return {"Default Configuration", session.role};
}

void AppDelegate::didDiscardSceneSessions(ui::Application&) {}
