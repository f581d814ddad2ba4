#include "shell/AppDelegate.h"

#include "reminders/UserNotificationCenter.h"
#include "shell/ReminderBanner.h"

// A reminder the desktop cannot show is shown in the app's window (shell/ReminderBanner.h).
bool AppDelegate::didFinishLaunching(ui::Application&) {
    reminders::UserNotificationCenter::current()->setFallbackPresenter(std::make_shared<WindowNotificationPresenter>());
    return true;
}

ui::SceneConfiguration AppDelegate::configurationForConnecting(ui::Application&, const ui::SceneSession& session) {
    return {"Default Configuration", session.role};
}

void AppDelegate::didDiscardSceneSessions(ui::Application&) {}
