#include "vellum/NamedNodeMap.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>
#include <utility>

#include "CommonNamespaces.h"
#include "foundation/Assertion.h"
#include "vellum/Attr.h"
#include "vellum/Node.h"

namespace vellum {

std::optional<std::string_view> ParsedAttributes::valueOf(std::string_view qualifiedName) const {
    for (const ParsedAttribute& attribute : *this) {
        if (attribute.qualifiedName == qualifiedName) return attribute.value;
    }
    return std::nullopt;
}

namespace {

std::optional<std::string_view> viewOf(const std::optional<std::string>& text) {
    return text ? std::optional<std::string_view>(*text) : std::nullopt;
}

std::uint64_t hashOfKey(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

struct NamedNodeMap::KeyIndex {
    std::vector<std::uint64_t> hashes;  // by entry
    std::vector<std::uint32_t> slots;   // entry + 1, 0 for free; a power of two, at most half full
    std::size_t mask = 0;

    explicit KeyIndex(const Entries& entries) {
        std::size_t size = 64;
        while (size < 2 * entries.size() + 2) size *= 2;
        slots.assign(size, 0);
        mask = size - 1;
        hashes.reserve(entries.size());
        for (const Entry& entry : entries) add(hashOfKey(entry.key()));
    }
    void add(std::uint64_t hash) {
        std::size_t slot = hash & mask;
        while (slots[slot] != 0) slot = (slot + 1) & mask;
        hashes.push_back(hash);
        slots[slot] = static_cast<std::uint32_t>(hashes.size());
    }
    bool full() const { return 2 * (hashes.size() + 1) > slots.size(); }
};

template <class Visit>
const NamedNodeMap::Entry* NamedNodeMap::findKeyed(std::string_view key, Visit visit) const {
    if (entries_.size() <= maximumScannedEntries) {
        for (const Entry& entry : entries_) {
            if (visit(entry)) return &entry;
        }
        return nullptr;
    }
    if (!keyIndex_) keyIndex_ = std::make_unique<KeyIndex>(entries_);
    const KeyIndex& index = *keyIndex_;
    // Entries of one hash lie along its probe in the order they were filed, which is entry order.
    const std::uint64_t hash = hashOfKey(key);
    for (std::size_t slot = hash & index.mask; index.slots[slot] != 0; slot = (slot + 1) & index.mask) {
        const std::uint32_t at = index.slots[slot] - 1;
        if (index.hashes[at] == hash && visit(entries_[at])) return &entries_[at];
    }
    return nullptr;
}

void NamedNodeMap::indexLastEntry() {
    if (!keyIndex_) return;
    if (keyIndex_->full()) {
        keyIndex_ = std::make_unique<KeyIndex>(entries_);
    } else {
        keyIndex_->add(hashOfKey(entries_.back().key()));
    }
}

std::string_view NamedNodeMap::Entry::key() const {
    if (node) return inNamespace ? node->localName() : node->nodeName();
    return inNamespace ? std::string_view(name).substr(localStart) : std::string_view(name);
}

std::string_view NamedNodeMap::qualifiedNameOf(const Entry& entry) {
    return entry.node ? std::string_view(entry.node->nodeName()) : std::string_view(entry.name);
}

void NamedNodeMap::Entry::fileIn(std::optional<std::string_view> namespaceURI, const std::optional<std::string>* shared) {
    inNamespace = namespaceURI.has_value();
    sharedNamespace = shared;
    if (namespaceURI && !shared) ownNamespace = *namespaceURI;
}

NamedNodeMap::Entry::Entry(const Entry& other) { *this = other; }

NamedNodeMap::Entry& NamedNodeMap::Entry::operator=(const Entry& other) {
    if (this == &other) return *this;
    keyBits = other.keyBits;
    localStart = other.localStart;
    inNamespace = other.inNamespace;
    nodeInNamespace = other.nodeInNamespace;
    node = other.node;
    sharedNamespace = other.sharedNamespace;
    ownNamespace = other.ownNamespace;
    if (node) {
        dropText();
    } else {
        keepText(other.name, other.value, nullptr);
    }
    return *this;
}

void NamedNodeMap::Entry::keepText(std::string_view qualifiedName, std::string_view text, NodeArena* arena) {
    const std::size_t size = qualifiedName.size() + text.size();
    // Written before the old text goes: a copy of an entry's own text reads from it.
    std::unique_ptr<char[]> fresh = arena ? nullptr : std::make_unique_for_overwrite<char[]>(size);
    char* const place = arena ? static_cast<char*>(arena->allocate(size, 1)) : fresh.get();
    if (!qualifiedName.empty()) std::memcpy(place, qualifiedName.data(), qualifiedName.size());
    if (!text.empty()) std::memcpy(place + qualifiedName.size(), text.data(), text.size());
    ownText = std::move(fresh);
    name = std::string_view(place, qualifiedName.size());
    value = std::string_view(place + qualifiedName.size(), text.size());
}

void NamedNodeMap::Entry::dropText() const {
    name = value = std::string_view();
    ownText.reset();
}

NamedNodeMap::NamedNodeMap() = default;

NamedNodeMap::NamedNodeMap(const NamedNodeMap& other) { *this = other; }

NamedNodeMap& NamedNodeMap::operator=(const NamedNodeMap& other) {
    if (this == &other) return *this;
    other.makeEveryNode();
    entries_ = other.entries_;
    names_ = other.names_;
    keyIndex_.reset();
    return *this;
}

NamedNodeMap::~NamedNodeMap() = default;

std::uint64_t NamedNodeMap::nameBits(std::string_view name) {
    // Every look-up hashes its name, so the hash reads words: the first and last eight bytes (or four,
    // or three single bytes of a short name) and the length. Names alike there only share their bits;
    // the text comparison that follows tells them apart.
    const char* bytes = name.data();
    const std::size_t size = name.size();
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (size >= 8) {
        std::memcpy(&head, bytes, 8);
        std::memcpy(&tail, bytes + size - 8, 8);
    } else if (size >= 4) {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, bytes, 4);
        std::memcpy(&last, bytes + size - 4, 4);
        head = first;
        tail = last;
    } else if (size > 0) {
        head = static_cast<unsigned char>(bytes[0]) | std::uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8 |
               std::uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16;
    }
    std::uint64_t hash = head * 0x9E3779B97F4A7C15ull ^ (tail + size) * 0xC2B2AE3D27D4EB4Full;
    hash ^= hash >> 32;
    return (std::uint64_t{1} << (hash & 63)) | (std::uint64_t{1} << ((hash >> 6) & 63));
}

const NamedNodeMap::Entry* NamedNodeMap::entryNamed(std::string_view name, bool writtenWithoutPrefix) const {
    return entryNamed(name, nameBits(name), writtenWithoutPrefix);
}

const NamedNodeMap::Entry* NamedNodeMap::entryNamed(std::string_view name, std::uint64_t bits,
                                                     bool writtenWithoutPrefix) const {
    if (!mayHold(bits)) return nullptr;
    const Entry* inNamespace = nullptr;
    // Whether `entry` is the one: one by name ends the search.
    const auto found = [&](const Entry& entry) {
        if (entry.keyBits != bits || entry.key() != name || (writtenWithoutPrefix && qualifiedNameOf(entry) != name)) {
            return false;
        }
        if (!entry.inNamespace) return true;
        // Of several namespaces, the first in the order of the DOM's table of them.
        if (!inNamespace || entry.table() < inNamespace->table()) inNamespace = &entry;
        return false;
    };
    if (const Entry* entry = findKeyed(name, found)) return entry;
    return inNamespace;
}

const NamedNodeMap::Entry* NamedNodeMap::entryIn(std::optional<std::string_view> namespaceURI, std::string_view key,
                                                  std::uint64_t keyBits) const {
    if (!mayHold(keyBits)) return nullptr;
    const auto found = [&](const Entry& entry) {
        return entry.keyBits == keyBits && entry.inNamespace == namespaceURI.has_value() && entry.key() == key &&
               (!namespaceURI || entry.table() == *namespaceURI);
    };
    return findKeyed(key, found);
}

const NamedNodeMap::Entry* NamedNodeMap::entryIn(std::optional<std::string_view> namespaceURI,
                                                  std::string_view key) const {
    return entryIn(namespaceURI, key, nameBits(key));
}

NamedNodeMap::Entry* NamedNodeMap::entryIn(std::optional<std::string_view> namespaceURI, std::string_view key,
                                           std::uint64_t keyBits) {
    return const_cast<Entry*>(std::as_const(*this).entryIn(namespaceURI, key, keyBits));
}

const std::shared_ptr<Node>& NamedNodeMap::nodeOf(const Entry& entry) {
    if (!entry.node) {
        const auto namespaceURI =
            entry.inNamespace && entry.nodeInNamespace ? std::optional<std::string_view>(entry.table()) : std::nullopt;
        entry.node = Attr::makeInNamespace(namespaceURI, std::string(entry.name), std::string(entry.value));
        entry.dropText();
    }
    return entry.node;
}

void NamedNodeMap::makeEveryNode() const {
    for (const Entry& entry : entries_) nodeOf(entry);
}

std::shared_ptr<Node> NamedNodeMap::file(std::optional<std::string_view> namespaceURI, const std::shared_ptr<Node>& node) {
    const std::string_view key = namespaceURI ? node->localName() : node->nodeName();
    const std::uint64_t bits = nameBits(key);
    names_ |= bits;
    if (Entry* entry = entryIn(namespaceURI, key, bits)) {
        auto replaced = nodeOf(*entry);
        entry->node = node;
        return replaced;
    }
    Entry& entry = entries_.emplace_back();
    entry.fileIn(namespaceURI, namespaceURI ? commonNamespace(*namespaceURI) : nullptr);
    entry.keyBits = bits;
    entry.node = node;
    indexLastEntry();
    return nullptr;
}

std::shared_ptr<Node> NamedNodeMap::take(const Entry* entry) {
    if (!entry) return nullptr;
    auto node = nodeOf(*entry);
    entries_.erase(entries_.begin() + (entry - entries_.data()));
    keyIndex_.reset();
    return node;
}

const Node* NamedNodeMap::findNamedItem(std::string_view name) const {
    const Entry* entry = entryNamed(name);
    return entry ? nodeOf(*entry).get() : nullptr;
}

std::shared_ptr<Node> NamedNodeMap::getNamedItem(std::string_view name) const {
    const Entry* entry = entryNamed(name);
    return entry ? nodeOf(*entry) : nullptr;
}

std::optional<std::string_view> NamedNodeMap::valueOf(const Entry* entry) {
    if (!entry) return std::nullopt;
    if (!entry->node) return entry->value;
    const Attr* attribute = Attr::from(entry->node.get());
    return attribute ? std::string_view(attribute->value()) : std::string_view();
}

std::optional<std::string_view> NamedNodeMap::valueOfNamedItem(std::string_view name) const {
    return valueOf(entryNamed(name));
}

std::optional<std::string_view> NamedNodeMap::valueOfUnprefixedItem(std::string_view name) const {
    return valueOf(entryNamed(name, true));
}

std::optional<std::string_view> NamedNodeMap::valueOfNamedItemNS(std::string_view namespaceURI,
                                                                  std::string_view localName) const {
    return valueOf(entryIn(namespaceURI, localName));
}

// A document without a default namespace that mixes prefixed and plain attributes on one element
// files them in both tables; that is allowed here rather than treated as misuse.
std::shared_ptr<Node> NamedNodeMap::setNamedItem(const std::shared_ptr<Node>& node) {
    if (!node) return nullptr;
    return file(std::nullopt, node);
}

std::shared_ptr<Node> NamedNodeMap::removeNamedItem(std::string_view name) { return take(entryIn(std::nullopt, name)); }

std::shared_ptr<Node> NamedNodeMap::removeFoundItem(std::string_view name) { return take(entryNamed(name)); }

std::shared_ptr<Node> NamedNodeMap::item(std::size_t) const {
    foundation::raiseAssertion(
        "This method is broken; Apple does not consistently return ordered values in dictionary.allValues. Apple "
        "DOES NOT SUPPORT ordered Maps/Hashes/Tables/Hashtables - we have to re-implement this wheel from scratch");
}

std::shared_ptr<Node> NamedNodeMap::getNamedItemNS(std::string_view namespaceURI, std::string_view localName) const {
    const Entry* entry = entryIn(namespaceURI, localName);
    return entry ? nodeOf(*entry) : nullptr;
}

std::shared_ptr<Node> NamedNodeMap::setNamedItemNS(const std::shared_ptr<Node>& node) {
    return setNamedItemNS(node, std::nullopt);
}

std::shared_ptr<Node> NamedNodeMap::setNamedItemNS(const std::shared_ptr<Node>& node,
                                                   const std::optional<std::string>& ownerNamespace) {
    if (!node) return nullptr;
    return file(viewOf(node->namespaceURI() ? node->namespaceURI() : ownerNamespace), node);
}

std::shared_ptr<Node> NamedNodeMap::removeNamedItemNS(std::string_view namespaceURI, std::string_view localName) {
    return take(entryIn(namespaceURI, localName));
}

void NamedNodeMap::fileParsed(ParsedAttributes attributes, const std::optional<std::string>& ownerNamespace) {
    // Past a few dozen, checking each attribute's key against every one before it would make a hostile
    // start tag quadratic: then they are all filed first and the keys they share settled in one sort.
    const bool many = entries_.size() + attributes.size() > maximumScannedEntries;
    entries_.reserve(entries_.size() + attributes.size());
    // Nearly every attribute is in the same namespace as the one before: asked for its shared copy once.
    std::string_view lastTable;
    const std::optional<std::string>* lastShared = nullptr;
    // Names and values go to the arena of the parse that made the map, when it is still running.
    NodeArena* const arena = entries_.get_allocator().arenaInUse();
    for (const ParsedAttribute& attribute : attributes) {
        const std::optional<std::string_view> table =
            attribute.namespaceURI ? attribute.namespaceURI : viewOf(ownerNamespace);
        const std::string_view name = attribute.qualifiedName;
        const std::size_t colon = name.rfind(':');
        const auto localStart = static_cast<std::uint32_t>(table && colon != std::string_view::npos ? colon + 1 : 0);
        const std::string_view key = name.substr(localStart);
        const std::uint64_t bits = nameBits(key);
        // Most keys are new to the map: its filter says so without a call.
        Entry* entry = many || !mayHold(bits) ? nullptr : entryIn(table, key, bits);
        if (entry) {
            // A plain attribute and a prefixed one of the element's namespace share a key: the greater
            // qualified name stays, whichever the document wrote first.
            if (name < qualifiedNameOf(*entry)) continue;
            entry->node.reset();
        } else {
            if (table && (table->data() != lastTable.data() || table->size() != lastTable.size())) {
                lastTable = *table;
                lastShared = commonNamespace(lastTable);
            }
            names_ |= bits;
            entry = &entries_.emplace_back();
            entry->fileIn(table, table ? lastShared : nullptr);
            entry->keyBits = bits;
        }
        entry->keepText(name, attribute.value, arena);
        entry->nodeInNamespace = attribute.namespaceURI.has_value();
        entry->localStart = localStart;
    }
    // Filed in bulk, the keys are indexed afresh when next asked.
    keyIndex_.reset();
    if (many) keepOnePerKey();
}

void NamedNodeMap::keepOnePerKey() {
    const auto keyOf = [&](std::size_t index) { return entries_[index].sortKey(); };
    std::vector<std::size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        return std::pair(keyOf(left), left) < std::pair(keyOf(right), right);
    });
    // Of those sharing a key the greater qualified name stays, the later of equal ones: what filing
    // them one by one keeps.
    std::vector<bool> dropped(entries_.size());
    for (std::size_t run = 0; run < order.size();) {
        std::size_t end = run + 1;
        std::size_t winner = order[run];
        for (; end < order.size() && keyOf(order[end]) == keyOf(winner); ++end) {
            if (qualifiedNameOf(entries_[order[end]]) >= qualifiedNameOf(entries_[winner])) {
                dropped[winner] = true;
                winner = order[end];
            } else {
                dropped[order[end]] = true;
            }
        }
        run = end;
    }
    std::size_t kept = 0;
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        if (dropped[index]) continue;
        if (kept != index) entries_[kept] = std::move(entries_[index]);
        ++kept;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kept), entries_.end());
}

std::vector<const NamedNodeMap::Entry*> NamedNodeMap::sortedEntries() const {
    std::vector<const Entry*> sorted;
    sorted.reserve(entries_.size());
    for (const Entry& entry : entries_) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(),
              [](const Entry* left, const Entry* right) { return left->sortKey() < right->sortKey(); });
    return sorted;
}

std::vector<std::shared_ptr<Node>> NamedNodeMap::allNodesUnsortedDOM1() const {
    std::vector<std::shared_ptr<Node>> nodes;
    for (const Entry* entry : sortedEntries()) {
        if (!entry->inNamespace) nodes.push_back(nodeOf(*entry));
    }
    return nodes;
}

NamedNodeMap::NamespaceTables NamedNodeMap::allNodesUnsortedDOM2() const {
    NamespaceTables tables;
    for (const Entry& entry : entries_) {
        if (entry.inNamespace) tables[std::string(entry.table())].emplace(entry.key(), nodeOf(entry));
    }
    return tables;
}

std::shared_ptr<NamedNodeMap> NamedNodeMap::copy() const { return std::make_shared<NamedNodeMap>(*this); }

std::string NamedNodeMap::description() const {
    std::string dom1;
    std::string dom2;
    std::optional<std::string_view> table;
    for (const Entry* entry : sortedEntries()) {
        std::string& text = entry->inNamespace ? dom2 : dom1;
        if (entry->inNamespace && table != entry->table()) {
            if (table) text += "}, ";
            table = entry->table();
            text.append(*table).append(" = {");
        } else if (!text.empty()) {
            text += ", ";
        }
        text.append(entry->key()).append(" = ");
        if (entry->node) {
            text += entry->node->nodeValue().value_or("(null)");
        } else {
            text += entry->value;
        }
    }
    if (!dom1.empty()) dom1 = "DOM-v1(" + dom1 + ")";
    if (!dom2.empty()) dom2 = "DOM-v2(" + dom2 + "})";
    return "NamedNodeMap: " + dom1 + (dom1.empty() || dom2.empty() ? "" : "\n") + dom2;
}

}  // namespace vellum
