#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "vellum/CSSValue.h"

namespace vellum {

// A value of several blank-separated tokens, kept as texts.
class CSSValueList : public CSSValue {
public:
    CSSValueList() : CSSValue(CSSValueType::valueList) {}

    // Splits at every single blank: two blanks in a row give an empty item.
    void setCssText(std::string text) override;
    std::size_t length() const { return internalArray_.size(); }
    // The empty text past the end.
    std::string item(std::size_t index) const;

private:
    std::vector<std::string> internalArray_;
};

}  // namespace vellum
