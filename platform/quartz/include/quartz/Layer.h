#pragma once

#include <any>
#include <array>
#include <atomic>
#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"
#include "gfx/Path.h"
#include "quartz/Animation.h"
#include "quartz/Contents.h"
#include "quartz/Transform3D.h"

namespace quartz {

class Layer;

// Optional hooks for whoever owns a layer (a view, usually). Held weakly.
class LayerDelegate {
public:
    virtual ~LayerDelegate() = default;
    // Called by display(), typically to set the layer's contents (an animation frame, say).
    virtual void displayLayer(Layer&) {}
    // Custom drawing in the layer's bounds space, called while the layer renders.
    virtual void drawLayer(const Layer&, gfx::Context&) {}
};

// The work one render of a tree may do, carried by its root: a tree built from a document from outside is
// drawn within it wherever it is drawn, a window's layers included (see Layer::workBound).
struct WorkBound {
    std::uint64_t budget = 0;  // in gfx::WorkMeter's units
    // Told, on the rendering thread, of a render of the tree that ran past the budget and showed nothing, and
    // whether the CPU clock rather than the units ended it (gfx::WorkMeter::spentByClock).
    std::function<void(bool byClock)> pastBudget;
    // What the build's meter shared (gfx::WorkMeter::shared: the text layouts it measured), carried into
    // each render's meter, so that its drawing does not lay them out again.
    std::shared_ptr<void> carried;
    // Set by that render when its units or memory ran out: the tree does not change after its build, so every
    // later render of it would do a budget's work again to show nothing (a window's every frame); they show
    // nothing at once instead.
    mutable std::atomic<bool> refused{false};
};

// A node of a layer tree: geometry, appearance and ordered sublayers, drawn by quartz::render. Layers are reference
// types (always in a shared_ptr, see make()); the tree holds its sublayers strongly and its superlayer weakly. A
// layer is not thread-safe: build and change a tree on one thread; render it anywhere while nothing changes it.
class Layer : public std::enable_shared_from_this<Layer> {
protected:
    // The key to the public constructors that let make() build a layer and its shared count in one
    // allocation; only the kinds can name it, so layers still come from make() alone.
    struct Making {
        explicit Making() = default;
    };

public:
    static std::shared_ptr<Layer> make() { return std::make_shared<Layer>(Making{}); }
    explicit Layer(Making) {}
    virtual ~Layer() = default;
    Layer& operator=(const Layer&) = delete;

    // A new layer of the same kind with the same properties, without sublayers, superlayer or animations (the mask is
    // shared). Subclasses with their own state override it.
    virtual std::shared_ptr<Layer> copyLayer() const;

    // Geometry. The anchor point, in unit coordinates of the bounds, is the point placed at `position` in the
    // superlayer and the centre of `transform`.
    gfx::Rect bounds() const { return bounds_; }
    void setBounds(const gfx::Rect& bounds) { bounds_ = bounds; }
    gfx::Point position() const { return position_; }
    void setPosition(gfx::Point position) { position_ = position; }
    gfx::Point anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(gfx::Point anchorPoint) { anchorPoint_ = anchorPoint; }
    const Transform3D& transform() const { return transform_ ? *transform_ : identityTransform(); }
    void setTransform(const Transform3D& transform) { keepApart(transform_, transform); }
    gfx::AffineTransform affineTransform() const { return transform().affine(); }
    void setAffineTransform(const gfx::AffineTransform& transform) { setTransform(Transform3D::fromAffine(transform)); }
    // Applied to the sublayers, about this layer's anchor point.
    const Transform3D& sublayerTransform() const;
    void setSublayerTransform(const Transform3D& transform);
    // The bounding box of the bounds in the superlayer's space. Setting it keeps the transform and anchor point and
    // sets the bounds size and the position as if the transform were the identity.
    gfx::Rect frame() const;
    void setFrame(const gfx::Rect& frame);
    // Maps this layer's space into its superlayer's (not counting the superlayer's sublayerTransform).
    gfx::AffineTransform transformToSuperlayer() const;
    // Maps the space the sublayers are placed in into this layer's space: sublayerTransform about the anchor.
    gfx::AffineTransform sublayerSpaceTransform() const;

    // Appearance.
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    double opacity() const { return opacity_; }
    void setOpacity(double opacity) { opacity_ = opacity; }
    // Drawing of this layer and its sublayers is multiplied by the alpha of the mask, which lies in this layer's
    // space (by its own frame); where the mask has no pixels nothing shows.
    const std::shared_ptr<Layer>& mask() const { return mask_; }
    void setMask(std::shared_ptr<Layer> mask) { mask_ = std::move(mask); }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    std::optional<gfx::Color> backgroundColor() const { return appearance().backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> color) { changedAppearance().backgroundColor = color; }
    // Rounds the background and border always, and the contents and sublayers when masksToBounds.
    double cornerRadius() const { return appearance().cornerRadius; }
    void setCornerRadius(double radius) { changedAppearance().cornerRadius = radius; }
    double borderWidth() const { return appearance().borderWidth; }
    void setBorderWidth(double width) { changedAppearance().borderWidth = width; }
    std::optional<gfx::Color> borderColor() const { return appearance().borderColor; }
    void setBorderColor(std::optional<gfx::Color> color) { changedAppearance().borderColor = color; }

    // A blurred copy of the layer's shape (its shadow path, or else everything it draws) under it.
    std::optional<gfx::Color> shadowColor() const { return appearance().shadowColor; }
    void setShadowColor(std::optional<gfx::Color> color) { changedAppearance().shadowColor = color; }
    double shadowOpacity() const { return appearance().shadowOpacity; }
    void setShadowOpacity(double opacity) { changedAppearance().shadowOpacity = opacity; }
    gfx::Size shadowOffset() const { return appearance().shadowOffset; }
    void setShadowOffset(gfx::Size offset) { changedAppearance().shadowOffset = offset; }
    double shadowRadius() const { return appearance().shadowRadius; }
    void setShadowRadius(double radius) { changedAppearance().shadowRadius = radius; }
    const std::optional<gfx::Path>& shadowPath() const { return appearance().shadowPath; }
    void setShadowPath(std::optional<gfx::Path> path) { changedAppearance().shadowPath = std::move(path); }

    // Contents: a bitmap at contentsScale pixels a point, placed by contentsGravity.
    const LayerContents& contents() const { return appearance().contents; }
    void setContents(LayerContents contents) { changedAppearance().contents = std::move(contents); }
    ContentsGravity contentsGravity() const { return appearance().contentsGravity; }
    void setContentsGravity(ContentsGravity gravity) { changedAppearance().contentsGravity = gravity; }
    double contentsScale() const { return appearance().contentsScale; }
    void setContentsScale(double scale) { changedAppearance().contentsScale = scale; }
    // Where the contents land in bounds space for the current gravity; nothing without contents.
    std::optional<gfx::Rect> contentsRectInBounds() const;

    // Name and free key-value storage (the platform's key-value coding for undeclared keys).
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    void setValue(std::string_view key, std::any value);
    // Text is read back as a std::string like any other value; stored this way it costs no allocation
    // past the string's own (a drawing's layers each carry their element's id, most of them "").
    // (A template, so that a braced empty value still means std::any.)
    template <class Text>
        requires std::same_as<std::remove_cvref_t<Text>, std::string>
    void setValue(std::string_view key, Text&& text) {
        values_.set(key, std::string(std::forward<Text>(text)));
    }
    // An empty std::any when nothing is stored under the key.
    std::any value(std::string_view key) const;
    template <class T>
    std::optional<T> value(std::string_view key) const {
        const ValueStore::Entry* found = values_.find(key);
        if (!found) return std::nullopt;
        if constexpr (std::is_same_v<T, std::string>) {
            if (found->isText) return found->text;
        }
        if (const T* typed = std::any_cast<T>(&found->value)) return *typed;
        return std::nullopt;
    }

    // The tree. Adding a layer that has a superlayer moves it; a layer cannot hold itself or an ancestor.
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    std::shared_ptr<Layer> superlayer() const { return superlayer_.lock(); }
    void addSublayer(const std::shared_ptr<Layer>& layer);
    // Room for `count` sublayers in all, for a builder that knows about how many it is about to add.
    void reserveSublayers(std::size_t count) { sublayers_.reserve(count); }
    // Indices past the end append.
    void insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index);
    // A sibling that is not a sublayer of this layer makes these append.
    void insertSublayerBelow(const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& sibling) {
        insertNextTo(layer, sibling, true);
    }
    void insertSublayerAbove(const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& sibling) {
        insertNextTo(layer, sibling, false);
    }
    void removeFromSuperlayer();
    // Nothing happens when `old` is not a sublayer.
    void replaceSublayer(const std::shared_ptr<Layer>& old, const std::shared_ptr<Layer>& replacement);

    // Coordinate conversion between layers of one tree; a null layer means the root's superlayer space.
    gfx::Point convertPointFrom(gfx::Point point, const Layer* layer) const;
    gfx::Point convertPointTo(gfx::Point point, const Layer* layer) const;
    gfx::Rect convertRectFrom(const gfx::Rect& rect, const Layer* layer) const;
    gfx::Rect convertRectTo(const gfx::Rect& rect, const Layer* layer) const;
    // Maps this layer's space into the space of its root's superlayer.
    gfx::AffineTransform transformToRoot() const;
    // The deepest visible layer containing `point`, given in the superlayer's space; sublayers are tried front to
    // back. Layers that mask to bounds hide their sublayers outside their bounds.
    std::shared_ptr<Layer> hitTest(gfx::Point point);
    // `point` in this layer's space; the bounds by default.
    virtual bool contains(gfx::Point point) const;

    // Custom drawing. Rendering calls draw() every time (there is no cached backing store); needsDisplay tells the
    // host that the picture changed.
    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay() { needsDisplay_ = true; }
    // Lets the delegate set contents (displayLayer) and clears needsDisplay.
    virtual void display();
    // Runs display() on every layer of the tree that needs it.
    void displayIfNeeded();
    // The layer's own drawing in bounds space, above background and contents and below sublayers. Layer's version
    // calls the delegate's drawLayer; the kinds override it.
    virtual void draw(gfx::Context& context) const;
    // What draw() paints, for the renderer's shortcuts (a mask that is one shape becomes a clip; the opacity of a
    // layer that paints once scales that paint instead of a group). A kind that overrides draw() answers `several`
    // unless it overrides this too.
    struct OwnDrawing {
        enum class Kind { nothing, fill, single, several } kind = Kind::several;
        const gfx::Path* path = nullptr;  // the fill's, placed in bounds space by pathTransform
        gfx::FillRule rule = gfx::FillRule::winding;
        gfx::Color color;
        gfx::AffineTransform pathTransform;

        static OwnDrawing of(Kind kind) {
            OwnDrawing drawing;
            drawing.kind = kind;
            return drawing;
        }
    };
    virtual OwnDrawing ownDrawing() const;

    // A render of this layer and its sublayers that runs under no gfx::WorkMeter opens one of this budget,
    // and shows the layer only if it ends within it (quartz::renderWithinBound); under a running meter the
    // layer's drawing joins that meter. Null (most layers) for none.
    const std::shared_ptr<const WorkBound>& workBound() const { return appearance().workBound; }
    void setWorkBound(std::shared_ptr<const WorkBound> bound) { changedAppearance().workBound = std::move(bound); }

    std::weak_ptr<LayerDelegate> delegate() const { return appearance().delegate; }
    void setDelegate(std::weak_ptr<LayerDelegate> delegate) { changedAppearance().delegate = std::move(delegate); }

    // Animations, by key. Adding under a key in use replaces that animation; a beginTime of 0 becomes the current
    // uptime (foundation::Clock).
    void addAnimation(BasicAnimation animation, const std::string& key);
    std::optional<BasicAnimation> animation(const std::string& key) const;
    void removeAnimation(const std::string& key);
    void removeAllAnimations() { animations_.clear(); }
    // In the order they were added.
    std::vector<std::string> animationKeys() const;
    bool hasAnimations() const { return !animations_.empty(); }
    // A copy showing the animated values at `time` (uptime seconds); null when no animation shows at that time.
    std::shared_ptr<Layer> presentationLayer(double time) const;

    // Model values by animation key path (see BasicAnimation); nothing for an unknown path.
    virtual std::optional<AnimationValue> animatableValue(const std::string& keyPath) const;
    // False for an unknown key path or a value of the wrong kind.
    virtual bool setAnimatableValue(const std::string& keyPath, const AnimationValue& value);

    // The area this layer's own drawing covers in bounds space (background, contents, draw()), used to size offscreen
    // buffers. Kinds that draw outside their bounds widen it.
    virtual gfx::Rect drawingBounds() const { return bounds_; }

protected:
    Layer() = default;
    // Copies the properties only (see copyLayer).
    Layer(const Layer& other);
    // Layer's own answer to ownDrawing, for kinds that keep its draw().
    OwnDrawing delegateDrawing() const;

private:
    // The values by key. A layer of a drawing carries none, one or two, so they are kept in a list searched
    // in order, keys of usual length inside their entry. The list is out of line: most of a document's
    // many layers (those of elements without an id) carry no value, and an entry inline made each larger.
    class ValueStore {
        class Key;

    public:
        struct Entry;
        const Entry* find(std::string_view key) const;
        Entry* find(std::string_view key) {
            return const_cast<Entry*>(static_cast<const ValueStore&>(*this).find(key));
        }
        void set(std::string_view key, std::any&& value);
        void set(std::string_view key, std::string&& text);

    private:
        class Key {
        public:
            explicit Key(std::string_view text);
            std::string_view view() const {
                return size_ <= capacity ? std::string_view(inline_.data(), size_) : std::string_view(long_);
            }

        private:
            static constexpr std::size_t capacity = 31;
            std::array<char, capacity> inline_{};
            std::size_t size_ = 0;
            std::string long_;  // a key past the capacity
        };

    public:
        struct Entry {
            explicit Entry(std::string_view name) : key(name) {}

            Key key;
            std::any value;    // empty while the entry holds text
            std::string text;  // a std::any would put a string on the heap
            bool isText = false;
        };

    private:
        // The entry under `key`, made (empty) when there is none.
        Entry& entry(std::string_view key);
        void remove(Entry& entry);

        std::vector<Entry> entries_;
    };

    // What few layers set (background, border, shadow, contents, delegate: a drawing's shapes set none),
    // kept apart and made on first setting, so that a document's many layers are smaller to make and free.
    struct Appearance {
        std::optional<gfx::Color> backgroundColor;
        double cornerRadius = 0;
        double borderWidth = 0;
        std::optional<gfx::Color> borderColor = gfx::Color::black();
        std::optional<gfx::Color> shadowColor = gfx::Color::black();
        double shadowOpacity = 0;
        gfx::Size shadowOffset{0, -3};
        double shadowRadius = 3;
        std::optional<gfx::Path> shadowPath;
        LayerContents contents;
        ContentsGravity contentsGravity = ContentsGravity::resize;
        double contentsScale = 1;
        std::weak_ptr<LayerDelegate> delegate;
        std::shared_ptr<const WorkBound> workBound;
    };
    // The defaults, made on first use (so that no other file's static layer meets them unmade).
    static const Appearance& unsetAppearance() {
        static const Appearance unset;
        return unset;
    }
    const Appearance& appearance() const { return appearance_ ? *appearance_ : unsetAppearance(); }
    Appearance& changedAppearance();

    void insertNextTo(const std::shared_ptr<Layer>& layer, const std::shared_ptr<Layer>& sibling, bool below);
    bool isAncestorOrSelf(const Layer* layer) const;
    void detach(const std::shared_ptr<Layer>& layer);

    static const Transform3D& identityTransform() {
        static constexpr Transform3D identity;
        return identity;
    }
    // Stores `transform` in `slot`, leaving it null for the identity.
    static void keepApart(std::unique_ptr<Transform3D>& slot, const Transform3D& transform);

    gfx::Rect bounds_;
    gfx::Point position_;
    gfx::Point anchorPoint_{0.5, 0.5};
    // Both transforms are set on few layers, so kept apart, null for the identity (as is the shadow
    // path): a document's many layers are smaller to make, fill in and free.
    std::unique_ptr<Transform3D> transform_;
    std::unique_ptr<Transform3D> sublayerTransform_;
    double opacity_ = 1;
    std::shared_ptr<Layer> mask_;
    std::unique_ptr<Appearance> appearance_;  // null while every property in it has its default
    std::string name_;
    ValueStore values_;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    std::weak_ptr<Layer> superlayer_;
    std::vector<std::pair<std::string, BasicAnimation>> animations_;
    // Side by side, so that they share one word.
    bool hidden_ = false;
    bool masksToBounds_ = false;
    bool needsDisplay_ = false;
};

}  // namespace quartz
