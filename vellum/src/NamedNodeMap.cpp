#include "vellum/NamedNodeMap.h"

#include <utility>

#include "foundation/Assertion.h"
#include "vellum/Node.h"

namespace vellum {

namespace {

std::shared_ptr<Node> replace(NamedNodeMap::NamespaceTable& table, const std::string& key, const std::shared_ptr<Node>& node) {
    auto [slot, added] = table.try_emplace(key, node);
    return added ? nullptr : std::exchange(slot->second, node);
}

std::shared_ptr<Node> take(NamedNodeMap::NamespaceTable& table, std::string_view key) {
    auto found = table.find(key);
    if (found == table.end()) return nullptr;
    auto node = std::move(found->second);
    table.erase(found);
    return node;
}

}  // namespace

std::uint64_t NamedNodeMap::nameBits(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char character : name) hash = (hash ^ static_cast<unsigned char>(character)) * 1099511628211ull;
    return (std::uint64_t{1} << (hash & 63)) | (std::uint64_t{1} << ((hash >> 6) & 63));
}

const std::shared_ptr<Node>* NamedNodeMap::slotNamed(std::string_view name) const {
    const std::uint64_t bits = nameBits(name);
    if ((names_ & bits) != bits) return nullptr;
    if (auto found = byName_.find(name); found != byName_.end()) return &found->second;
    for (const auto& [uri, table] : namespaces_) {
        if (auto found = table.find(name); found != table.end()) return &found->second;
    }
    return nullptr;
}

const Node* NamedNodeMap::findNamedItem(std::string_view name) const {
    const auto* slot = slotNamed(name);
    return slot ? slot->get() : nullptr;
}

std::shared_ptr<Node> NamedNodeMap::getNamedItem(std::string_view name) const {
    const auto* slot = slotNamed(name);
    return slot ? *slot : nullptr;
}

// A document without a default namespace that mixes prefixed and plain attributes on one element
// files them in both tables; that is allowed here rather than treated as misuse.
std::shared_ptr<Node> NamedNodeMap::setNamedItem(const std::shared_ptr<Node>& node) {
    if (!node) return nullptr;
    noteName(node->nodeName());
    return replace(byName_, node->nodeName(), node);
}

std::shared_ptr<Node> NamedNodeMap::removeNamedItem(std::string_view name) { return take(byName_, name); }

std::size_t NamedNodeMap::length() const {
    std::size_t count = byName_.size();
    for (const auto& [uri, table] : namespaces_) count += table.size();
    return count;
}

std::shared_ptr<Node> NamedNodeMap::item(std::size_t) const {
    foundation::raiseAssertion(
        "This method is broken; Apple does not consistently return ordered values in dictionary.allValues. Apple "
        "DOES NOT SUPPORT ordered Maps/Hashes/Tables/Hashtables - we have to re-implement this wheel from scratch");
}

std::shared_ptr<Node> NamedNodeMap::getNamedItemNS(std::string_view namespaceURI, std::string_view localName) const {
    auto table = namespaces_.find(namespaceURI);
    if (table == namespaces_.end()) return nullptr;
    auto found = table->second.find(localName);
    return found == table->second.end() ? nullptr : found->second;
}

std::shared_ptr<Node> NamedNodeMap::setNamedItemNS(const std::shared_ptr<Node>& node) {
    return setNamedItemNS(node, std::nullopt);
}

std::shared_ptr<Node> NamedNodeMap::setNamedItemNS(const std::shared_ptr<Node>& node,
                                                   const std::optional<std::string>& ownerNamespace) {
    if (!node) return nullptr;
    const std::optional<std::string>& key = node->namespaceURI() ? node->namespaceURI() : ownerNamespace;
    if (!key) return setNamedItem(node);
    noteName(node->localName());
    return replace(namespaces_[*key], node->localName(), node);
}

std::shared_ptr<Node> NamedNodeMap::removeNamedItemNS(std::string_view namespaceURI, std::string_view localName) {
    auto table = namespaces_.find(namespaceURI);
    if (table == namespaces_.end()) return nullptr;
    auto node = take(table->second, localName);
    if (table->second.empty()) namespaces_.erase(table);
    return node;
}

std::vector<std::shared_ptr<Node>> NamedNodeMap::allNodesUnsortedDOM1() const {
    std::vector<std::shared_ptr<Node>> nodes;
    nodes.reserve(byName_.size());
    for (const auto& [name, node] : byName_) nodes.push_back(node);
    return nodes;
}

std::shared_ptr<NamedNodeMap> NamedNodeMap::copy() const { return std::make_shared<NamedNodeMap>(*this); }

std::string NamedNodeMap::description() const {
    const auto list = [](const NamespaceTable& table) {
        std::string text;
        for (const auto& [key, node] : table) {
            if (!text.empty()) text += ", ";
            text += key + " = " + node->nodeValue().value_or("(null)");
        }
        return text;
    };
    std::string dom1 = byName_.empty() ? "" : "DOM-v1(" + list(byName_) + ")";
    std::string dom2;
    if (!namespaces_.empty()) {
        std::string tables;
        for (const auto& [uri, table] : namespaces_) {
            if (!tables.empty()) tables += ", ";
            tables += uri + " = {" + list(table) + "}";
        }
        dom2 = "DOM-v2(" + tables + ")";
    }
    return "NamedNodeMap: " + dom1 + (dom1.empty() || dom2.empty() ? "" : "\n") + dom2;
}

}  // namespace vellum
