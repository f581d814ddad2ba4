#pragma once

#include <memory>
#include <string>
#include <vector>

#include "reminders/NotificationPresenter.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/View.h"

// A reminder shown in the app's window: a card at the top of the window with the reminder's title and
// words, which stays until its Close button is pressed. Banners that come while one shows stack below it.
class ReminderBanner final : public ui::View {
public:
    explicit ReminderBanner(const reminders::NotificationRequest& request);

    std::shared_ptr<ui::Label> title = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Label> body = std::make_shared<ui::Label>();
    std::shared_ptr<ui::Button> close = ui::Button::make(ui::ButtonType::system);

    // The banners the key window shows, top first.
    static std::vector<std::shared_ptr<ReminderBanner>> shown();

    // Places the card at `top` across a window `width` wide; its height follows its text.
    void place(double top, double width);
};

// The notification stand-in's fallback in the app: where the desktop cannot show a reminder that is
// due, the key window shows it as a ReminderBanner. Fails without a window, or off the main thread.
class WindowNotificationPresenter final : public reminders::NotificationPresenter {
public:
    std::expected<void, reminders::ReminderError> present(const reminders::NotificationRequest& request) override;
};
