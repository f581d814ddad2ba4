#pragma once

#include <cstdint>
#include <string>

namespace vellum {

// The DOM Level 2 Style value kinds.
enum class CSSValueType : std::int32_t { inherit = 0, primitiveValue = 1, valueList = 2, custom = 3 };

// A style value and the text it was set from.
class CSSValue {
public:
    virtual ~CSSValue() = default;

    const std::string& cssText() const { return cssText_; }
    virtual void setCssText(std::string text) { cssText_ = std::move(text); }
    CSSValueType cssValueType() const { return cssValueType_; }

protected:
    explicit CSSValue(CSSValueType type) : cssValueType_(type) {}

private:
    std::string cssText_;
    CSSValueType cssValueType_;
};

}  // namespace vellum
