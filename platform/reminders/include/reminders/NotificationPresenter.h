#pragma once

#include <expected>
#include <mutex>
#include <string>
#include <vector>

#include "reminders/NotificationRequest.h"

namespace reminders {

struct ReminderError {
    std::string message;
};

// Where a reminder that comes due is shown.
class NotificationPresenter {
public:
    virtual ~NotificationPresenter() = default;
    virtual std::expected<void, ReminderError> present(const NotificationRequest& request) = 0;
};

// A desktop notification through libnotify: the title as its summary, the subtitle and body below.
// Fails where no notification service runs.
class DesktopNotificationPresenter final : public NotificationPresenter {
public:
    std::expected<void, ReminderError> present(const NotificationRequest& request) override;
};

// Keeps what it was asked to show, for tests and machines without a notification service.
class RecordingNotificationPresenter final : public NotificationPresenter {
public:
    std::expected<void, ReminderError> present(const NotificationRequest& request) override;
    std::vector<NotificationRequest> presented() const;

private:
    mutable std::mutex mutex_;
    std::vector<NotificationRequest> presented_;
};

}  // namespace reminders
