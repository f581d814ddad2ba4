#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/Timer.h"
#include "reminders/NotificationPresenter.h"
#include "reminders/NotificationRequest.h"

namespace reminders {

enum class AuthorizationAnswer { granted, denied };

struct NotificationCenterConfiguration {
    // Absent: "reminders/pending.json" in the documents folder ($XDG_DATA_HOME/sorvane).
    std::optional<std::filesystem::path> storeFile = std::nullopt;
    // Absent: desktop notifications.
    std::shared_ptr<NotificationPresenter> presenter = nullptr;
    AuthorizationAnswer authorization = AuthorizationAnswer::granted;
};

// The app's local reminders: permission, the pending requests (kept as JSON in the user's data folder,
// so they outlive the process) and their delivery while the app runs. Every member may be called from
// any thread; completions run on the global queue.
class UserNotificationCenter : public std::enable_shared_from_this<UserNotificationCenter> {
public:
    using Configuration = NotificationCenterConfiguration;

    static std::shared_ptr<UserNotificationCenter> make(Configuration configuration);
    static std::shared_ptr<UserNotificationCenter> make() { return make(Configuration{}); }
    // The app's center, made with the default configuration on first use; a test installs its own,
    // null puts the default back.
    static std::shared_ptr<UserNotificationCenter> current();
    static void setCurrent(std::shared_ptr<UserNotificationCenter> center);

    const std::filesystem::path& storeFile() const { return storeFile_; }

    void requestAuthorization(std::function<void(bool granted, std::optional<ReminderError> error)> completion);

    // Replaces any pending request with the same identifier. A trigger that matches no future instant
    // is refused: it would never be delivered.
    void add(NotificationRequest request, std::function<void(std::optional<ReminderError> error)> completion = nullptr);
    void getPendingNotificationRequests(std::function<void(std::vector<NotificationRequest>)> completion) const;
    std::vector<NotificationRequest> pendingNotificationRequests() const;
    void removePendingNotificationRequests(const std::vector<std::string>& identifiers);
    // What was delivered since the center was made, oldest first.
    std::vector<NotificationRequest> deliveredNotifications() const;

    // Shows and drops every pending request whose time has come. A repeating 1-second timer on the main
    // run loop calls it while anything is pending.
    void deliverDueNotifications();

    explicit UserNotificationCenter(Configuration configuration);
    ~UserNotificationCenter();

private:
    struct Pending {
        NotificationRequest request;
        foundation::Date fireDate;
    };

    void load();
    std::optional<ReminderError> save() const;  // with mutex_ held
    void scheduleDelivery();

    std::filesystem::path storeFile_;
    std::shared_ptr<NotificationPresenter> presenter_;
    AuthorizationAnswer authorization_;
    mutable std::mutex mutex_;
    std::vector<Pending> pending_;
    std::vector<NotificationRequest> delivered_;
    std::shared_ptr<dispatch::Timer> timer_;
};

}  // namespace reminders
