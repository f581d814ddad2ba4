#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "vellum/NodeArena.h"

namespace vellum {

class Node;

// An attribute as the parser read it, before an element files it; the views last while the element
// is made.
struct ParsedAttribute {
    std::string_view qualifiedName;
    // Its own, else the document's default namespace.
    std::optional<std::string_view> namespaceURI;
    std::string_view value;
};

// An element's attributes as the parser hands them to the extensions: in document order, then the
// element's namespace declarations (as "xmlns:prefix" in the xmlns namespace).
class ParsedAttributes : public std::span<const ParsedAttribute> {
public:
    using std::span<const ParsedAttribute>::span;
    // The value of the attribute of that qualified name, or none.
    std::optional<std::string_view> valueOf(std::string_view qualifiedName) const;
};

// An element's attributes, in two tables: by name (DOM 1) and by namespace URI, then local name
// (DOM 2). The parser files attributes by namespace; those of a document without namespaces go by
// name. Both may be used on one map: a name look-up tries the first table, then every namespace.
//
// Both tables are one flat list. A parsed attribute is kept as its name and value; its Attr node is
// made when DOM code asks for it and kept from then on, so the same node answers every later call.
class NamedNodeMap {
public:
    // The tables as the DOM sees them (a snapshot: later changes to the map do not show in it).
    using NamespaceTable = std::map<std::string, std::shared_ptr<Node>, std::less<>>;
    using NamespaceTables = std::map<std::string, NamespaceTable, std::less<>>;

    NamedNodeMap();
    // A copy holds the same attribute nodes (made now where they were not yet).
    NamedNodeMap(const NamedNodeMap& other);
    NamedNodeMap& operator=(const NamedNodeMap& other);
    ~NamedNodeMap();

    // By name, else the first attribute of any namespace whose local name is `name` ("href" finds
    // "xlink:href").
    std::shared_ptr<Node> getNamedItem(std::string_view name) const;
    // The same look-up without taking a share of the node: the map keeps it alive.
    const Node* findNamedItem(std::string_view name) const;
    // The value of what getNamedItem would find, read without making its node: an attribute's value,
    // the empty text for another kind of node, none when there is nothing of that name. The text is
    // the map's until the map changes.
    std::optional<std::string_view> valueOfNamedItem(std::string_view name) const;
    // A name with its filter bits worked out once, for a caller asking many maps the same question.
    struct Name {
        explicit Name(std::string_view text) : text(text), bits(nameBits(text)) {}
        std::string_view text;
        std::uint64_t bits;
    };
    // valueOfNamedItem for such a name: a map without it answers from its filter, inline.
    std::optional<std::string_view> valueOfNamedItem(const Name& name) const {
        return mayHold(name.bits) ? valueOf(entryNamed(name.text, name.bits)) : std::nullopt;
    }
    // The same for an item whose name is written without a prefix: by name, else in the first
    // namespace holding one ("href" never finds "xlink:href").
    std::optional<std::string_view> valueOfUnprefixedItem(std::string_view name) const;
    // Stored under the node's name; answers the node it replaced.
    std::shared_ptr<Node> setNamedItem(const std::shared_ptr<Node>& node);
    std::shared_ptr<Node> removeNamedItem(std::string_view name);
    // Removes what getNamedItem finds, by name or in a namespace.
    std::shared_ptr<Node> removeFoundItem(std::string_view name);

    // Both tables counted.
    std::size_t length() const { return entries_.size(); }
    // Unsupported: the tables have no order to index. Fails the assertion handler.
    std::shared_ptr<Node> item(std::size_t index) const;

    std::shared_ptr<Node> getNamedItemNS(std::string_view namespaceURI, std::string_view localName) const;
    // The same for getNamedItemNS.
    std::optional<std::string_view> valueOfNamedItemNS(std::string_view namespaceURI, std::string_view localName) const;
    std::shared_ptr<Node> setNamedItemNS(const std::shared_ptr<Node>& node);
    // Filed under the node's namespace, else `ownerNamespace`; with neither, by name.
    std::shared_ptr<Node> setNamedItemNS(const std::shared_ptr<Node>& node, const std::optional<std::string>& ownerNamespace);
    std::shared_ptr<Node> removeNamedItemNS(std::string_view namespaceURI, std::string_view localName);

    // Files what the parser read, each under its namespace, else `ownerNamespace`; with neither, by
    // name. Of two that land on one key, the one with the greater qualified name stays.
    void fileParsed(ParsedAttributes attributes, const std::optional<std::string>& ownerNamespace);

    // The by-name table's nodes, in name order.
    std::vector<std::shared_ptr<Node>> allNodesUnsortedDOM1() const;
    // The namespace tables, in order of namespace and local name.
    NamespaceTables allNodesUnsortedDOM2() const;

    // A new map over the same attribute nodes.
    std::shared_ptr<NamedNodeMap> copy() const;
    std::string description() const;

private:
    struct Entry {
        // Provided, so that a new entry is not zeroed before its members are made.
        Entry() {}
        // A copy keeps its text on the heap: the arena holding the original's may go before it.
        Entry(const Entry& other);
        Entry& operator=(const Entry& other);
        Entry(Entry&&) = default;
        Entry& operator=(Entry&&) = default;

        // First, beside the name: a look-up passing an entry reads these, and only a match reads on.
        // nameBits of its key: most entries a look-up passes differ there, without comparing text.
        std::uint64_t keyBits = 0;
        // Where the local name starts in `name`.
        std::uint32_t localStart = 0;
        bool inNamespace = false;
        // Whether a node made from it is in that namespace itself (else it was filed under its element's).
        bool nodeInNamespace = false;
        // Made when first asked for, or filed as a node; from then on it holds the name and value.
        mutable std::shared_ptr<Node> node;
        // Without a node: the qualified name and the value, side by side in the arena of the parse that
        // filed them (the map keeps it alive), else in `ownText`.
        mutable std::string_view name;
        mutable std::string_view value;
        mutable std::unique_ptr<char[]> ownText;
        // The namespace table it is in: a common namespace is shared, another is kept here.
        const std::optional<std::string>* sharedNamespace = nullptr;
        std::string ownNamespace;

        std::string_view table() const { return sharedNamespace ? std::string_view(**sharedNamespace) : ownNamespace; }
        // Its qualified name by name, its local name in a namespace.
        std::string_view key() const;
        // The order of the DOM's tables: by name first, then namespaces in order, then keys.
        auto sortKey() const { return std::tuple(inNamespace, table(), key()); }
        // `shared` is commonNamespace's answer for the namespace.
        void fileIn(std::optional<std::string_view> namespaceURI, const std::optional<std::string>* shared);
        // Copies the name and value into `arena`, or onto the heap without one.
        void keepText(std::string_view qualifiedName, std::string_view text, NodeArena* arena);
        void dropText() const;
    };
    using Entries = std::vector<Entry, NodeArenaOrHeapAllocator<Entry>>;

    // getNamedItem's entry, or null; or only among those whose qualified name is `name`.
    const Entry* entryNamed(std::string_view name, bool writtenWithoutPrefix = false) const;
    const Entry* entryNamed(std::string_view name, std::uint64_t bits, bool writtenWithoutPrefix = false) const;
    Entry* entryIn(std::optional<std::string_view> namespaceURI, std::string_view key, std::uint64_t keyBits);
    const Entry* entryIn(std::optional<std::string_view> namespaceURI, std::string_view key) const;
    const Entry* entryIn(std::optional<std::string_view> namespaceURI, std::string_view key, std::uint64_t keyBits) const;
    static std::optional<std::string_view> valueOf(const Entry* entry);
    static std::string_view qualifiedNameOf(const Entry& entry);
    // The entry's node, made now if it has none yet.
    static const std::shared_ptr<Node>& nodeOf(const Entry& entry);
    std::shared_ptr<Node> file(std::optional<std::string_view> namespaceURI, const std::shared_ptr<Node>& node);
    std::shared_ptr<Node> take(const Entry* entry);
    void makeEveryNode() const;
    // Filing checks each attribute against those before it up to this many entries.
    static constexpr std::size_t maximumScannedEntries = 32;
    // Drops every entry but one of each key, as filing them one by one would.
    void keepOnePerKey();
    // By table (by name first, then namespaces in order), then key.
    std::vector<const Entry*> sortedEntries() const;
    // Two bits per name ever filed (by name or local name): a name whose bits are not all set is in
    // no table, which answers the usual question, for a property the element does not carry, without
    // comparing a single key. Removals leave their bits; they only cost a table look-up.
    static std::uint64_t nameBits(std::string_view name);
    bool mayHold(std::uint64_t bits) const { return (names_ & bits) == bits; }

    // A map of more entries than a scan suits (an element may carry thousands of attributes, and each
    // look-up of the cascade would read them all): its entries by a hash of their key, in an open table.
    // Made when first asked, grown as entries are added, dropped when one goes or they are sorted.
    struct KeyIndex;
    mutable std::unique_ptr<KeyIndex> keyIndex_;
    // Passes `visit` the entries whose key may be `key`, in entry order, until it answers true; answers
    // that entry, or null.
    template <class Visit>
    const Entry* findKeyed(std::string_view key, Visit visit) const;
    // Files the entry just added at the end in the index, when there is one.
    void indexLastEntry();

    Entries entries_;
    std::uint64_t names_ = 0;
};

}  // namespace vellum
