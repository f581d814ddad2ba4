#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellum {

class CSSRule;
class CSSValue;

// A declaration block: property name to value, from a text such as "fill: red; stroke-width: 2".
class CSSStyleDeclaration {
public:
    using Properties = std::map<std::string, std::shared_ptr<CSSValue>, std::less<>>;

    // Parses a declaration list: names and values trimmed, a later declaration of a name replacing an
    // earlier one, a value with a blank becoming a value list. A value ending in "!important" keeps
    // that as its priority, not as part of the value. A value over 255 bytes ends the parse there
    // (logged), keeping what came before.
    static Properties NSDictionaryFromCSSAttributes(std::string_view text,
                                                    std::map<std::string, std::string>* priorities = nullptr);

    const std::string& cssText() const { return cssText_; }
    // Replaces every declaration with those of the text.
    void setCssText(std::string text);

    std::shared_ptr<CSSValue> getPropertyCSSValue(std::string_view name) const;
    // The value's text as written.
    std::optional<std::string> getPropertyValue(std::string_view name) const;
    // Answers the value it removed.
    std::optional<std::string> removeProperty(std::string_view name);
    // "important" or the empty text.
    std::string getPropertyPriority(std::string_view name) const;
    // Whether that priority is "important", without a text made for the answer.
    bool isImportant(std::string_view name) const { return !priorities_.empty() && getPropertyPriority(name) == "important"; }
    // Sets one declaration as the text "value" would, with its priority ("important" or empty).
    void setProperty(std::string name, std::string value, std::string priority);

    std::uint64_t length() const { return length_; }
    void setLength(std::uint64_t length) { length_ = length; }
    // The property name at `index` in ascending name order; empty past the end.
    std::string item(std::size_t index) const;
    std::shared_ptr<CSSRule> parentRule() const { return parentRule_.lock(); }
    void setParentRule(const std::shared_ptr<CSSRule>& rule) { parentRule_ = rule; }

    const Properties& internalDictionaryOfStylesByCSSClass() const { return properties_; }
    std::string description() const;

private:
    Properties properties_;
    std::map<std::string, std::string> priorities_;
    std::string cssText_;
    std::uint64_t length_ = 0;
    std::weak_ptr<CSSRule> parentRule_;
};

}  // namespace vellum
