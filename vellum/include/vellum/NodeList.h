#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vellum {

class Node;

// An ordered list of nodes, in document order.
class NodeList {
public:
    // Null past the end.
    std::shared_ptr<Node> item(std::size_t index) const;
    std::size_t length() const { return internalArray_.size(); }

    auto begin() const { return internalArray_.begin(); }
    auto end() const { return internalArray_.end(); }

    std::vector<std::shared_ptr<Node>>& internalArray() { return internalArray_; }
    const std::vector<std::shared_ptr<Node>>& internalArray() const { return internalArray_; }

    std::string description() const;

private:
    std::vector<std::shared_ptr<Node>> internalArray_;
};

}  // namespace vellum
