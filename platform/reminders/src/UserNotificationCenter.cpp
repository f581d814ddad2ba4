#include "reminders/UserNotificationCenter.h"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "foundation/FileManager.h"
#include "foundation/Print.h"

namespace reminders {

namespace {

std::mutex currentMutex;
std::shared_ptr<UserNotificationCenter>& installed() {
    static std::shared_ptr<UserNotificationCenter> center;
    return center;
}

using Json = nlohmann::json;

Json componentsJson(const foundation::DateComponents& c) {
    Json json = Json::object();
    if (c.year) json["year"] = *c.year;
    if (c.month) json["month"] = *c.month;
    if (c.day) json["day"] = *c.day;
    if (c.hour) json["hour"] = *c.hour;
    if (c.minute) json["minute"] = *c.minute;
    return json;
}

std::optional<int> intField(const Json& json, const char* key) {
    auto found = json.find(key);
    if (found == json.end() || !found->is_number_integer()) return std::nullopt;
    return found->get<int>();
}

std::string textField(const Json& json, const char* key) {
    auto found = json.find(key);
    return found != json.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A unit name the service manager accepts, the same for the same request at the same time.
std::string unitName(const std::string& identifier, foundation::Date fireDate) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : identifier) hash = (hash ^ c) * 1099511628211ull;
    char name[80];
    std::snprintf(name, sizeof name, "sorvane-reminder-%016" PRIx64 "-%lld", hash,
                  static_cast<long long>(std::floor(fireDate.timeIntervalSince1970())));
    return name;
}

}  // namespace

// Other processes (the service manager's delivery, a second app) share the store file: each change
// reads it, changes it and writes it under this lock, so none undoes another's.
class UserNotificationCenter::StoreLock {
public:
    enum class Wait { yes, no };

    explicit StoreLock(const std::filesystem::path& storeFile, Wait wait = Wait::yes) {
        foundation::FileManager::defaultManager()->createDirectory(storeFile.parent_path(), true);
        auto path = storeFile;
        path += ".lock";
        descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        // Without a lock file the folder cannot be written either; the save reports that.
        int operation = wait == Wait::yes ? LOCK_EX : LOCK_EX | LOCK_NB;
        while (descriptor_ >= 0 && flock(descriptor_, operation) != 0) {
            if (errno == EINTR) continue;
            busy_ = errno == EWOULDBLOCK;
            ::close(descriptor_);
            descriptor_ = -1;
        }
    }
    // Another process holds it (only when not waiting).
    bool busy() const { return busy_; }
    ~StoreLock() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    int descriptor_ = -1;
    bool busy_ = false;
};

std::shared_ptr<UserNotificationCenter> UserNotificationCenter::make(Configuration configuration) {
    auto center = std::make_shared<UserNotificationCenter>(std::move(configuration));
    center->reconcile();
    center->scheduleDelivery();
    return center;
}

std::shared_ptr<UserNotificationCenter> UserNotificationCenter::current() {
    std::lock_guard lock(currentMutex);
    if (!installed()) installed() = make();
    return installed();
}

void UserNotificationCenter::setCurrent(std::shared_ptr<UserNotificationCenter> center) {
    std::lock_guard lock(currentMutex);
    installed() = std::move(center);
}

UserNotificationCenter::UserNotificationCenter(Configuration configuration)
    : storeFile_(configuration.storeFile
                     ? *configuration.storeFile
                     : foundation::FileManager::defaultManager()->documentsDirectory() / "reminders" / "pending.json"),
      presenter_(configuration.presenter ? configuration.presenter : std::make_shared<DesktopNotificationPresenter>()),
      fallback_(std::move(configuration.fallback)),
      authorization_(configuration.authorization),
      scheduler_(std::move(configuration.scheduler)),
      deliveryCommand_(std::move(configuration.deliveryCommand)) {
    std::lock_guard lock(mutex_);
    load();
}

UserNotificationCenter::~UserNotificationCenter() {
    if (timer_) timer_->invalidate();
}

void UserNotificationCenter::setFallbackPresenter(std::shared_ptr<NotificationPresenter> fallback) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(fallback);
}

void UserNotificationCenter::requestAuthorization(std::function<void(bool, std::optional<ReminderError>)> completion) {
    bool granted = authorization_ == AuthorizationAnswer::granted;
    dispatch::Queue::global()->async([completion = std::move(completion), granted] { completion(granted, std::nullopt); });
}

void UserNotificationCenter::reconcile() {
    std::lock_guard lock(mutex_);
    StoreLock storeLock(storeFile_);
    load();
    foundation::Date now = foundation::Date::now();
    bool changed = dropStale(now);
    for (auto& pending : pending_) {
        // What is already due is the app's to deliver now; what is ahead goes to the service manager
        // unless it still holds it.
        if (pending.fireDate > now && (pending.unit.empty() || !scheduler_ || !scheduler_->isScheduled(pending.unit))) {
            std::string unit = scheduleWithServiceManager(pending.request, pending.fireDate);
            changed = changed || unit != pending.unit;
            pending.unit = unit;
        }
    }
    if (!changed) return;
    if (auto error = save()) foundation::print(error->message);
}

void UserNotificationCenter::add(NotificationRequest request, std::function<void(std::optional<ReminderError>)> completion) {
    std::optional<ReminderError> error;
    auto fireDate = request.trigger.nextTriggerDate(foundation::Date::now(), foundation::Calendar::current());
    if (!fireDate) {
        error = ReminderError{"The reminder's time has already passed, so it would never be shown."};
    } else {
        std::lock_guard lock(mutex_);
        StoreLock storeLock(storeFile_);
        load();
        auto before = pending_;
        for (const auto& replaced : pending_) {
            if (replaced.request.identifier == request.identifier) unscheduleFromServiceManager(replaced);
        }
        std::erase_if(pending_, [&](const Pending& p) { return p.request.identifier == request.identifier; });
        retryAfter_.erase(request.identifier);
        std::string unit = scheduleWithServiceManager(request, *fireDate);
        pending_.push_back({std::move(request), *fireDate, unit});
        error = save();
        // What could not be kept is not pending either.
        if (error) {
            unscheduleFromServiceManager(pending_.back());
            pending_ = std::move(before);
        }
    }
    if (!error) scheduleDelivery();
    if (completion) dispatch::Queue::global()->async([completion = std::move(completion), error] { completion(error); });
}

std::vector<NotificationRequest> UserNotificationCenter::pendingNotificationRequests() const {
    std::lock_guard lock(mutex_);
    {
        StoreLock storeLock(storeFile_);
        load();
    }
    std::vector<NotificationRequest> requests;
    for (const auto& pending : pending_) requests.push_back(pending.request);
    return requests;
}

bool UserNotificationCenter::isScheduledWithServiceManager(const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    return std::any_of(pending_.begin(), pending_.end(),
                       [&](const Pending& p) { return p.request.identifier == identifier && !p.unit.empty(); });
}

void UserNotificationCenter::getPendingNotificationRequests(std::function<void(std::vector<NotificationRequest>)> completion) const {
    dispatch::Queue::global()->async([completion = std::move(completion), requests = pendingNotificationRequests()] {
        completion(requests);
    });
}

void UserNotificationCenter::removePendingNotificationRequests(const std::vector<std::string>& identifiers) {
    std::lock_guard lock(mutex_);
    StoreLock storeLock(storeFile_);
    load();
    auto named = [&](const Pending& p) {
        return std::find(identifiers.begin(), identifiers.end(), p.request.identifier) != identifiers.end();
    };
    for (const auto& pending : pending_) {
        if (named(pending)) unscheduleFromServiceManager(pending);
    }
    auto removed = std::erase_if(pending_, named);
    for (const auto& identifier : identifiers) retryAfter_.erase(identifier);
    if (removed == 0) return;
    if (auto error = save()) foundation::print(error->message);
}

std::vector<NotificationRequest> UserNotificationCenter::deliveredNotifications() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

bool UserNotificationCenter::deliverDueNotifications() { return deliverDue(true); }

bool UserNotificationCenter::deliverDue(bool waitForStore) {
    std::lock_guard lock(mutex_);
    foundation::Date now = foundation::Date::now();
    auto due = [&](const Pending& p) {
        auto retry = retryAfter_.find(p.request.identifier);
        return isStale(p, now) || (p.fireDate <= now && (retry == retryAfter_.end() || retry->second <= now));
    };
    // Most ticks find nothing due: the store is read only when something is.
    if (std::none_of(pending_.begin(), pending_.end(), due)) return true;

    StoreLock storeLock(storeFile_, waitForStore ? StoreLock::Wait::yes : StoreLock::Wait::no);
    if (storeLock.busy()) return true;
    load();
    bool allShown = true;
    bool changed = dropStale(now);
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (!due(*it)) {
            ++it;
            continue;
        }
        NotificationRequest shown = it->request;
        if (const auto& announced = shown.announces) {
            shown.content.body = startingText(announced->name, announced->start.timeIntervalSince(now));
        }
        auto presented = presenter_->present(shown);
        if (!presented && fallback_) {
            // Where the desktop cannot show it, the app's window does: a reminder is never lost unseen.
            if (auto inApp = fallback_->present(shown)) {
                foundation::print(presented.error().message + "; it is shown in the app's window instead");
                presented = {};
            } else {
                presented = std::unexpected(ReminderError{presented.error().message + "; " + inApp.error().message});
            }
        }
        if (!presented) {
            foundation::print(presented.error().message + "; it is tried again in " + std::to_string(static_cast<int>(retryDelay)) + " s");
            retryAfter_[it->request.identifier] = now.addingTimeInterval(retryDelay);
            allShown = false;
            ++it;
            continue;
        }
        unscheduleFromServiceManager(*it);
        retryAfter_.erase(it->request.identifier);
        delivered_.push_back(std::move(shown));
        it = pending_.erase(it);
        changed = true;
    }
    if (changed) {
        if (auto error = save()) foundation::print(error->message);
    }
    return allShown;
}

bool UserNotificationCenter::isStale(const Pending& pending, foundation::Date now) const {
    foundation::Date announced = pending.request.announces ? pending.request.announces->start : pending.fireDate;
    return now.timeIntervalSince(announced) > startGrace;
}

bool UserNotificationCenter::dropStale(foundation::Date now) {
    return std::erase_if(pending_, [&](const Pending& pending) {
               if (!isStale(pending, now)) return false;
               foundation::print("The reminder \"" + pending.request.identifier +
                                 "\" was dropped unshown: what it announced has begun.");
               unscheduleFromServiceManager(pending);
               retryAfter_.erase(pending.request.identifier);
               return true;
           }) > 0;
}

std::string UserNotificationCenter::scheduleWithServiceManager(const NotificationRequest& request, foundation::Date fireDate) {
    if (!scheduler_ || deliveryCommand_.empty()) return {};
    if (auto reachable = scheduler_->available(); !reachable) {
        foundation::print("Reminders are shown only while the app runs: " + reachable.error().message);
        return {};
    }
    std::string unit = unitName(request.identifier, fireDate);
    auto command = deliveryCommand_;
    command.push_back(storeFile_.string());
    if (auto scheduled = scheduler_->schedule(unit, fireDate, command); !scheduled) {
        foundation::print(scheduled.error().message + "; the app shows the reminder while it runs");
        return {};
    }
    return unit;
}

void UserNotificationCenter::unscheduleFromServiceManager(const Pending& pending) {
    if (pending.unit.empty() || !scheduler_) return;
    if (auto removed = scheduler_->unschedule(pending.unit); !removed) foundation::print(removed.error().message);
}

void UserNotificationCenter::scheduleDelivery() {
    std::lock_guard lock(mutex_);
    if (pending_.empty() || (timer_ && timer_->isValid())) return;
    std::weak_ptr<UserNotificationCenter> weak = weak_from_this();
    if (weak.expired()) return;  // not yet owned: make() schedules once it is
    timer_ = dispatch::Timer::create(1.0, true, [weak](dispatch::Timer& timer) {
        auto center = weak.lock();
        if (!center) return timer.invalidate();
        // A process holding the store is delivering or changing it; the next tick looks again, rather
        // than the main thread waiting on a notification service that hangs.
        center->deliverDue(false);
        std::lock_guard lock(center->mutex_);
        if (center->pending_.empty()) timer.invalidate();
    });
    dispatch::RunLoop::main()->add(timer_);
}

void UserNotificationCenter::load() const {
    pending_.clear();
    auto contents = foundation::FileManager::defaultManager()->contents(storeFile_);
    if (!contents) return;
    Json document = Json::parse(contents->toString(), nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("requests") || !document["requests"].is_array()) {
        // Kept aside rather than overwritten by the next save.
        auto aside = storeFile_;
        aside += ".unreadable";
        foundation::FileManager::defaultManager()->removeItem(aside);
        foundation::FileManager::defaultManager()->moveItem(storeFile_, aside);
        foundation::print("Pending reminders could not be read; the file was moved to " + aside.string());
        return;
    }
    for (const Json& item : document["requests"]) {
        // One unreadable request loses only itself.
        if (!item.is_object() || !item.contains("content") || !item["content"].is_object() || !item.contains("trigger") ||
            !item["trigger"].is_object() || !item["trigger"].contains("fireDate") || !item["trigger"]["fireDate"].is_number()) {
            continue;
        }
        std::string identifier = textField(item, "identifier");
        if (identifier.empty()) continue;
        const Json& content = item["content"];
        const Json& trigger = item["trigger"];
        NotificationRequest request;
        request.identifier = identifier;
        request.content.title = textField(content, "title");
        request.content.subtitle = textField(content, "subtitle");
        request.content.body = textField(content, "body");
        request.content.defaultSound = textField(content, "sound") == "default";
        request.content.categoryIdentifier = textField(content, "categoryIdentifier");
        if (auto info = content.find("userInfo"); info != content.end() && info->is_object()) {
            for (const auto& [key, value] : info->items()) {
                if (value.is_string()) request.content.userInfo[key] = value.get<std::string>();
            }
        }
        if (auto components = trigger.find("dateComponents"); components != trigger.end() && components->is_object()) {
            auto& c = request.trigger.dateComponents;
            c.year = intField(*components, "year");
            c.month = intField(*components, "month");
            c.day = intField(*components, "day");
            c.hour = intField(*components, "hour");
            c.minute = intField(*components, "minute");
        }
        request.trigger.repeats = trigger.value("repeats", false);
        if (auto announces = item.find("announces"); announces != item.end() && announces->is_object() &&
                                                     announces->contains("start") && (*announces)["start"].is_number()) {
            request.announces = AnnouncedStart{textField(*announces, "name"),
                                               foundation::Date::fromUnix((*announces)["start"].get<double>())};
        }
        auto fireDate = foundation::Date::fromUnix(trigger["fireDate"].get<double>());
        std::erase_if(pending_, [&](const Pending& p) { return p.request.identifier == identifier; });
        pending_.push_back({std::move(request), fireDate, textField(item, "unit")});
    }
}

std::optional<ReminderError> UserNotificationCenter::save() const {
    Json requests = Json::array();
    for (const auto& [request, fireDate, unit] : pending_) {
        Json userInfo = Json::object();
        for (const auto& [key, value] : request.content.userInfo) userInfo[key] = value;
        Json item = {
            {"identifier", request.identifier},
            {"content",
             {{"title", request.content.title},
              {"subtitle", request.content.subtitle},
              {"body", request.content.body},
              {"sound", request.content.defaultSound ? "default" : ""},
              {"categoryIdentifier", request.content.categoryIdentifier},
              {"userInfo", userInfo}}},
            {"trigger",
             {{"dateComponents", componentsJson(request.trigger.dateComponents)},
              {"repeats", request.trigger.repeats},
              {"fireDate", fireDate.timeIntervalSince1970()}}},
        };
        if (request.announces) {
            item["announces"] = {{"name", request.announces->name}, {"start", request.announces->start.timeIntervalSince1970()}};
        }
        if (!unit.empty()) item["unit"] = unit;
        requests.push_back(std::move(item));
    }
    Json document = {{"requests", requests}};
    auto files = foundation::FileManager::defaultManager();
    if (!files->createDirectory(storeFile_.parent_path(), true)) {
        return ReminderError{"Cannot make the reminders folder " + storeFile_.parent_path().string()};
    }
    if (!files->write(storeFile_, foundation::Data::fromString(document.dump(2)), {.atomic = true})) {
        return ReminderError{"Cannot write the pending reminders to " + storeFile_.string()};
    }
    return std::nullopt;
}

}  // namespace reminders
