#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace vellum {

class SVGElement;
class SVGUseElement;

// One node of the tree that mirrors what a use element refers to. Elements are not owned here.
class SVGElementInstance : public std::enable_shared_from_this<SVGElementInstance> {
public:
    std::shared_ptr<SVGElementInstance> parentNode() const { return parentNode_.lock(); }
    // Attaches to `parent`'s children (and leaves any earlier parent's).
    void setParentNode(const std::shared_ptr<SVGElementInstance>& parent);
    const std::vector<std::shared_ptr<SVGElementInstance>>& childNodes() const { return childNodes_; }

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
    std::vector<std::shared_ptr<SVGElementInstance>> childNodes_;
    std::weak_ptr<SVGElement> correspondingElement_;
    std::weak_ptr<SVGUseElement> correspondingUseElement_;
};

}  // namespace vellum
