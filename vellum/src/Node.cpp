#include "vellum/Node.h"

#include <algorithm>
#include <atomic>
#include <array>

#include "CommonNamespaces.h"
#include "XMLEscaping.h"
#include "foundation/Assertion.h"
#include "foundation/Format.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeArena.h"
#include "vellum/NodeList.h"

namespace vellum {

namespace {

// The room a parent's child list gets with its first parsed child: most of the flags' parents hold 3 to
// 15 children, blanks between elements counted.
constexpr std::size_t firstParsedChildRoom = 8;

bool hasValue(NodeType type) {
    switch (type) {
        case NodeType::attribute:
        case NodeType::text:
        case NodeType::cdataSection:
        case NodeType::processingInstruction:
        case NodeType::comment:
            return true;
        default:
            return false;
    }
}

bool isKnown(NodeType type) {
    const auto code = static_cast<std::int32_t>(type);
    return code >= 1 && code <= 12;
}

// The first `count` characters of a UTF-8 text (continuation bytes stay with their character).
std::string_view firstCharacters(std::string_view text, std::size_t count) {
    std::size_t index = 0;
    for (std::size_t characters = 0; index < text.size(); ++index) {
        if ((static_cast<unsigned char>(text[index]) & 0xC0) != 0x80 && characters++ == count) break;
    }
    return text.substr(0, index);
}

}  // namespace

const std::optional<std::string>* commonNamespace(std::string_view uri) {
    static const std::array<std::optional<std::string>, 4> common = {
        std::optional<std::string>("http://www.w3.org/2000/svg"), std::optional<std::string>("http://www.w3.org/1999/xlink"),
        std::optional<std::string>(std::string(xmlnsNamespaceURI)),
        std::optional<std::string>("http://www.w3.org/XML/1998/namespace")};
    for (const auto& known : common) {
        if (*known == uri) return &known;
    }
    return nullptr;
}

// The attribute map is made where it is kept: assigned afterwards, its share was read back whole
// before the two halves its maker wrote had landed, a stall for every element. The child list waits for
// the first child: most elements of a drawing are leaves.
Node::Node(NodeType type, std::string name)
    : nodeType_(type),
      attributes_(type == NodeType::element ? makeNodeShared<NamedNodeMap>() : nullptr),
      namespaceURI_(&noText()) {
    if (isKnown(type) && hasValue(type)) {
        foundation::raiseAssertion(foundation::format(
            "NodeType = %i cannot be init'd without a value; nodes of that type MUST have a value in the DOM standard",
            static_cast<int>(type)));
    }
    if (isKnown(type)) nodeName_ = std::move(name);
}

Node::Node(NodeType type, std::string name, std::string value)
    : nodeType_(type), namespaceURI_(&noText()) {
    if (isKnown(type) && !hasValue(type)) {
        foundation::raiseAssertion(foundation::format(
            "NodeType = %i cannot be init'd with a value; nodes of that type have no value in the DOM standard",
            static_cast<int>(type)));
    }
    if (isKnown(type)) {
        nodeName_ = std::move(name);
        nodeValue_ = std::move(value);
    }
}

Node::Node(CopiedText, NodeType type, std::string_view name, std::string_view value)
    : nodeType_(type), nodeName_(name), nodeValue_(std::in_place, value), namespaceURI_(&noText()) {
    if (!isKnown(type) || !hasValue(type)) {
        foundation::raiseAssertion(
            foundation::format("NodeType = %i cannot be made from read text; only nodes with a value can", static_cast<int>(type)));
    }
}

Node::~Node() = default;

const std::optional<std::string>& Node::noText() {
    static const std::optional<std::string> none;
    return none;
}

const std::shared_ptr<NodeList>& Node::noChildren() {
    static const auto& none = *new std::shared_ptr<NodeList>(std::make_shared<NodeList>());
    return none;
}

NodeList& Node::ownChildList() {
    if (!childNodes_) childNodes_ = makeNodeShared<NodeList>();
    return *childNodes_;
}

const std::string& Node::prefixedLocalName() const {
    static const std::string none;
    return rare_ ? rare_->localName : none;
}

Node::RareParts& Node::rareParts() {
    if (!rare_) rare_ = std::make_unique<RareParts>();
    return *rare_;
}

void Node::setPrefix(std::optional<std::string> prefix) {
    if (prefix || rare_) rareParts().prefix = std::move(prefix);
}

void Node::postInitNamespaceHandling(std::optional<std::string> namespaceURI) {
    const auto* shared = namespaceURI ? commonNamespace(*namespaceURI) : nullptr;
    postInitNamespaceHandlingFromView(shared ? std::optional<std::string_view>(**shared) : std::nullopt);
    if (!shared && namespaceURI) {
        rareParts().namespaceURI = std::move(namespaceURI);
        namespaceURI_ = &rare_->namespaceURI;
    }
}

void Node::postInitNamespaceHandlingFromView(std::optional<std::string_view> namespaceURI) {
    const std::string_view name = nodeName_;
    const std::size_t lastColon = name.rfind(':');
    localNameIsName_ = lastColon == std::string_view::npos;
    if (!localNameIsName_) {
        rareParts().prefix = std::string(name.substr(0, name.find(':')));
        rare_->localName = std::string(name.substr(lastColon + 1));
    }
    const auto* shared = namespaceURI ? commonNamespace(*namespaceURI) : nullptr;
    namespaceURI_ = shared ? shared : &noText();
    if (!shared && namespaceURI) {
        rareParts().namespaceURI = std::string(*namespaceURI);
        namespaceURI_ = &rare_->namespaceURI;
    }
}

void Node::setParentNode(const std::shared_ptr<Node>& parent) { parentNode_ = parent; }

std::shared_ptr<Node> Node::firstChild() const { return childNodes()->item(0); }

std::shared_ptr<Node> Node::lastChild() const {
    const auto& children = childNodes()->internalArray();
    return children.empty() ? nullptr : children.back();
}

std::shared_ptr<Node> Node::previousSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const std::ptrdiff_t index = parent->indexOfChild(this);
    return index > 0 ? parent->childNodes()->item(static_cast<std::size_t>(index - 1)) : nullptr;
}

std::shared_ptr<Node> Node::nextSibling() const {
    auto parent = parentNode();
    if (!parent) return nullptr;
    const std::ptrdiff_t index = parent->indexOfChild(this);
    return index >= 0 ? parent->childNodes()->item(static_cast<std::size_t>(index + 1)) : nullptr;
}

std::ptrdiff_t Node::indexOfChild(const Node* node) const {
    const auto& children = childNodes()->internalArray();
    auto found = std::find_if(children.begin(), children.end(), [&](const auto& child) { return child.get() == node; });
    return found == children.end() ? -1 : found - children.begin();
}

bool Node::isAncestorOrSelf(const Node* node) const {
    for (auto current = shared_from_this(); current; current = current->parentNode()) {
        if (current.get() == node) return true;
    }
    return false;
}

// Takes the node out of its parent's list; its parent link is left for the caller to set, so a move
// never passes through "no parent".
void Node::detachFromParent(const std::shared_ptr<Node>& node) {
    // A node without a parent (every new one the parser appends): no share of one to take.
    if (node->parentNode_.expired()) return;
    auto parent = node->parentNode();
    if (!parent) return;
    auto& siblings = parent->ownChildList().internalArray();
    std::erase(siblings, node);
}

namespace {

std::atomic<std::uint64_t> changesOfTrees{0};

void noteTreeChanged() { changesOfTrees.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

std::uint64_t Node::treeChanges() { return changesOfTrees.load(std::memory_order_relaxed); }

std::shared_ptr<Node> Node::appendChild(const std::shared_ptr<Node>& newChild) {
    return insertBefore(newChild, nullptr);
}

std::shared_ptr<Node> Node::insertBefore(const std::shared_ptr<Node>& newChild, const std::shared_ptr<Node>& refChild) {
    if (!newChild) return nullptr;
    // Only a node with children can be an ancestor: a new leaf (what the parser appends) needs no walk.
    if (newChild.get() == this || (newChild->hasChildNodes() && isAncestorOrSelf(newChild.get()))) return nullptr;
    if (refChild && refChild->parentNode().get() != this) return nullptr;
    if (newChild == refChild) return newChild;
    detachFromParent(newChild);
    auto& children = ownChildList().internalArray();
    if (refChild) {
        children.insert(children.begin() + indexOfChild(refChild.get()), newChild);
    } else {
        children.push_back(newChild);
    }
    newChild->setParentNode(shared_from_this());
    noteTreeChanged();
    return newChild;
}

void Node::appendParsedChild(const std::shared_ptr<Node>& parent, std::shared_ptr<Node> child) {
    if (!parent || !child) return;
    Node& node = *child;
    const bool hasNoParent = node.parentNode_.expired();
    if (hasNoParent && &node != parent.get() && !node.hasChildNodes()) {
        auto& children = parent->ownChildList().internalArray();
        // A parent met in a parse mostly gets a handful of children with blanks between them: room for
        // that at once, instead of growing one doubling at a time from one.
        if (children.capacity() == 0) children.reserve(firstParsedChildRoom);
        children.push_back(std::move(child));
        node.setParentNode(parent);
        return;
    }
    // Compared by owner, without locking the link: the node's parent is alive while `parent` is held.
    if (!hasNoParent && !node.parentNode_.owner_before(parent) && !parent.owner_before(node.parentNode_)) return;
    parent->appendChild(child);
}

std::shared_ptr<Node> Node::replaceChild(const std::shared_ptr<Node>& newChild, const std::shared_ptr<Node>& oldChild) {
    if (newChild && newChild->nodeType() == NodeType::documentFragment) {
        foundation::raiseAssertion(
            "We should be recursing down the tree to find 'newChild' at any location, and removing it - required by "
            "the DOM standard - but we have no convenience method for that search, yet");
    }
    if (!newChild || !oldChild || oldChild->parentNode().get() != this || isAncestorOrSelf(newChild.get())) {
        return nullptr;
    }
    if (newChild == oldChild) return oldChild;
    detachFromParent(newChild);
    auto& children = ownChildList().internalArray();
    children[static_cast<std::size_t>(indexOfChild(oldChild.get()))] = newChild;
    newChild->setParentNode(shared_from_this());
    oldChild->setParentNode(nullptr);
    noteTreeChanged();
    return oldChild;
}

std::shared_ptr<Node> Node::removeChild(const std::shared_ptr<Node>& oldChild) {
    if (!oldChild || oldChild->parentNode().get() != this) return nullptr;
    std::erase(ownChildList().internalArray(), oldChild);
    oldChild->setParentNode(nullptr);
    noteTreeChanged();
    return oldChild;
}

bool Node::hasChildNodes() const { return childNodes_ && childNodes_->length() != 0; }

bool Node::hasAttributes() const { return attributes_ && attributes_->length() != 0; }

std::shared_ptr<Node> Node::cloneNode(bool) {
    foundation::raiseAssertion(
        "Not implemented yet - read the DOM standard. Sounds tricky. I'm too tired, and would probably screw it up right now");
}

void Node::normalize() {
    foundation::raiseAssertion(
        "Not implemented yet - read the DOM standard. Sounds tricky. I'm too tired, and would probably screw it up right now");
}

bool Node::isSupportedFeature(std::string_view, std::string_view) {
    foundation::raiseAssertion("Not implemented yet - read the DOM standard. I have literally no idea what this is supposed to do.");
}

std::optional<std::string> Node::textContent() const {
    switch (nodeType_) {
        case NodeType::attribute:
            // An attribute's text is its value (it has no children here).
            return nodeValue_;
        case NodeType::element:
        case NodeType::entityReference:
        case NodeType::entity:
        case NodeType::documentFragment: {
            std::string text;
            for (const auto& child : *childNodes()) {
                if (auto childText = child->textContent()) text += *childText;
            }
            return text;
        }
        case NodeType::text:
        case NodeType::cdataSection:
        case NodeType::processingInstruction:
        case NodeType::comment:
            return nodeValue_;
        default:
            return std::nullopt;
    }
}

std::string_view Node::typeName(NodeType type) {
    static constexpr std::array<std::string_view, 12> names = {
        "ELEMENT", "ATTRIBUTE", "TEXT", "CDATA", "ENTITY REF", "ENTITY", "PROCESSING INSTRUCTION",
        "COMMENT", "DOCUMENT", "DOC TYPE", "DOC FRAGMENT", "NOTATION"};
    if (!isKnown(type)) return "N/A (DATA IS MISSING FROM NODE INSTANCE)";
    return names[static_cast<std::size_t>(type) - 1];
}

std::string Node::description() const {
    std::string value = "(null)";
    if (nodeValue_) {
        const std::string_view cut = firstCharacters(*nodeValue_, 10);
        value = cut.size() < nodeValue_->size() ? std::string(cut) + "..." : *nodeValue_;
    }
    const std::size_t attributeCount = attributes_ ? attributes_->length() : 0;
    return foundation::format("Node: %@ (%@) value:[%@] @@%ld attributes + %ld x children", nodeName_,
                              typeName(nodeType_), value, attributeCount, childNodes()->length());
}

void Node::appendXMLToString(std::string& output, const NamespacePrefixes& available,
                             const NamespacePrefixes& active) const {
    switch (nodeType_) {
        case NodeType::document:
        case NodeType::documentFragment:
            // A document has no tag of its own: "#document" is not an XML name.
            for (const auto& child : *childNodes()) child->appendXMLToString(output, available, active);
            return;
        case NodeType::text:
            output += escapedXMLText(nodeValue_.value_or(""));
            return;
        case NodeType::attribute:
            output += escapedXMLAttribute(nodeValue_.value_or(""));
            return;
        case NodeType::comment:
            output += "<!--" + nodeValue_.value_or("") + "-->";
            return;
        case NodeType::cdataSection:
            output += "<![CDATA[" + splitCDATATerminators(nodeValue_.value_or("")) + "]]>";
            return;
        case NodeType::processingInstruction:
            output += "<?" + nodeName_ + " " + nodeValue_.value_or("") + "?>";
            return;
        case NodeType::element:
            break;
        default:
            output += nodeValue_.value_or("");
            return;
    }

    output += "<" + nodeName_;
    NamespacePrefixes declared;
    const auto writeDeclaration = [&](const std::string& uri, const std::string& prefix) {
        declared[uri] = prefix;
        output += prefix.empty() ? foundation::format(" xmlns=\"%@\"", escapedXMLAttribute(uri))
                                 : foundation::format(" xmlns:%@=\"%@\"", prefix, escapedXMLAttribute(uri));
    };
    const auto& namespaces = attributes_->allNodesUnsortedDOM2();
    if (auto declarations = namespaces.find(xmlnsNamespaceURI); declarations != namespaces.end()) {
        for (const auto& [declaredPrefix, attribute] : declarations->second) {
            const std::string uri = attribute->nodeValue().value_or("");
            auto activePrefix = active.find(uri);
            if (activePrefix != active.end() && activePrefix->second == declaredPrefix) continue;
            writeDeclaration(uri, declaredPrefix);
        }
    }
    for (const auto& [uri, table] : namespaces) {
        if (uri == xmlnsNamespaceURI) continue;
        std::optional<std::string> prefix;
        if (auto found = active.find(uri); found != active.end()) {
            prefix = found->second;
        } else if (auto fresh = declared.find(uri); fresh != declared.end()) {
            prefix = fresh->second;
        } else if (auto known = available.find(uri); known != available.end()) {
            prefix = known->second;
            writeDeclaration(uri, *prefix);
        } else {
            // A namespace nobody listed gets a prefix of its own, so the output stays well-formed.
            int number = 1;
            const auto taken = [&](const std::string& candidate) {
                const auto holds = [&](const NamespacePrefixes& table) {
                    return std::any_of(table.begin(), table.end(), [&](const auto& entry) { return entry.second == candidate; });
                };
                return holds(active) || holds(declared) || holds(available);
            };
            while (taken("ns" + std::to_string(number))) ++number;
            prefix = "ns" + std::to_string(number);
            writeDeclaration(uri, *prefix);
        }
        for (const auto& [localName, attribute] : table) {
            attribute->setPrefix(prefix->empty() ? std::nullopt : prefix);
            output += foundation::format(" %@=\"%@\"", attribute->nodeName(),
                                         escapedXMLAttribute(attribute->nodeValue().value_or("")));
        }
    }
    for (const auto& attribute : attributes_->allNodesUnsortedDOM1()) {
        output += foundation::format(" %@=\"%@\"", attribute->nodeName(),
                                     escapedXMLAttribute(attribute->nodeValue().value_or("")));
    }

    NamespacePrefixes activeForChildren = active;
    for (const auto& [uri, prefix] : declared) activeForChildren[uri] = prefix;
    output += ">";
    for (const auto& child : *childNodes()) child->appendXMLToString(output, available, activeForChildren);
    output += "</" + nodeName_ + ">";
}

}  // namespace vellum
