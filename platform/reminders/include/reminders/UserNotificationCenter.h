#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/Timer.h"
#include "reminders/NotificationPresenter.h"
#include "reminders/NotificationRequest.h"
#include "reminders/ReminderScheduler.h"

namespace reminders {

enum class AuthorizationAnswer { granted, denied };

struct NotificationCenterConfiguration {
    // Absent: "reminders/pending.json" in the documents folder ($XDG_DATA_HOME/sorvane).
    std::optional<std::filesystem::path> storeFile = std::nullopt;
    // Absent: desktop notifications.
    std::shared_ptr<NotificationPresenter> presenter = nullptr;
    AuthorizationAnswer authorization = AuthorizationAnswer::granted;
    // Where `presenter` cannot show a reminder (a desktop without a notification service), this shows
    // it instead: the app's own window. Absent: the reminder waits and is tried again.
    std::shared_ptr<NotificationPresenter> fallback = nullptr;
    // The user's service manager, which delivers a reminder at its time whether or not the app runs.
    // Absent, unreachable or refusing: reminders are delivered by the app while it runs.
    std::shared_ptr<ReminderScheduler> scheduler = nullptr;
    // What the service manager runs at a reminder's time (the app's delivery mode); the store file is
    // added as its last argument. Empty: nothing is given to the service manager.
    std::vector<std::string> deliveryCommand = {};
};

// The app's local reminders: permission, the pending requests (kept as JSON in the user's data folder,
// so they outlive the process) and their delivery. A pending reminder is given to the user's service
// manager when there is one, and the app delivers what is due while it runs, whichever comes first:
// the store is locked across processes, so each reminder is shown once. A reminder stays pending until
// it was shown; one that could not be shown is tried again. Every member may be called from any
// thread; completions run on the global queue.
class UserNotificationCenter : public std::enable_shared_from_this<UserNotificationCenter> {
public:
    using Configuration = NotificationCenterConfiguration;

    // How long after what it announces began a reminder is still shown (saying so); later it is dropped.
    static constexpr double startGrace = 5 * 60;
    // How long the app waits before showing again a reminder that could not be shown.
    static constexpr double retryDelay = 30;

    static std::shared_ptr<UserNotificationCenter> make(Configuration configuration);
    static std::shared_ptr<UserNotificationCenter> make() { return make(Configuration{}); }
    // The app's center, made with the default configuration on first use; a test installs its own,
    // null puts the default back.
    static std::shared_ptr<UserNotificationCenter> current();
    static void setCurrent(std::shared_ptr<UserNotificationCenter> center);

    const std::filesystem::path& storeFile() const { return storeFile_; }
    // The configuration's `fallback`, set once the app has a window to show reminders in.
    void setFallbackPresenter(std::shared_ptr<NotificationPresenter> fallback);

    void requestAuthorization(std::function<void(bool granted, std::optional<ReminderError> error)> completion);

    // Replaces any pending request with the same identifier. A trigger that matches no future instant
    // is refused: it would never be delivered. The completion runs once the request is kept on disk
    // and handed to the service manager (or not, which leaves it to the app).
    void add(NotificationRequest request, std::function<void(std::optional<ReminderError> error)> completion = nullptr);
    void getPendingNotificationRequests(std::function<void(std::vector<NotificationRequest>)> completion) const;
    std::vector<NotificationRequest> pendingNotificationRequests() const;
    void removePendingNotificationRequests(const std::vector<std::string>& identifiers);
    // Whether the request is pending with the service manager, so it comes even while the app is closed.
    bool isScheduledWithServiceManager(const std::string& identifier) const;
    // What was delivered since the center was made, oldest first.
    std::vector<NotificationRequest> deliveredNotifications() const;

    // Shows every pending request whose time has come, saying the time truly left to what it announces,
    // and then drops it; one the presenter could not show is shown by the fallback, when there is one,
    // or else stays and is tried again after `retryDelay`; one
    // whose announced start passed more than `startGrace` ago (or, announcing nothing, whose time did)
    // is dropped unshown. False when something due could not be shown. A repeating 1-second timer on
    // the main run loop calls it while anything is pending; the service manager's delivery runs it once.
    bool deliverDueNotifications();

    explicit UserNotificationCenter(Configuration configuration);
    ~UserNotificationCenter();

private:
    struct Pending {
        NotificationRequest request;
        foundation::Date fireDate;
        std::string unit;  // the service manager's unit; empty when only the app delivers it
    };
    class StoreLock;

    // At start: drops what is stale and gives the service manager what it lost (a restart empties it).
    void reconcile();
    // These run with mutex_ held, inside a StoreLock. Loading replaces the copy in memory.
    void load() const;
    std::optional<ReminderError> save() const;
    bool isStale(const Pending& pending, foundation::Date now) const;
    // Drops, with a line saying so, what is stale at `now`; whether anything was.
    bool dropStale(foundation::Date now);
    std::string scheduleWithServiceManager(const NotificationRequest& request, foundation::Date fireDate);
    void unscheduleFromServiceManager(const Pending& pending);

    void scheduleDelivery();
    // Without waiting, a store another process holds is left for the next try.
    bool deliverDue(bool waitForStore);

    std::filesystem::path storeFile_;
    std::shared_ptr<NotificationPresenter> presenter_;
    std::shared_ptr<NotificationPresenter> fallback_;
    AuthorizationAnswer authorization_;
    std::shared_ptr<ReminderScheduler> scheduler_;
    std::vector<std::string> deliveryCommand_;
    mutable std::mutex mutex_;
    mutable std::vector<Pending> pending_;
    std::vector<NotificationRequest> delivered_;
    std::map<std::string, foundation::Date> retryAfter_;  // identifier: not before
    std::shared_ptr<dispatch::Timer> timer_;
};

}  // namespace reminders
