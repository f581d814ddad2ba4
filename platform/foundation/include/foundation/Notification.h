#pragma once

#include <any>
#include <compare>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace foundation {

// Values are boxed: a handler asks for the type it expects and treats anything else as absent.
// Integers travel as int, texts as std::string.
using UserInfo = std::map<std::string, std::any, std::less<>>;

// One message posted on a NotificationCenter.
struct Notification {
    struct Name {
        std::string rawValue;

        Name() = default;
        explicit Name(std::string value) : rawValue(std::move(value)) {}
        friend auto operator<=>(const Name&, const Name&) = default;
    };

    Name name;
    std::shared_ptr<void> object;  // the sender, absent for most notifications
    UserInfo userInfo;

    // The entry under key when it holds exactly a T; null when missing or of another type.
    template <typename T>
    const T* value(std::string_view key) const {
        auto found = userInfo.find(key);
        return found == userInfo.end() ? nullptr : std::any_cast<T>(&found->second);
    }
};

}  // namespace foundation

template <>
struct std::hash<foundation::Notification::Name> {
    std::size_t operator()(const foundation::Notification::Name& name) const noexcept {
        return std::hash<std::string>{}(name.rawValue);
    }
};
