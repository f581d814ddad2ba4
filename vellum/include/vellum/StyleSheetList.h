#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "vellum/CSSRuleList.h"
#include "vellum/CSSStyleSheet.h"

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

    // Appends a sheet read for the document and counts its rules as they stand: the parser's limit on a
    // document's rules reads the count, which grows with each sheet instead of being summed again.
    void appendCounted(std::shared_ptr<CSSStyleSheet> sheet) {
        countedRules_ += sheet ? sheet->cssRules()->length() : 0;
        internalArray_.push_back(std::move(sheet));
    }
    // The rules of the sheets appendCounted added, as they were then.
    std::size_t countedRules() const { return countedRules_; }

private:
    std::vector<std::shared_ptr<CSSStyleSheet>> internalArray_;
    std::size_t countedRules_ = 0;
};

}  // namespace vellum
