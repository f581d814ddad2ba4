#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace vellum {

class SVGElement;
class SVGElementInstance;
class SVGUseElement;

// The ordered children of an element instance. A plain list: no element behaviour applies to it, and
// every instance owns one, so it carries nothing of a DOM element.
class SVGElementInstanceList {
public:
    std::size_t length() const { return internalArray_.size(); }
    // Null when `index` is not below `length`.
    std::shared_ptr<SVGElementInstance> item(std::size_t index) const {
        return index < internalArray_.size() ? internalArray_[index] : nullptr;
    }
    std::vector<std::shared_ptr<SVGElementInstance>>& internalArray() { return internalArray_; }
    const std::vector<std::shared_ptr<SVGElementInstance>>& internalArray() const { return internalArray_; }
    void setInternalArray(std::vector<std::shared_ptr<SVGElementInstance>> array) { internalArray_ = std::move(array); }

private:
    std::vector<std::shared_ptr<SVGElementInstance>> internalArray_;
};

// One node of the tree that mirrors what a use element refers to. Elements are not owned here.
class SVGElementInstance : public std::enable_shared_from_this<SVGElementInstance> {
public:
    // A parent owns its children through its list; a child refers to its parent weakly.
    SVGElementInstance() : childNodes_(std::make_shared<SVGElementInstanceList>()) {}

    std::shared_ptr<SVGElementInstance> parentNode() const { return parentNode_.lock(); }
    // Attaches to `parent`'s children (and leaves any earlier parent's).
    void setParentNode(const std::shared_ptr<SVGElementInstance>& parent);
    const std::shared_ptr<SVGElementInstanceList>& childNodes() const { return childNodes_; }
    void setChildNodes(std::shared_ptr<SVGElementInstanceList> list) {
        childNodes_ = list ? std::move(list) : std::make_shared<SVGElementInstanceList>();
    }

    std::shared_ptr<SVGElementInstance> firstChild() const;
    std::shared_ptr<SVGElementInstance> lastChild() const;
    std::shared_ptr<SVGElementInstance> previousSibling() const;
    std::shared_ptr<SVGElementInstance> nextSibling() const;

    std::shared_ptr<SVGElement> correspondingElement() const { return correspondingElement_.lock(); }
    void setCorrespondingElement(const std::shared_ptr<SVGElement>& element) { correspondingElement_ = element; }
    std::shared_ptr<SVGUseElement> correspondingUseElement() const { return correspondingUseElement_.lock(); }
    void setCorrespondingUseElement(const std::shared_ptr<SVGUseElement>& use) { correspondingUseElement_ = use; }

private:
    std::weak_ptr<SVGElementInstance> parentNode_;
    std::shared_ptr<SVGElementInstanceList> childNodes_;
    std::weak_ptr<SVGElement> correspondingElement_;
    std::weak_ptr<SVGUseElement> correspondingUseElement_;
};

}  // namespace vellum
