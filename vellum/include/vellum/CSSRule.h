#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vellum {

class CSSStyleSheet;

// A rule of a style sheet. The parser fills none of these fields; style rules carry the content.
class CSSRule {
public:
    virtual ~CSSRule() = default;

    std::uint16_t type() const { return type_; }
    void setType(std::uint16_t type) { type_ = type; }
    const std::string& cssText() const { return cssText_; }
    void setCssText(std::string text) { cssText_ = std::move(text); }
    std::shared_ptr<CSSStyleSheet> parentStyleSheet() const { return parentStyleSheet_.lock(); }
    void setParentStyleSheet(const std::shared_ptr<CSSStyleSheet>& sheet) { parentStyleSheet_ = sheet; }
    std::shared_ptr<CSSRule> parentRule() const { return parentRule_.lock(); }
    void setParentRule(const std::shared_ptr<CSSRule>& rule) { parentRule_ = rule; }

private:
    std::uint16_t type_ = 0;
    std::string cssText_;
    std::weak_ptr<CSSStyleSheet> parentStyleSheet_;
    std::weak_ptr<CSSRule> parentRule_;
};

}  // namespace vellum
