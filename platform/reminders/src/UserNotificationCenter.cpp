#include "reminders/UserNotificationCenter.h"

#include <nlohmann/json.hpp>

#include <algorithm>

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

}  // namespace

std::shared_ptr<UserNotificationCenter> UserNotificationCenter::make(Configuration configuration) {
    auto center = std::make_shared<UserNotificationCenter>(std::move(configuration));
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
      authorization_(configuration.authorization) {
    load();
}

UserNotificationCenter::~UserNotificationCenter() {
    if (timer_) timer_->invalidate();
}

void UserNotificationCenter::requestAuthorization(std::function<void(bool, std::optional<ReminderError>)> completion) {
    bool granted = authorization_ == AuthorizationAnswer::granted;
    dispatch::Queue::global()->async([completion = std::move(completion), granted] { completion(granted, std::nullopt); });
}

void UserNotificationCenter::add(NotificationRequest request, std::function<void(std::optional<ReminderError>)> completion) {
    std::optional<ReminderError> error;
    auto fireDate = request.trigger.nextTriggerDate(foundation::Date::now(), foundation::Calendar::current());
    if (!fireDate) {
        error = ReminderError{"The reminder's time has already passed, so it would never be shown."};
    } else {
        std::lock_guard lock(mutex_);
        std::erase_if(pending_, [&](const Pending& p) { return p.request.identifier == request.identifier; });
        auto before = pending_;
        pending_.push_back({std::move(request), *fireDate});
        error = save();
        // What could not be kept is not pending either.
        if (error) pending_ = std::move(before);
    }
    if (!error) scheduleDelivery();
    if (completion) dispatch::Queue::global()->async([completion = std::move(completion), error] { completion(error); });
}

std::vector<NotificationRequest> UserNotificationCenter::pendingNotificationRequests() const {
    std::lock_guard lock(mutex_);
    std::vector<NotificationRequest> requests;
    for (const auto& pending : pending_) requests.push_back(pending.request);
    return requests;
}

void UserNotificationCenter::getPendingNotificationRequests(std::function<void(std::vector<NotificationRequest>)> completion) const {
    dispatch::Queue::global()->async([completion = std::move(completion), requests = pendingNotificationRequests()] {
        completion(requests);
    });
}

void UserNotificationCenter::removePendingNotificationRequests(const std::vector<std::string>& identifiers) {
    std::lock_guard lock(mutex_);
    auto removed = std::erase_if(pending_, [&](const Pending& p) {
        return std::find(identifiers.begin(), identifiers.end(), p.request.identifier) != identifiers.end();
    });
    if (removed == 0) return;
    if (auto error = save()) foundation::print(error->message);
}

std::vector<NotificationRequest> UserNotificationCenter::deliveredNotifications() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

void UserNotificationCenter::deliverDueNotifications() {
    std::vector<NotificationRequest> due;
    {
        std::lock_guard lock(mutex_);
        foundation::Date now = foundation::Date::now();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->fireDate > now) {
                ++it;
                continue;
            }
            due.push_back(std::move(it->request));
            it = pending_.erase(it);
        }
        if (due.empty()) return;
        if (auto error = save()) foundation::print(error->message);
        delivered_.insert(delivered_.end(), due.begin(), due.end());
    }
    for (const auto& request : due) {
        if (auto shown = presenter_->present(request); !shown) foundation::print(shown.error().message);
    }
}

void UserNotificationCenter::scheduleDelivery() {
    std::lock_guard lock(mutex_);
    if (pending_.empty() || (timer_ && timer_->isValid())) return;
    std::weak_ptr<UserNotificationCenter> weak = weak_from_this();
    if (weak.expired()) return;  // not yet owned: make() schedules once it is
    timer_ = dispatch::Timer::create(1.0, true, [weak](dispatch::Timer& timer) {
        auto center = weak.lock();
        if (!center) return timer.invalidate();
        center->deliverDueNotifications();
        std::lock_guard lock(center->mutex_);
        if (center->pending_.empty()) timer.invalidate();
    });
    dispatch::RunLoop::main()->add(timer_);
}

void UserNotificationCenter::load() {
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
        auto fireDate = foundation::Date::fromUnix(trigger["fireDate"].get<double>());
        std::erase_if(pending_, [&](const Pending& p) { return p.request.identifier == identifier; });
        pending_.push_back({std::move(request), fireDate});
    }
}

std::optional<ReminderError> UserNotificationCenter::save() const {
    Json requests = Json::array();
    for (const auto& [request, fireDate] : pending_) {
        Json userInfo = Json::object();
        for (const auto& [key, value] : request.content.userInfo) userInfo[key] = value;
        requests.push_back({
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
        });
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
