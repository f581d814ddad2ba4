#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string_view>
#include <typeinfo>

#include "quartz/GradientLayer.h"
#include "quartz/Layer.h"
#include "quartz/ShapeLayer.h"
#include "quartz/TextLayer.h"

using namespace quartz;
using gfx::Point;
using gfx::Rect;

namespace {

void expectPointNear(Point actual, Point expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

void expectRectNear(const Rect& actual, const Rect& expected) {
    expectPointNear(actual.origin, expected.origin);
    EXPECT_NEAR(actual.size.width, expected.size.width, 1e-9);
    EXPECT_NEAR(actual.size.height, expected.size.height, 1e-9);
}

std::shared_ptr<Layer> layerWithFrame(Rect frame) {
    auto layer = Layer::make();
    layer->setFrame(frame);
    return layer;
}

}  // namespace

TEST(LayerGeometry, FrameFollowsBoundsPositionAndAnchor) {
    auto layer = Layer::make();
    layer->setBounds({0, 0, 100, 50});
    layer->setPosition({200, 100});
    expectRectNear(layer->frame(), {150, 75, 100, 50});
    layer->setAnchorPoint({0, 0});
    expectRectNear(layer->frame(), {200, 100, 100, 50});

    // Setting the frame keeps the anchor point and moves the position.
    layer->setAnchorPoint({0.5, 0.5});
    layer->setFrame({10, 20, 30, 40});
    expectPointNear(layer->position(), {25, 40});
    EXPECT_EQ(layer->bounds().size, (gfx::Size{30, 40}));
}

TEST(LayerGeometry, TransformTurnsAboutTheAnchorPoint) {
    auto layer = layerWithFrame({0, 0, 100, 50});
    layer->setTransform(Transform3D::rotation(std::numbers::pi / 2, 0, 0, 1));
    // A quarter turn about the centre (50, 25) swaps the frame's sides around that centre.
    expectRectNear(layer->frame(), {25, -25, 50, 100});

    layer->setAnchorPoint({0, 0});
    layer->setPosition({0, 0});
    layer->setTransform(Transform3D::scale(2, 3));
    expectRectNear(layer->frame(), {0, 0, 200, 150});
}

TEST(LayerGeometry, Transform3DAffinePartRoundTrips) {
    gfx::AffineTransform affine{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Transform3D::fromAffine(affine).affine(), affine);
    Transform3D perspective;
    perspective.m34 = -1.0 / 500;
    EXPECT_FALSE(perspective.isAffine());
    EXPECT_TRUE(Transform3D::translation(3, 4).concatenating(Transform3D::scale(2, 2)).isAffine());
    // Translation first, then scale: the translation is scaled too.
    auto combined = Transform3D::translation(3, 4).concatenating(Transform3D::scale(2, 2)).affine();
    expectPointNear(combined.apply(Point{1, 1}), {8, 10});
}

TEST(LayerGeometry, ConvertsPointsBetweenLayersThroughTransformsAndBoundsOrigins) {
    auto root = layerWithFrame({0, 0, 400, 400});
    auto child = layerWithFrame({100, 50, 200, 200});
    auto grandchild = layerWithFrame({10, 10, 20, 20});
    root->addSublayer(child);
    child->addSublayer(grandchild);
    expectPointNear(grandchild->convertPointTo({0, 0}, root.get()), {110, 60});
    expectPointNear(root->convertPointTo({110, 60}, grandchild.get()), {0, 0});

    child->setBounds({-20, 0, 200, 200});  // scrolling the child moves its content
    expectPointNear(grandchild->convertPointTo({0, 0}, root.get()), {130, 60});

    root->setSublayerTransform(Transform3D::scale(2, 2));  // about the root's centre (200, 200)
    expectPointNear(grandchild->convertPointTo({0, 0}, root.get()), {60, -80});
    expectPointNear(grandchild->convertPointFrom({60, -80}, root.get()), {0, 0});
    expectRectNear(grandchild->convertRectTo({0, 0, 20, 20}, root.get()), {60, -80, 40, 40});
}

TEST(LayerGeometry, HitTestFindsTheFrontmostDeepestVisibleLayer) {
    auto root = layerWithFrame({0, 0, 100, 100});
    auto back = layerWithFrame({0, 0, 60, 60});
    auto front = layerWithFrame({40, 40, 60, 60});
    root->addSublayer(back);
    root->addSublayer(front);
    EXPECT_EQ(root->hitTest({50, 50}), front);
    EXPECT_EQ(root->hitTest({10, 10}), back);
    EXPECT_EQ(root->hitTest({90, 10}), root);
    EXPECT_EQ(root->hitTest({150, 10}), nullptr);

    front->setHidden(true);
    EXPECT_EQ(root->hitTest({50, 50}), back);

    // Outside a masking layer's bounds its sublayers are not hit.
    auto overhang = layerWithFrame({50, 50, 100, 100});
    back->addSublayer(overhang);
    EXPECT_EQ(root->hitTest({80, 80}), overhang);
    back->setMasksToBounds(true);
    EXPECT_EQ(root->hitTest({80, 80}), root);
}

TEST(LayerGeometry, SublayerTransformAndShadowPathAreEachLayersOwnAndClearBack) {
    auto layer = Layer::make();
    EXPECT_TRUE(layer->sublayerTransform().isIdentity());
    EXPECT_FALSE(layer->shadowPath().has_value());
    gfx::Path card;
    card.addRect({0, 0, 4, 4});
    layer->setSublayerTransform(Transform3D::scale(2, 2));
    layer->setShadowPath(card);
    auto copy = layer->copyLayer();
    layer->setSublayerTransform(Transform3D::translation(5, 0));
    layer->setShadowPath(std::nullopt);
    EXPECT_EQ(copy->sublayerTransform(), Transform3D::scale(2, 2)) << "a copy keeps the transform it was made with";
    EXPECT_EQ(copy->shadowPath(), card);
    EXPECT_EQ(layer->sublayerTransform(), Transform3D::translation(5, 0));
    EXPECT_FALSE(layer->shadowPath().has_value());
    layer->setSublayerTransform(Transform3D::identity());
    EXPECT_TRUE(layer->sublayerTransform().isIdentity());
    EXPECT_TRUE(layer->sublayerSpaceTransform().isIdentity());
    EXPECT_FALSE(copy->sublayerSpaceTransform().isIdentity());
}

// Background, border, shadow, contents and delegate are made on first setting: a layer that set none
// answers the defaults, and a copy keeps what it was made with whatever either changes later.
TEST(LayerGeometry, AppearanceHasItsDefaultsUntilSetAndEachCopyKeepsItsOwn) {
    struct Owner : LayerDelegate {};
    auto layer = Layer::make();
    EXPECT_EQ(layer->backgroundColor(), std::nullopt);
    EXPECT_EQ(layer->borderColor(), gfx::Color::black());
    EXPECT_EQ(layer->shadowColor(), gfx::Color::black());
    EXPECT_EQ(layer->shadowOffset(), (gfx::Size{0, -3}));
    EXPECT_EQ(layer->shadowRadius(), 3);
    EXPECT_EQ(layer->contentsScale(), 1);
    EXPECT_EQ(layer->contentsGravity(), ContentsGravity::resize);
    EXPECT_FALSE(layer->contents());
    EXPECT_EQ(layer->animatableValue("shadowRadius"), AnimationValue(3.0));
    auto owner = std::make_shared<Owner>();
    layer->setBackgroundColor(gfx::Color::white());
    layer->setBorderWidth(2);
    layer->setShadowOpacity(0.5);
    layer->setContents(std::make_shared<const gfx::Bitmap>());
    layer->setDelegate(owner);
    const auto plain = Layer::make();
    EXPECT_EQ(plain->backgroundColor(), std::nullopt) << "one layer's setting is not every layer's";
    EXPECT_EQ(plain->borderWidth(), 0);
    auto copy = layer->copyLayer();
    layer->setBackgroundColor(std::nullopt);
    layer->setContents(nullptr);
    EXPECT_TRUE(layer->setAnimatableValue("borderWidth", 5.0));
    EXPECT_EQ(copy->backgroundColor(), gfx::Color::white()) << "a copy keeps its own";
    EXPECT_EQ(copy->borderWidth(), 2);
    EXPECT_EQ(copy->shadowOpacity(), 0.5);
    EXPECT_TRUE(copy->contents());
    EXPECT_EQ(copy->delegate().lock(), owner);
    EXPECT_EQ(layer->borderWidth(), 5);
    EXPECT_EQ(layer->backgroundColor(), std::nullopt);
    EXPECT_EQ(layer->shadowRadius(), 3) << "what was not set keeps its default";
}

TEST(LayerTree, InsertsRemovesAndReplacesInOrder) {
    auto root = Layer::make();
    auto a = Layer::make(), b = Layer::make(), c = Layer::make(), d = Layer::make();
    root->addSublayer(a);
    root->addSublayer(c);
    root->insertSublayerBelow(b, c);
    root->insertSublayer(d, 0);
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<Layer>>{d, a, b, c}));
    root->insertSublayerAbove(d, c);  // moves d to the front
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<Layer>>{a, b, c, d}));
    EXPECT_EQ(d->superlayer(), root);

    auto e = Layer::make();
    root->replaceSublayer(b, e);
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<Layer>>{a, e, c, d}));
    EXPECT_EQ(b->superlayer(), nullptr);

    c->removeFromSuperlayer();
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<Layer>>{a, e, d}));

    // Moving a layer to another parent takes it from the first; a cycle is refused.
    a->addSublayer(e);
    EXPECT_EQ(root->sublayers(), (std::vector<std::shared_ptr<Layer>>{a, d}));
    e->addSublayer(root);
    EXPECT_EQ(root->superlayer(), nullptr);
    EXPECT_TRUE(e->sublayers().empty());
    d->addSublayer(d);  // a layer without sublayers is still its own ancestor
    EXPECT_TRUE(d->sublayers().empty());
    EXPECT_EQ(d->superlayer(), root);
}

TEST(LayerTree, StoresValuesByKeyAndCopiesKeepKind) {
    auto shape = ShapeLayer::make();
    shape->setName("track");
    shape->setValue("SVGElementIdentifier", std::string("outline"));
    shape->setLineWidth(4);
    EXPECT_EQ(shape->value<std::string>("SVGElementIdentifier"), "outline");
    EXPECT_FALSE(shape->value<double>("SVGElementIdentifier"));
    EXPECT_FALSE(shape->value("missing").has_value());

    auto copy = std::dynamic_pointer_cast<ShapeLayer>(shape->copyLayer());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->lineWidth(), 4);
    EXPECT_EQ(copy->name(), "track");
    shape->setValue("SVGElementIdentifier", {});
    EXPECT_FALSE(shape->value("SVGElementIdentifier").has_value());
}

TEST(LayerTree, ValuesAreFoundByAnyViewOfTheirKeyAndReplacedInPlace) {
    auto layer = Layer::make();
    layer->setValue("SVGElementIdentifier", std::string("first"));
    layer->setValue("SVGElement", 7);
    layer->setValue("SVGElementIdentifier", std::string("second"));
    // A view into a longer text, with no terminator where the key ends.
    const std::string_view key = std::string_view("SVGElementIdentifierAndMore").substr(0, 20);
    EXPECT_EQ(layer->value<std::string>(key), "second");
    EXPECT_EQ(layer->value<int>("SVGElement"), 7) << "a key that is another's beginning is its own";
    layer->setValue("missing", {});
    layer->setValue(key, {});
    EXPECT_FALSE(layer->value(key).has_value());
    EXPECT_EQ(layer->value<int>("SVGElement"), 7);
}

TEST(LayerTree, TextAndOtherValuesReplaceEachOtherUnderOneKey) {
    auto layer = Layer::make();
    layer->setValue("id", std::string());
    layer->setValue("note", std::string("kept"));
    // An empty text is a value: it is what an element without an id leaves.
    ASSERT_TRUE(layer->value("id").has_value());
    EXPECT_EQ(std::any_cast<std::string>(layer->value("id")), "");
    EXPECT_EQ(layer->value<std::string>("id"), "");

    layer->setValue("id", 3.5);
    EXPECT_FALSE(layer->value<std::string>("id")) << "a number that replaced text is not read as text";
    EXPECT_EQ(layer->value<double>("id"), 3.5);
    const std::string text = "again";
    layer->setValue("id", text);
    EXPECT_FALSE(layer->value<double>("id"));
    EXPECT_EQ(layer->value<std::string>("id"), "again");

    auto copy = layer->copyLayer();
    layer->setValue("id", {});
    EXPECT_FALSE(layer->value("id").has_value());
    EXPECT_EQ(layer->value<std::string>("note"), "kept") << "removing the first entry keeps the others";
    EXPECT_EQ(copy->value<std::string>("id"), "again");
    EXPECT_EQ(copy->value<std::string>("note"), "kept");
}

TEST(LayerTree, ManyValuesAndLongKeysAreKeptApartThroughRemovalsAndCopies) {
    auto layer = Layer::make();
    const std::string longKey(40, 'k');
    const std::string otherLongKey = std::string(39, 'k') + "x";  // differs only past the short keys' length
    layer->setValue("a", 1);
    layer->setValue("b", 2);
    layer->setValue(longKey, 3);
    layer->setValue(otherLongKey, 4);
    layer->setValue("c", 5);
    layer->setValue("a", {});  // the first one stored goes; the rest stay reachable
    EXPECT_FALSE(layer->value("a").has_value());
    EXPECT_EQ(layer->value<int>("b"), 2);
    EXPECT_EQ(layer->value<int>(longKey), 3);
    EXPECT_EQ(layer->value<int>(otherLongKey), 4);
    EXPECT_EQ(layer->value<int>("c"), 5);
    layer->setValue(longKey, {});
    layer->setValue("a", 6);
    auto copy = layer->copyLayer();
    layer->setValue("b", 7);
    EXPECT_EQ(copy->value<int>("b"), 2) << "a copy has values of its own";
    EXPECT_EQ(copy->value<int>("a"), 6);
    EXPECT_FALSE(copy->value(longKey).has_value());
    EXPECT_EQ(copy->value<int>(otherLongKey), 4);
    EXPECT_EQ(copy->value<int>("c"), 5);
}

// The renderer's shortcuts ask for a layer's exact kind, and the tree links layers through their shares.
TEST(LayerTree, MadeLayersAreOfTheirOwnKindAndShareThemselves) {
    const std::vector<std::pair<std::shared_ptr<Layer>, const std::type_info*>> made{
        {Layer::make(), &typeid(Layer)},
        {ShapeLayer::make(), &typeid(ShapeLayer)},
        {GradientLayer::make(), &typeid(GradientLayer)},
        {TextLayer::make(), &typeid(TextLayer)},
    };
    auto root = Layer::make();
    for (const auto& [layer, kind] : made) {
        EXPECT_EQ(typeid(*layer), *kind) << kind->name();
        EXPECT_EQ(layer->shared_from_this(), layer);
        root->addSublayer(layer);
        EXPECT_EQ(layer->superlayer(), root);
    }
    EXPECT_EQ(root->sublayers().size(), made.size());
}
