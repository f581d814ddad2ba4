// The style cascade of SVG elements: selector matching against the sheets of the element's svg
// element, inline style, presentation attributes and inheritance.
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <vector>

#include "CSSSelector.h"
#include "SVGSubtree.h"
#include "ScopeWork.h"
#include "StyleValues.h"
#include "foundation/Assertion.h"
#include "foundation/Strings.h"
#include "gfx/WorkMeter.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/StyleSheetList.h"

namespace vellum {

namespace {

bool isTokenCharacter(char character) {
    return std::isalnum(static_cast<unsigned char>(character)) || character == '-' || character == '_';
}

bool isSpaceOrBreak(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r' || character == '\f';
}

// "inherit" names no value of its own: the parent's stands in its place.
bool isInheritKeyword(std::string_view value) {
    while (!value.empty() && isSpaceOrBreak(value.front())) value.remove_prefix(1);
    while (!value.empty() && isSpaceOrBreak(value.back())) value.remove_suffix(1);
    return value == "inherit";
}

// The layer builds running on this thread: 0 outside any.
thread_local std::uint64_t activeGeneration = 0;
std::atomic<std::uint64_t> generations{0};

}  // namespace

SVGElement::Range SVGElement::nextSelectorGroupFromText(std::string_view text, Range previous) {
    std::size_t start = previous.found() ? previous.location + previous.length : 0;
    if (start < text.size() && text[start] == ',') ++start;
    while (start < text.size() && isSpaceOrBreak(text[start])) ++start;
    if (start >= text.size()) return {};
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    return {start, end - start};
}

SVGElement::Range SVGElement::nextSelectorRangeFromText(std::string_view text, Range previous) {
    std::size_t index = previous.found() ? previous.location + previous.length : 0;
    std::size_t tokenStart = std::string_view::npos;
    for (; index < text.size(); ++index) {
        const char character = text[index];
        if (character == '#' || character == '.') {
            if (tokenStart != std::string_view::npos) break;
            tokenStart = index;
        } else if (isTokenCharacter(character)) {
            if (tokenStart == std::string_view::npos) tokenStart = index;
        } else if (tokenStart != std::string_view::npos) {
            break;
        }
    }
    if (tokenStart == std::string_view::npos) return {};
    return {tokenStart, index - tokenStart};
}

bool SVGElement::selectorAppliesTo(std::string_view selector, const SVGElement& element, std::int64_t& specificity) {
    if (selector.starts_with('.')) {
        if (!element.className()) return false;
        for (const std::string& name : foundation::components(*element.className(), foundation::CharacterSet(" \t\n\r,"))) {
            if (name == selector.substr(1)) {
                specificity += 100;
                return true;
            }
        }
        return false;
    }
    if (selector.starts_with('#')) {
        if (element.identifier() != selector.substr(1)) return false;
        specificity += 10000;
        return true;
    }
    if (selector == "*") return true;
    if (element.nodeName() != selector) return false;
    specificity += 1;
    return true;
}

bool SVGElement::styleRuleAppliesTo(const CSSStyleRule& rule, const SVGElement& element, std::int64_t& specificity) {
    return rule.selectors().matches(element, specificity);
}

// What an element has worked out in one scope, filed by the scope's property ids: its own value and
// the value it inherits (null for none), each valid where its bit is set.
struct SVGElement::ComputedStyle {
    static constexpr std::size_t capacity = 32;
    std::uint32_t ownKnown = 0;
    std::uint32_t ownIsInheritKeyword = 0;
    std::uint32_t inheritedKnown = 0;
    std::array<const std::string*, capacity> own;
    std::array<const std::string*, capacity> inherited;
    // Held, so that what the scope walks stays while it lasts.
    std::shared_ptr<const SVGElement> parent;  // the nearest SVG ancestor
    std::shared_ptr<const StyleSheetList> sheets;  // null for none or an empty list
    bool stale = false;  // its element moved: filled afresh on next use
    // Made when selectors are first matched against it, and kept when it moves: a use element moves its
    // copy under each of its instances, and only what depends on the ancestors is worked out again.
    std::unique_ptr<ElementMatchFacts> matchFacts;
    // This placement's number, and what matching worked out here (made when it is first asked).
    std::uint64_t placement = 0;
    std::unique_ptr<PlacedMatch> placed;

    // The element's record in the running scope. Most questions find it made, so that test is inline.
    static ComputedStyle& of(const SVGElement& element) {
        if (element.computedStyleGeneration_ == activeGeneration && !element.computedStyle_->stale) {
            return *element.computedStyle_;
        }
        return element.computedStyle();
    }

    // The element's own value of the property filed under `id`, looked up on first use.
    static const std::string* ownOf(const SVGElement& element, ComputedStyle& style, std::size_t id) {
        if (style.ownKnown & (std::uint32_t{1} << id)) return style.own[id];
        return element.ownValue(style, id);
    }

    // Files the element's own values of the usual properties at once: the map's filter answers most
    // absent names inline, where asking one property at a time cost a call each.
    void fileOwnAttributes(const NamedNodeMap& attributes, const std::vector<NamedNodeMap::Name>& names);
    // Files `value` (the element's own, or null) under `id`: a copy the scope's store keeps, marked
    // when it says "inherit".
    const std::string* fileOwn(std::size_t id, std::optional<std::string_view> value);
};

struct SVGElement::CascadeScope::Store {
    // The build's usual properties take the first ids, in their order.
    Store() {
        static_assert(static_cast<std::size_t>(StyleProperty::count) <= ComputedStyle::capacity);
        names.reserve(ComputedStyle::capacity);
        keys.reserve(ComputedStyle::capacity);
        attributeNames.reserve(ComputedStyle::capacity);
        for (std::size_t index = 0; index < static_cast<std::size_t>(StyleProperty::count); ++index) {
            idOf(nameOfStyleProperty(static_cast<StyleProperty>(index)));
        }
    }

    // The id of a property name: its place here. Null once every id is taken.
    std::optional<std::size_t> idOf(std::string_view name) {
        const std::uint32_t key = keyOf(name);
        // An open table twice the ids' number, so a probe meets a free slot soon.
        for (std::size_t slot = (key * 2654435769u) >> (32 - slotBits);; slot = (slot + 1) % slots.size()) {
            const std::uint8_t entry = slots[slot];
            if (entry == 0) break;
            if (keys[entry - 1] == key && names[entry - 1] == name) return entry - 1;
        }
        if (names.size() == ComputedStyle::capacity) return std::nullopt;
        names.emplace_back(name);
        keys.push_back(key);
        // `names` never grows past the room reserved, so the view stays on its text.
        attributeNames.emplace_back(names.back());
        std::size_t slot = (key * 2654435769u) >> (32 - slotBits);
        while (slots[slot] != 0) slot = (slot + 1) % slots.size();
        slots[slot] = static_cast<std::uint8_t>(names.size());
        return names.size() - 1;
    }

    // Length and three letters: most names differ there, so few are compared whole.
    static std::uint32_t keyOf(std::string_view name) {
        if (name.empty()) return 0;
        const auto letter = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(name[at])); };
        return static_cast<std::uint32_t>(name.size() & 0xff) | letter(0) << 8 | letter(name.size() / 2) << 16 |
               letter(name.size() - 1) << 24;
    }

    // A copy of a value that stays where it is for the scope: a document changed meanwhile (which the
    // scope does not follow) leaves an answer out of date, never one read from freed text.
    const std::string& keep(std::string_view value) { return values.next() = value; }

    // Objects made in blocks that never move, growing as the document proves large, up to a size
    // whose unused end wastes little (doubling, a large document's last block stood mostly empty).
    template <class T>
    struct Blocks {
        static constexpr std::size_t largestBlock = 4096;
        T& next() {
            if (used == size) {
                size = blocks.empty() ? 16 : std::min(size * 2, largestBlock);
                blocks.push_back(std::make_unique_for_overwrite<T[]>(size));
                used = 0;
            }
            return blocks.back()[used++];
        }

        // Ready for another scope: the last block stays, each of its objects passed to `release`, the
        // others go.
        template <class Release>
        void keepLast(Release release) {
            if (blocks.empty()) return;
            for (std::size_t index = 0; index < used; ++index) release(blocks.back()[index]);
            blocks.erase(blocks.begin(), blocks.end() - 1);
            used = 0;
        }

        std::vector<std::unique_ptr<T[]>> blocks;
        std::size_t size = 0;
        std::size_t used = 0;
    };

    // A store that stayed small serves the next scope of its thread (one a layer build), so each build
    // does not make its names and blocks again. One that filed more names than the usual properties
    // is not kept: its ids could run out in a later scope.
    static void recycle(std::unique_ptr<Store> store);
    static std::unique_ptr<Store> take();

    static constexpr std::size_t slotBits = 6;
    std::array<std::uint8_t, std::size_t{1} << slotBits> slots{};  // id + 1, 0 for a free slot
    std::vector<std::string> names;
    std::vector<std::uint32_t> keys;
    // Each name as the attribute maps are asked it: its filter bits worked out once, not per look-up.
    std::vector<NamedNodeMap::Name> attributeNames;
    Blocks<std::string> values;
    Blocks<ComputedStyle> records;
    // The root the last record was made under and the sheets that apply there: a document's elements
    // share one, so its sheets are looked at once, not with a share of the root taken per element. Held,
    // so that another root is never taken for this one.
    bool rootKnown = false;
    std::shared_ptr<const SVGSVGElement> root;
    std::shared_ptr<const StyleSheetList> rootSheets;  // null for none or an empty list
    // Made when selectors are first matched in the scope.
    std::unique_ptr<MatchingInScope> matching;
    std::uint64_t workLeft = scopeWorkBase;
    double unmetered = 0;  // the meter's units of work not yet charged to it
    bool workSpent = false;
    bool matchingCut = false;
    std::uint64_t placements = 0;  // records filled, each a placement of its element
};

namespace {

thread_local SVGElement::CascadeScope::Store* activeStore = nullptr;
thread_local std::unique_ptr<SVGElement::CascadeScope::Store> spareStore;

// Past this many records or values a store is not kept between scopes (a record is about 600 bytes).
constexpr std::size_t largestKeptBlock = 1024;
constexpr std::size_t largestKeptText = 256;

}  // namespace

void SVGElement::CascadeScope::Store::recycle(std::unique_ptr<Store> store) {
    if (spareStore || store->names.size() != static_cast<std::size_t>(StyleProperty::count) ||
        store->records.size > largestKeptBlock || store->values.size > largestKeptBlock) {
        return;
    }
    // Records hold their elements' parents and sheets: a kept one must not keep a document alive.
    store->rootKnown = false;
    store->root.reset();
    store->rootSheets.reset();
    store->matching.reset();
    store->records.keepLast([](ComputedStyle& record) {
        record.parent.reset();
        record.sheets.reset();
        record.matchFacts.reset();
        record.placed.reset();
    });
    // A long text's room goes: the next scope's values are mostly short.
    store->values.keepLast([](std::string& value) {
        if (value.capacity() > largestKeptText) value = std::string();
        value.clear();
    });
    spareStore = std::move(store);
}

std::unique_ptr<SVGElement::CascadeScope::Store> SVGElement::CascadeScope::Store::take() {
    if (!spareStore) return std::make_unique<Store>();
    spareStore->workLeft = scopeWorkBase;
    spareStore->unmetered = 0;
    spareStore->workSpent = false;
    spareStore->matchingCut = false;
    spareStore->placements = 0;
    return std::move(spareStore);
}

namespace {

// Matching is the render's work too: what the scope took is charged to the meter running on the thread (if
// any), a batch at a time, and a refused charge spends the scope.
bool chargeMatching(SVGElement::CascadeScope::Store& store) {
    const bool taken = gfx::WorkMeter::charge(store.unmetered);
    store.unmetered = 0;
    if (!taken) store.workSpent = true;
    return taken;
}

}  // namespace

bool takeScopeWork(std::uint64_t units) {
    if (!activeStore) return true;
    SVGElement::CascadeScope::Store& store = *activeStore;
    if (store.workSpent) return false;
    if (units > store.workLeft) {
        store.workSpent = true;
        return false;
    }
    store.workLeft -= units;
    store.unmetered += double(units) * gfx::WorkMeter::aUnitOfMatching;
    return store.unmetered < meterUnitsChargedAtOnce || chargeMatching(store);
}

bool scopeWorkSpent() { return activeStore && activeStore->workSpent; }

bool scopeMatchingCut() { return activeStore && activeStore->matchingCut; }

MatchingInScope& matchingInScope() {
    if (!activeStore) foundation::raiseAssertion("Selector matching was kept for a scope outside any");
    if (!activeStore->matching) activeStore->matching = std::make_unique<MatchingInScope>();
    return *activeStore->matching;
}

ElementMatchState matchStateInScope(const Element& element) {
    if (const SVGElement* svgElement = SVGElement::from(&element)) return svgElement->matchStateInScope();
    auto& others = matchingInScope().others;
    auto found = others.find(&element);
    if (found == others.end()) {
        MatchingInScope::Other other{std::static_pointer_cast<const Element>(element.weak_from_this().lock()),
                                     std::make_unique<ElementMatchFacts>(element)};
        found = others.emplace(&element, std::move(other)).first;
    }
    return {found->second.facts.get(), nullptr};
}

std::optional<std::string_view> SVGElement::ownCascadedValue(const NamedNodeMap::Name& name, ComputedStyle& style) const {
    // Most elements have neither inline style nor sheets to match: the attribute is the answer.
    if (style_ || style.sheets) {
        const MatchedDeclarations* matched =
            style.sheets ? matchedDeclarationsInScope(*this, matchStateInScope(), style.sheets) : nullptr;
        if (style.sheets && activeStore->workSpent) activeStore->matchingCut = true;
        if (const std::string* value = styledValueOfProperty(style_.get(), matched, name.text)) return *value;
    }
    // One look-up: most properties are absent, and absent is the common answer.
    return attributes()->valueOfNamedItem(name);
}

SVGElement::ComputedStyle& SVGElement::computedStyle() const {
    const bool current = computedStyleGeneration_ == activeGeneration;
    if (current && !computedStyle_->stale) return *computedStyle_;
    // A moved element's record is reused: a use element moves its copy once for every instance.
    ComputedStyle& style = current ? *computedStyle_ : activeStore->records.next();
    style.stale = false;
    style.ownKnown = style.ownIsInheritKeyword = style.inheritedKnown = 0;
    if (!current) {
        style.matchFacts.reset();
        style.placed.reset();
    }
    style.placement = ++activeStore->placements;
    // Each element placed adds its share to the scope's work.
    activeStore->workLeft += scopeWorkPerElement;
    if (style.placed) style.placed->clear(style.placement);
    style.parent = nearestSVGAncestor(*this);
    CascadeScope::Store& store = *activeStore;
    const auto& root = rootOfCurrentDocumentFragment_;
    if (!store.rootKnown || root.owner_before(store.root) || store.root.owner_before(root)) {
        store.root = root.lock();
        const bool anySheet = store.root && store.root->styleSheets() && store.root->styleSheets()->length() > 0;
        store.rootSheets = anySheet ? store.root->styleSheets() : nullptr;
        store.rootKnown = true;
    }
    style.sheets = store.rootSheets;
    computedStyle_ = &style;
    computedStyleGeneration_ = activeGeneration;
    // Most elements have neither inline style nor sheets to match: their attributes are the answers.
    if (!style_ && !style.sheets) style.fileOwnAttributes(*attributes(), store.attributeNames);
    return style;
}

ElementMatchState SVGElement::matchStateInScope() const {
    if (activeGeneration == 0) foundation::raiseAssertion("Selector matching was kept for a scope outside any");
    ComputedStyle& style = ComputedStyle::of(*this);
    if (!style.matchFacts) {
        style.matchFacts = std::make_unique<ElementMatchFacts>(*this);
        // Its properties are looked up among the declarations matched, one by one.
        activeStore->unmetered += gfx::WorkMeter::aStyleMatched;
    }
    if (!style.placed) {
        style.placed = std::make_unique<PlacedMatch>();
        style.placed->number = style.placement;
    }
    return {style.matchFacts.get(), style.placed.get()};
}

const std::string* SVGElement::ComputedStyle::fileOwn(std::size_t id, std::optional<std::string_view> value) {
    const std::uint32_t bit = std::uint32_t{1} << id;
    const std::string* kept = value ? &activeStore->keep(*value) : nullptr;
    own[id] = kept;
    ownKnown |= bit;
    if (kept && isInheritKeyword(*kept)) ownIsInheritKeyword |= bit;
    return kept;
}

void SVGElement::ComputedStyle::fileOwnAttributes(const NamedNodeMap& attributes,
                                                  const std::vector<NamedNodeMap::Name>& names) {
    constexpr std::size_t usual = static_cast<std::size_t>(StyleProperty::count);
    for (std::size_t id = 0; id < usual; ++id) {
        if (const auto value = attributes.valueOfNamedItem(names[id])) {
            fileOwn(id, value);
        } else {
            own[id] = nullptr;
        }
    }
    ownKnown |= (std::uint32_t{1} << usual) - 1;
}

const std::string* SVGElement::ownValue(ComputedStyle& style, std::size_t id) const {
    if (style.ownKnown & (std::uint32_t{1} << id)) return style.own[id];
    return style.fileOwn(id, ownCascadedValue(activeStore->attributeNames[id], style));
}

std::optional<std::string> SVGElement::cascadedValueForStylableProperty(std::string_view name, bool inherit) const {
    // Outside a layer build the question has a scope of its own; so has a build that asks about more
    // properties than a record files.
    std::optional<CascadeScope> scope;
    if (activeGeneration == 0) scope.emplace();
    auto id = activeStore->idOf(name);
    if (!id) {
        scope.emplace();
        id = activeStore->idOf(name);
    }
    const std::string* value = cascadedValue(*id, inherit);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::string_view SVGElement::nameOfStyleProperty(StyleProperty property) {
    static constexpr std::array<std::string_view, static_cast<std::size_t>(StyleProperty::count)> names{
        "fill", "fill-opacity", "fill-rule", "stroke", "stroke-width", "stroke-opacity", "stroke-dasharray",
        "stroke-dashoffset", "stroke-linecap", "stroke-linejoin", "stroke-miterlimit", "opacity", "display",
        "visibility", "clip-path", "clip-rule", "overflow", "color"};
    return names.at(static_cast<std::size_t>(property));
}

std::optional<std::string> SVGElement::cascadedValueForStylableProperty(StyleProperty property, bool inherit) const {
    std::optional<CascadeScope> scope;
    if (activeGeneration == 0) scope.emplace();
    const std::string* value = cascadedValue(static_cast<std::size_t>(property), inherit);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::optional<std::string_view> SVGElement::cascadedValueInScope(StyleProperty property, bool inherit) const {
    if (activeGeneration == 0) foundation::raiseAssertion("A cascaded value was asked for in its scope outside any");
    const std::string* value = cascadedValue(static_cast<std::size_t>(property), inherit);
    return value ? std::optional<std::string_view>(*value) : std::nullopt;
}

const std::string* SVGElement::cascadedValue(std::size_t id, bool inherit) const {
    const std::uint32_t bit = std::uint32_t{1} << id;
    ComputedStyle& style = ComputedStyle::of(*this);
    // Worked out before (or filed on the way to a descendant's answer).
    if (inherit && (style.inheritedKnown & bit)) return style.inherited[id];
    const std::string* own = ComputedStyle::ownOf(*this, style, id);
    if (own && !(style.ownIsInheritKeyword & bit)) return own;
    if (!inherit) {
        // "inherit" on a property that is not inherited takes the parent's own value (a loop: a document
        // may nest deeply).
        for (const SVGElement* parent = own ? style.parent.get() : nullptr; parent;) {
            ComputedStyle& above = ComputedStyle::of(*parent);
            own = ComputedStyle::ownOf(*parent, above, id);
            if (!own || !(above.ownIsInheritKeyword & bit)) return own;
            parent = above.parent.get();
        }
        return nullptr;
    }
    // Up the SVG ancestors (a switch, a use or a text element passes values on as much as a group) to the
    // first that has a value of its own or knows what it inherits; then every element passed on the way
    // files that same value.
    const std::string* value = nullptr;
    const SVGElement* holder = nullptr;
    for (const SVGElement* element = style.parent.get(); element;) {
        ComputedStyle& current = ComputedStyle::of(*element);
        if (current.inheritedKnown & bit) {
            value = current.inherited[id];
            holder = element;
            break;
        }
        const std::string* ownOfElement = ComputedStyle::ownOf(*element, current, id);
        if (ownOfElement && !(current.ownIsInheritKeyword & bit)) {
            value = ownOfElement;
            holder = element;
            break;
        }
        element = current.parent.get();
    }
    for (const SVGElement* element = this; element;) {
        ComputedStyle& current = *element->computedStyle_;
        current.inherited[id] = value;
        current.inheritedKnown |= bit;
        if (element == holder) break;
        element = current.parent.get();
    }
    return value;
}

SVGElement::CascadeScope::CascadeScope()
    : previous_(activeGeneration), previousStore_(activeStore), store_(Store::take()) {
    activeGeneration = ++generations;
    activeStore = store_.get();
}

bool SVGElement::CascadeScope::isRunning() { return activeGeneration != 0; }

std::uint64_t SVGElement::CascadeScope::runningNumber() { return activeGeneration; }

std::optional<SVGElement::CascadeScope> SVGElement::CascadeScope::unlessRunning() {
    if (isRunning()) return std::nullopt;
    return std::optional<CascadeScope>(std::in_place);
}

SVGElement::CascadeScope::~CascadeScope() {
    if (store_->unmetered > 0) chargeMatching(*store_);
    activeGeneration = previous_;
    activeStore = previousStore_;
    Store::recycle(std::move(store_));
}

std::optional<gfx::AffineTransform> SVGElement::rememberedAbsoluteTransform() const {
    if (activeGeneration == 0 || absoluteTransformGeneration_ != activeGeneration) return std::nullopt;
    return absoluteTransform_;
}

void SVGElement::rememberAbsoluteTransform(const gfx::AffineTransform& transform) const {
    if (activeGeneration == 0) return;
    absoluteTransform_ = transform;
    absoluteTransformGeneration_ = activeGeneration;
}

// Only a scope remembers anything, so outside one (while parsing) a move costs nothing here.
void SVGElement::forgetInheritedValuesOfSubtree() {
    if (activeGeneration == 0) return;
    forEachSVGElementOfSubtree(*this, [](SVGElement& element) {
        if (element.computedStyleGeneration_ == activeGeneration) element.computedStyle_->stale = true;
        element.absoluteTransformGeneration_ = 0;
    });
}

}  // namespace vellum
