#include "quartz/Layer.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

#include "foundation/Clock.h"

namespace quartz {

Layer::Layer(const Layer& other)
    : std::enable_shared_from_this<Layer>(),
      bounds_(other.bounds_),
      position_(other.position_),
      anchorPoint_(other.anchorPoint_),
      transform_(other.transform_ ? std::make_unique<Transform3D>(*other.transform_) : nullptr),
      sublayerTransform_(other.sublayerTransform_ ? std::make_unique<Transform3D>(*other.sublayerTransform_) : nullptr),
      opacity_(other.opacity_),
      mask_(other.mask_),
      appearance_(other.appearance_ ? std::make_unique<Appearance>(*other.appearance_) : nullptr),
      name_(other.name_),
      values_(other.values_),
      hidden_(other.hidden_),
      masksToBounds_(other.masksToBounds_),
      needsDisplay_(other.needsDisplay_) {}

Layer::Appearance& Layer::changedAppearance() {
    if (!appearance_) appearance_ = std::make_unique<Appearance>();
    return *appearance_;
}

std::shared_ptr<Layer> Layer::copyLayer() const { return std::shared_ptr<Layer>(new Layer(*this)); }

namespace {

gfx::AffineTransform aboutPoint(gfx::Point center, const Transform3D& transform, gfx::Point placedAt) {
    return gfx::AffineTransform::translation(-center.x, -center.y)
        .concatenating(transform.affine())
        .concatenating(gfx::AffineTransform::translation(placedAt.x, placedAt.y));
}

}  // namespace

gfx::AffineTransform Layer::transformToSuperlayer() const {
    gfx::Point anchor{bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
                      bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
    return aboutPoint(anchor, transform(), position_);
}

const Transform3D& Layer::sublayerTransform() const {
    return sublayerTransform_ ? *sublayerTransform_ : identityTransform();
}

void Layer::keepApart(std::unique_ptr<Transform3D>& slot, const Transform3D& transform) {
    if (transform.isIdentity()) {
        slot.reset();
    } else if (slot) {
        *slot = transform;
    } else {
        slot = std::make_unique<Transform3D>(transform);
    }
}

void Layer::setSublayerTransform(const Transform3D& transform) { keepApart(sublayerTransform_, transform); }

gfx::AffineTransform Layer::sublayerSpaceTransform() const {
    if (!sublayerTransform_) return {};
    gfx::Point anchor{bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
                      bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
    return aboutPoint(anchor, *sublayerTransform_, anchor);
}

gfx::Rect Layer::frame() const { return transformToSuperlayer().apply(bounds_); }

void Layer::setFrame(const gfx::Rect& frame) {
    gfx::Rect box = frame.standardized();
    gfx::AffineTransform affine = affineTransform();
    // Under a scale the frame is the scaled bounds: undo the scale, so that setting the frame a
    // layer reports leaves it as it was instead of shrinking it by the scale each time.
    if (!affine.isIdentity() && affine.b == 0 && affine.c == 0 && affine.a != 0 && affine.d != 0) {
        bounds_.size = {box.width() / std::abs(affine.a), box.height() / std::abs(affine.d)};
        position_ = {0, 0};
        gfx::Rect placed = this->frame();
        position_ = {box.midX() - placed.midX(), box.midY() - placed.midY()};
        return;
    }
    bounds_.size = box.size;
    position_ = {box.minX() + anchorPoint_.x * box.width(), box.minY() + anchorPoint_.y * box.height()};
}

std::optional<gfx::Rect> Layer::contentsRectInBounds() const {
    const Appearance& shown = appearance();
    if (!shown.contents || shown.contents->empty()) return std::nullopt;
    double scale = shown.contentsScale > 0 ? shown.contentsScale : 1;
    double width = shown.contents->width / scale, height = shown.contents->height / scale;
    const gfx::Rect& b = bounds_;
    auto placed = [&](double w, double h, double fx, double fy) {
        return gfx::Rect{b.origin.x + (b.size.width - w) * fx, b.origin.y + (b.size.height - h) * fy, w, h};
    };
    switch (shown.contentsGravity) {
        case ContentsGravity::resize: return b;
        case ContentsGravity::resizeAspect:
        case ContentsGravity::resizeAspectFill: {
            double sx = b.size.width / width, sy = b.size.height / height;
            double s = shown.contentsGravity == ContentsGravity::resizeAspect ? std::min(sx, sy) : std::max(sx, sy);
            return placed(width * s, height * s, 0.5, 0.5);
        }
        case ContentsGravity::center: return placed(width, height, 0.5, 0.5);
        case ContentsGravity::top: return placed(width, height, 0.5, 0);
        case ContentsGravity::bottom: return placed(width, height, 0.5, 1);
        case ContentsGravity::left: return placed(width, height, 0, 0.5);
        case ContentsGravity::right: return placed(width, height, 1, 0.5);
        case ContentsGravity::topLeft: return placed(width, height, 0, 0);
        case ContentsGravity::topRight: return placed(width, height, 1, 0);
        case ContentsGravity::bottomLeft: return placed(width, height, 0, 1);
        case ContentsGravity::bottomRight: return placed(width, height, 1, 1);
    }
    return b;
}

Layer::ValueStore::Key::Key(std::string_view text) : size_(text.size()) {
    if (size_ <= capacity)
        std::copy(text.begin(), text.end(), inline_.begin());
    else
        long_ = text;
}

const Layer::ValueStore::Entry* Layer::ValueStore::find(std::string_view key) const {
    for (const Entry& entry : entries_)
        if (entry.key.view() == key) return &entry;
    return nullptr;
}

Layer::ValueStore::Entry& Layer::ValueStore::entry(std::string_view key) {
    if (Entry* present = find(key)) return *present;
    return entries_.emplace_back(key);
}

void Layer::ValueStore::remove(Entry& entry) {
    std::erase_if(entries_, [&](const Entry& each) { return &each == &entry; });
}

void Layer::ValueStore::set(std::string_view key, std::any&& value) {
    // An empty value removes the entry.
    if (!value.has_value()) {
        if (Entry* present = find(key)) remove(*present);
        return;
    }
    Entry& stored = entry(key);
    stored.value = std::move(value);
    stored.text.clear();
    stored.isText = false;
}

void Layer::ValueStore::set(std::string_view key, std::string&& text) {
    Entry& stored = entry(key);
    stored.value.reset();
    stored.text = std::move(text);
    stored.isText = true;
}

void Layer::setValue(std::string_view key, std::any value) { values_.set(key, std::move(value)); }

std::any Layer::value(std::string_view key) const {
    const ValueStore::Entry* found = values_.find(key);
    if (!found) return std::any{};
    return found->isText ? std::any(found->text) : found->value;
}

bool Layer::isAncestorOrSelf(const Layer* layer) const {
    // An ancestor holds sublayers: a layer without any (as every new one) is answered without the walk.
    if (layer != this && layer->sublayers_.empty()) return false;
    for (auto current = shared_from_this(); current; current = current->superlayer())
        if (current.get() == layer) return true;
    return false;
}

void Layer::detach(const std::shared_ptr<Layer>& layer) {
    // Keeps `layer` alive while it leaves its old superlayer.
    std::shared_ptr<Layer> keep = layer;
    keep->removeFromSuperlayer();
}

void Layer::insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index) {
    if (!layer || isAncestorOrSelf(layer.get())) return;
    detach(layer);
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->superlayer_ = weak_from_this();
}

void Layer::addSublayer(const std::shared_ptr<Layer>& layer) { insertSublayer(layer, sublayers_.size()); }

void Layer::insertNextTo(const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& sibling, bool below) {
    if (!layer || isAncestorOrSelf(layer.get()) || layer == sibling) return;
    detach(layer);
    auto found = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    std::size_t index =
        found == sublayers_.end() ? sublayers_.size() : std::size_t(found - sublayers_.begin()) + (below ? 0 : 1);
    insertSublayer(layer, index);
}

void Layer::removeFromSuperlayer() {
    auto parent = superlayer_.lock();
    superlayer_.reset();
    if (!parent) return;
    auto& siblings = parent->sublayers_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), shared_from_this()), siblings.end());
}

void Layer::replaceSublayer(const std::shared_ptr<Layer>& old, const std::shared_ptr<Layer>& replacement) {
    auto found = std::find(sublayers_.begin(), sublayers_.end(), old);
    if (found == sublayers_.end() || !replacement || replacement == old) return;
    if (isAncestorOrSelf(replacement.get())) return;
    std::size_t index = std::size_t(found - sublayers_.begin());
    old->removeFromSuperlayer();
    detach(replacement);
    insertSublayer(replacement, index);
}

gfx::AffineTransform Layer::transformToRoot() const {
    gfx::AffineTransform result;
    const Layer* layer = this;
    while (layer) {
        result = result.concatenating(layer->transformToSuperlayer());
        auto parent = layer->superlayer_.lock();
        if (!parent) break;
        result = result.concatenating(parent->sublayerSpaceTransform());
        layer = parent.get();
    }
    return result;
}

gfx::Point Layer::convertPointFrom(gfx::Point point, const Layer* layer) const {
    gfx::Point inRoot = layer ? layer->transformToRoot().apply(point) : point;
    return transformToRoot().inverted().apply(inRoot);
}

gfx::Point Layer::convertPointTo(gfx::Point point, const Layer* layer) const {
    gfx::Point inRoot = transformToRoot().apply(point);
    return layer ? layer->transformToRoot().inverted().apply(inRoot) : inRoot;
}

gfx::Rect Layer::convertRectFrom(const gfx::Rect& rect, const Layer* layer) const {
    gfx::AffineTransform toRoot = layer ? layer->transformToRoot() : gfx::AffineTransform{};
    return toRoot.concatenating(transformToRoot().inverted()).apply(rect);
}

gfx::Rect Layer::convertRectTo(const gfx::Rect& rect, const Layer* layer) const {
    gfx::AffineTransform fromRoot = layer ? layer->transformToRoot().inverted() : gfx::AffineTransform{};
    return transformToRoot().concatenating(fromRoot).apply(rect);
}

bool Layer::contains(gfx::Point point) const { return bounds_.contains(point); }

std::shared_ptr<Layer> Layer::hitTest(gfx::Point point) {
    if (hidden_) return nullptr;
    gfx::Point local = transformToSuperlayer().inverted().apply(point);
    if (masksToBounds_ && !contains(local)) return nullptr;
    if (!sublayers_.empty()) {
        gfx::Point forSublayers = sublayerSpaceTransform().inverted().apply(local);
        for (auto it = sublayers_.rbegin(); it != sublayers_.rend(); ++it)
            if (auto hit = (*it)->hitTest(forSublayers)) return hit;
    }
    return contains(local) ? shared_from_this() : nullptr;
}

void Layer::display() {
    if (auto owner = appearance().delegate.lock()) owner->displayLayer(*this);
    needsDisplay_ = false;
}

void Layer::displayIfNeeded() {
    if (needsDisplay_) display();
    if (mask_) mask_->displayIfNeeded();
    for (const auto& sublayer : sublayers_) sublayer->displayIfNeeded();
}

void Layer::draw(gfx::Context& context) const {
    if (auto owner = appearance().delegate.lock()) owner->drawLayer(*this, context);
}

Layer::OwnDrawing Layer::delegateDrawing() const {
    return OwnDrawing::of(appearance().delegate.expired() ? OwnDrawing::Kind::nothing : OwnDrawing::Kind::several);
}

Layer::OwnDrawing Layer::ownDrawing() const {
    if (typeid(*this) != typeid(Layer)) return {};
    return delegateDrawing();
}

void Layer::addAnimation(BasicAnimation animation, const std::string& key) {
    if (animation.beginTime == 0) animation.beginTime = foundation::Clock::current()->uptime();
    for (auto& [existingKey, existing] : animations_)
        if (existingKey == key) {
            existing = std::move(animation);
            return;
        }
    animations_.emplace_back(key, std::move(animation));
}

std::optional<BasicAnimation> Layer::animation(const std::string& key) const {
    for (const auto& [existingKey, existing] : animations_)
        if (existingKey == key) return existing;
    return std::nullopt;
}

void Layer::removeAnimation(const std::string& key) {
    std::erase_if(animations_, [&](const auto& entry) { return entry.first == key; });
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& entry : animations_) keys.push_back(entry.first);
    return keys;
}

}  // namespace quartz
