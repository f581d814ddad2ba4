#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vellum {

class CSSRule;

// The rules of a sheet, in order.
class CSSRuleList {
public:
    std::size_t length() const { return internalArray_.size(); }
    // Null past the end.
    std::shared_ptr<CSSRule> item(std::size_t index) const;

    std::vector<std::shared_ptr<CSSRule>>& internalArray() { return internalArray_; }
    const std::vector<std::shared_ptr<CSSRule>>& internalArray() const { return internalArray_; }

    std::string description() const;

private:
    std::vector<std::shared_ptr<CSSRule>> internalArray_;
};

}  // namespace vellum
