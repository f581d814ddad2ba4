#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vellum/NodeArena.h"

namespace vellum {

class Node;

// An element's attributes, in two tables: by name (DOM 1) and by namespace URI, then local name
// (DOM 2). The parser files attributes by namespace; those of a document without namespaces go by
// name. Both may be used on one map: a name look-up tries the first table, then every namespace.
class NamedNodeMap {
public:
    // Parsed documents keep their tables' entries in the document's node arena.
    using NamespaceTable = std::map<std::string, std::shared_ptr<Node>, std::less<>,
                                    NodeArenaOrHeapAllocator<std::pair<const std::string, std::shared_ptr<Node>>>>;
    using NamespaceTables = std::map<std::string, NamespaceTable, std::less<>,
                                     NodeArenaOrHeapAllocator<std::pair<const std::string, NamespaceTable>>>;

    // By name, else the first attribute of any namespace whose local name is `name` ("href" finds
    // "xlink:href").
    std::shared_ptr<Node> getNamedItem(std::string_view name) const;
    // The same look-up without taking a share of the node: the map keeps it alive.
    const Node* findNamedItem(std::string_view name) const;
    // Stored under the node's name; answers the node it replaced.
    std::shared_ptr<Node> setNamedItem(const std::shared_ptr<Node>& node);
    std::shared_ptr<Node> removeNamedItem(std::string_view name);

    // Both tables counted.
    std::size_t length() const;
    // Unsupported: the tables have no order to index. Fails the assertion handler.
    std::shared_ptr<Node> item(std::size_t index) const;

    std::shared_ptr<Node> getNamedItemNS(std::string_view namespaceURI, std::string_view localName) const;
    std::shared_ptr<Node> setNamedItemNS(const std::shared_ptr<Node>& node);
    // Filed under the node's namespace, else `ownerNamespace`; with neither, by name.
    std::shared_ptr<Node> setNamedItemNS(const std::shared_ptr<Node>& node, const std::optional<std::string>& ownerNamespace);
    std::shared_ptr<Node> removeNamedItemNS(std::string_view namespaceURI, std::string_view localName);

    std::vector<std::shared_ptr<Node>> allNodesUnsortedDOM1() const;
    const NamespaceTables& allNodesUnsortedDOM2() const { return namespaces_; }

    // A new map over the same attribute nodes.
    std::shared_ptr<NamedNodeMap> copy() const;
    std::string description() const;

private:
    const std::shared_ptr<Node>* slotNamed(std::string_view name) const;
    // Two bits per name ever filed (by name or local name): a name whose bits are not all set is in
    // no table, which answers the usual question, for a property the element does not carry, without
    // comparing a single key. Removals leave their bits; they only cost a table look-up.
    static std::uint64_t nameBits(std::string_view name);
    void noteName(std::string_view name) { names_ |= nameBits(name); }

    NamespaceTable byName_;
    NamespaceTables namespaces_;
    std::uint64_t names_ = 0;
};

}  // namespace vellum
