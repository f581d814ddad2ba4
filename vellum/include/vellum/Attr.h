#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vellum/Node.h"

namespace vellum {

class Element;

// An attribute node: its name and value kept both as `name`/`value` and as node name and value.
class Attr : public Node {
public:
    Attr(std::string name, std::string value);
    // Namespaced: local name and prefix come from the qualified name.
    Attr(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value);

    bool specified() const { return specified_; }
    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    void setValue(std::string value);
    // A weak link: the element owns its attributes.
    std::shared_ptr<Element> ownerElement() const { return ownerElement_.lock(); }
    void setOwnerElement(const std::shared_ptr<Element>& element) { ownerElement_ = element; }

private:
    bool specified_ = false;
    std::string name_;
    std::string value_;
    std::weak_ptr<Element> ownerElement_;
};

}  // namespace vellum
