#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace vellum {

class CSSStyleSheet;

// The sheets that apply to an svg element, in document order.
class StyleSheetList {
public:
    std::size_t length() const { return internalArray_.size(); }
    // Null past the end.
    std::shared_ptr<CSSStyleSheet> item(std::size_t index) const {
        return index < internalArray_.size() ? internalArray_[index] : nullptr;
    }

    std::vector<std::shared_ptr<CSSStyleSheet>>& internalArray() { return internalArray_; }
    const std::vector<std::shared_ptr<CSSStyleSheet>>& internalArray() const { return internalArray_; }

private:
    std::vector<std::shared_ptr<CSSStyleSheet>> internalArray_;
};

}  // namespace vellum
