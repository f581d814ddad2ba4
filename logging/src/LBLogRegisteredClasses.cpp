#include <algorithm>
#include <mutex>

#include "logging/LBLog.h"

namespace logging {
namespace {

struct RegisteredClass {
    std::type_index type;
    std::string name;
    std::function<LBLogLevel()> getter;
    std::function<void(LBLogLevel)> setter;
};

struct Registry {
    std::mutex mutex;
    std::vector<RegisteredClass> classes;  // in order of registration

    const RegisteredClass* find(std::type_index type) const {
        auto found = std::ranges::find(classes, type, &RegisteredClass::type);
        return found == classes.end() ? nullptr : &*found;
    }
    const RegisteredClass* find(std::string_view name) const {
        auto found = std::ranges::find(classes, name, &RegisteredClass::name);
        return found == classes.end() ? nullptr : &*found;
    }
};

Registry& registry() {
    static Registry& registry = *new Registry;
    return registry;
}

template <class Key>
LBLogLevel levelOf(const Key& key) {
    std::function<LBLogLevel()> getter;
    {
        std::lock_guard lock(registry().mutex);
        if (auto* found = registry().find(key)) getter = found->getter;
    }
    return getter ? getter() : LBLogLevel::all;
}

template <class Key>
void setLevelOf(const Key& key, LBLogLevel level) {
    std::function<void(LBLogLevel)> setter;
    {
        std::lock_guard lock(registry().mutex);
        if (auto* found = registry().find(key)) setter = found->setter;
    }
    if (setter) setter(level);
}

}  // namespace

void LBLog::registerClass(std::type_index type, std::string name, std::function<LBLogLevel()> getter,
                          std::function<void(LBLogLevel)> setter) {
    std::lock_guard lock(registry().mutex);
    auto& classes = registry().classes;
    auto found = std::ranges::find(classes, type, &RegisteredClass::type);
    if (found != classes.end()) {
        *found = {type, std::move(name), std::move(getter), std::move(setter)};
    } else {
        classes.push_back({type, std::move(name), std::move(getter), std::move(setter)});
    }
}

bool LBLog::isRegisteredClass(std::type_index type) {
    std::lock_guard lock(registry().mutex);
    return registry().find(type) != nullptr;
}

std::vector<std::type_index> LBLog::registeredClasses() {
    std::lock_guard lock(registry().mutex);
    std::vector<std::type_index> types;
    for (const auto& entry : registry().classes) types.push_back(entry.type);
    return types;
}

std::vector<std::string> LBLog::registeredClassNames() {
    std::lock_guard lock(registry().mutex);
    std::vector<std::string> names;
    for (const auto& entry : registry().classes) names.push_back(entry.name);
    return names;
}

LBLogLevel LBLog::levelForClass(std::type_index type) { return levelOf(type); }

LBLogLevel LBLog::levelForClassWithName(std::string_view name) { return levelOf(name); }

void LBLog::setLevelForClass(LBLogLevel level, std::type_index type) { setLevelOf(type, level); }

void LBLog::setLevelForClassWithName(LBLogLevel level, std::string_view name) { setLevelOf(name, level); }

}  // namespace logging
