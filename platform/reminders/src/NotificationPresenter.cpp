#include "reminders/NotificationPresenter.h"

#include <libnotify/notify.h>

namespace reminders {

std::expected<void, ReminderError> DesktopNotificationPresenter::present(const NotificationRequest& request) {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = notify_init("Sorvane"); });
    if (!ready) return std::unexpected(ReminderError{"The desktop notifications could not be started."});
    // A show can be taken by a session bus with no notification service on it, and nothing shows: only
    // a service that answers shows it.
    char *name = nullptr, *vendor = nullptr, *version = nullptr, *protocolVersion = nullptr;
    bool served = notify_get_server_info(&name, &vendor, &version, &protocolVersion);
    for (char* text : {name, vendor, version, protocolVersion}) g_free(text);
    if (!served) return std::unexpected(ReminderError{"The reminder could not be shown: no notification service answers"});

    const auto& content = request.content;
    std::string body = content.subtitle.empty() ? content.body : content.subtitle + "\n" + content.body;
    NotifyNotification* notification = notify_notification_new(content.title.c_str(), body.c_str(), nullptr);
    if (content.defaultSound) notify_notification_set_hint_string(notification, "sound-name", "message-new-instant");
    if (!content.categoryIdentifier.empty()) notify_notification_set_category(notification, content.categoryIdentifier.c_str());
    GError* error = nullptr;
    bool shown = notify_notification_show(notification, &error);
    std::string reason = error && error->message ? error->message : "no notification service";
    if (error) g_error_free(error);
    g_object_unref(G_OBJECT(notification));
    if (!shown) return std::unexpected(ReminderError{"The reminder could not be shown: " + reason});
    return {};
}

std::expected<void, ReminderError> RecordingNotificationPresenter::present(const NotificationRequest& request) {
    std::lock_guard lock(mutex_);
    presented_.push_back(request);
    return {};
}

std::vector<NotificationRequest> RecordingNotificationPresenter::presented() const {
    std::lock_guard lock(mutex_);
    return presented_;
}

}  // namespace reminders
