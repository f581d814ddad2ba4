#include "vellum/CSSStyleDeclaration.h"

#include <algorithm>
#include <cctype>

#include "VellumLog.h"
#include "foundation/Strings.h"
#include "vellum/CSSPrimitiveValue.h"
#include "vellum/CSSValueList.h"

namespace vellum {

namespace {

constexpr std::size_t bufferLimit = 255;

std::string trimmed(std::string_view text) { return foundation::trimmingWhitespaceAndNewlines(text); }

// Takes a trailing "!important" (any case, blanks allowed after "!") off the value.
bool takeImportant(std::string& value) {
    const std::size_t bang = value.rfind('!');
    if (bang == std::string::npos) return false;
    std::string rest = trimmed(std::string_view(value).substr(bang + 1));
    std::transform(rest.begin(), rest.end(), rest.begin(), [](unsigned char c) { return std::tolower(c); });
    if (rest != "important") return false;
    value = trimmed(std::string_view(value).substr(0, bang));
    return true;
}

std::shared_ptr<CSSValue> makeValue(std::string text) {
    std::shared_ptr<CSSValue> value;
    if (text.find(' ') != std::string::npos) {
        value = std::make_shared<CSSValueList>();
    } else {
        value = std::make_shared<CSSPrimitiveValue>();
    }
    value->setCssText(std::move(text));
    return value;
}

}  // namespace

CSSStyleDeclaration::Properties CSSStyleDeclaration::NSDictionaryFromCSSAttributes(
    std::string_view text, std::map<std::string, std::string>* priorities) {
    Properties properties;
    std::string name;
    std::string accumulator;
    const auto finish = [&] {
        // Blanks alone (as after a last ";") are no declaration.
        if (trimmed(accumulator).empty()) {
            accumulator.clear();
            return;
        }
        std::string key = trimmed(name);
        std::string value = trimmed(accumulator);
        const bool important = takeImportant(value);
        if (priorities) {
            if (important) {
                (*priorities)[key] = "important";
            } else {
                priorities->erase(key);
            }
        }
        properties[key] = makeValue(std::move(value));
        name.clear();
        accumulator.clear();
    };
    for (char byte : text) {
        if (byte == ':') {
            name = std::move(accumulator);
            accumulator.clear();
        } else if (byte == ';') {
            finish();
        } else {
            if (accumulator.size() >= bufferLimit) {
                vellumLogWarning("Buffer ovverun while parsing style sheet - skipping");
                return properties;
            }
            accumulator += byte;
        }
    }
    finish();
    return properties;
}

void CSSStyleDeclaration::setCssText(std::string text) {
    priorities_.clear();
    properties_ = NSDictionaryFromCSSAttributes(text, &priorities_);
    cssText_ = std::move(text);
}

std::shared_ptr<CSSValue> CSSStyleDeclaration::getPropertyCSSValue(std::string_view name) const {
    auto found = properties_.find(name);
    return found == properties_.end() ? nullptr : found->second;
}

std::optional<std::string> CSSStyleDeclaration::getPropertyValue(std::string_view name) const {
    auto value = getPropertyCSSValue(name);
    if (!value) return std::nullopt;
    return value->cssText();
}

std::optional<std::string> CSSStyleDeclaration::removeProperty(std::string_view name) {
    auto old = getPropertyValue(name);
    if (auto found = properties_.find(name); found != properties_.end()) properties_.erase(found);
    priorities_.erase(std::string(name));
    return old;
}

std::string CSSStyleDeclaration::getPropertyPriority(std::string_view name) const {
    auto found = priorities_.find(std::string(name));
    return found == priorities_.end() ? std::string() : found->second;
}

void CSSStyleDeclaration::setProperty(std::string name, std::string value, std::string priority) {
    std::string text = trimmed(value);
    takeImportant(text);
    if (priority == "important") {
        priorities_[name] = priority;
    } else {
        priorities_.erase(name);
    }
    properties_[std::move(name)] = makeValue(std::move(text));
}

std::string CSSStyleDeclaration::item(std::size_t index) const {
    // The table is ordered by name already.
    if (index >= properties_.size()) return {};
    return std::next(properties_.begin(), static_cast<std::ptrdiff_t>(index))->first;
}

std::string CSSStyleDeclaration::description() const {
    std::string entries;
    for (const auto& [name, value] : properties_) {
        if (!entries.empty()) entries += "; ";
        entries += name + " = " + value->cssText();
    }
    return "CSSStyleDeclaration: dictionary(" + entries + ")";
}

}  // namespace vellum
