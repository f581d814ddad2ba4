#pragma once

#include "ui/Application.h"

// The application's delegate: a one-scene app whose launch gives the reminders the app's window to
// show in where the desktop cannot.
class AppDelegate final : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application& application) override;
    ui::SceneConfiguration configurationForConnecting(ui::Application& application,
                                                      const ui::SceneSession& session) override;
    void didDiscardSceneSessions(ui::Application& application) override;
};
