#include "vellum/CSSValueList.h"

#include "foundation/Strings.h"

namespace vellum {

void CSSValueList::setCssText(std::string text) {
    internalArray_ = foundation::components(text, " ");
    CSSValue::setCssText(std::move(text));
}

std::string CSSValueList::item(std::size_t index) const {
    return index < internalArray_.size() ? internalArray_[index] : std::string();
}

}  // namespace vellum
