#include "vellum/NodeList.h"

#include "vellum/Node.h"

namespace vellum {

std::shared_ptr<Node> NodeList::item(std::size_t index) const {
    return index < internalArray_.size() ? internalArray_[index] : nullptr;
}

std::string NodeList::description() const {
    std::string items;
    for (const auto& node : internalArray_) {
        if (!items.empty()) items += ", ";
        items += node->description();
    }
    return "NodeList: array(" + items + ")";
}

}  // namespace vellum
