#include <cmath>

#include "quartz/Layer.h"

// Animation key paths read and written on layers, and the presentation copies built from them.
namespace quartz {

namespace {

const double* asNumber(const AnimationValue& value) { return std::get_if<double>(&value); }

bool setNumber(double& field, const AnimationValue& value) {
    const double* number = asNumber(value);
    if (!number) return false;
    field = *number;
    return true;
}

bool isRotation(const std::string& keyPath) {
    return keyPath == "transform.rotation" || keyPath == "transform.rotation.z";
}

}  // namespace

std::optional<AnimationValue> Layer::animatableValue(const std::string& keyPath) const {
    const gfx::AffineTransform t = affineTransform();
    if (keyPath == "opacity") return opacity_;
    if (keyPath == "position") return position_;
    if (keyPath == "position.x") return position_.x;
    if (keyPath == "position.y") return position_.y;
    if (keyPath == "cornerRadius") return appearance().cornerRadius;
    if (keyPath == "borderWidth") return appearance().borderWidth;
    if (keyPath == "shadowOpacity") return appearance().shadowOpacity;
    if (keyPath == "shadowRadius") return appearance().shadowRadius;
    // Transform components are read from the affine part, as a rotation-and-scale decomposition.
    if (isRotation(keyPath)) return std::atan2(t.b, t.a);
    if (keyPath == "transform.scale" || keyPath == "transform.scale.x") return std::hypot(t.a, t.b);
    if (keyPath == "transform.scale.y") return std::hypot(t.c, t.d);
    if (keyPath == "transform.translation.x") return t.tx;
    if (keyPath == "transform.translation.y") return t.ty;
    return std::nullopt;
}

bool Layer::setAnimatableValue(const std::string& keyPath, const AnimationValue& value) {
    if (keyPath == "opacity") return setNumber(opacity_, value);
    if (keyPath == "position") {
        const gfx::Point* point = std::get_if<gfx::Point>(&value);
        if (point) position_ = *point;
        return point != nullptr;
    }
    if (keyPath == "position.x") return setNumber(position_.x, value);
    if (keyPath == "position.y") return setNumber(position_.y, value);
    if (keyPath == "cornerRadius") return setNumber(changedAppearance().cornerRadius, value);
    if (keyPath == "borderWidth") return setNumber(changedAppearance().borderWidth, value);
    if (keyPath == "shadowOpacity") return setNumber(changedAppearance().shadowOpacity, value);
    if (keyPath == "shadowRadius") return setNumber(changedAppearance().shadowRadius, value);
    const double* number = asNumber(value);
    if (!number || keyPath.rfind("transform.", 0) != 0) return false;
    // An animated component is applied before the rest of the transform (the model's own rotation, scale or
    // translation is replaced by the animated one when the model has it alone).
    Transform3D rest = transform();
    if (auto current = animatableValue(keyPath)) {
        double modelValue = std::get<double>(*current);
        if (isRotation(keyPath))
            rest = Transform3D::rotation(-modelValue, 0, 0, 1).concatenating(rest);
        else if (keyPath == "transform.translation.x")
            rest = rest.concatenating(Transform3D::translation(-modelValue, 0));
        else if (keyPath == "transform.translation.y")
            rest = rest.concatenating(Transform3D::translation(0, -modelValue));
        else if (modelValue != 0) {
            double undo = 1 / modelValue;
            rest = (keyPath == "transform.scale"     ? Transform3D::scale(undo, undo)
                    : keyPath == "transform.scale.x" ? Transform3D::scale(undo, 1)
                                                     : Transform3D::scale(1, undo))
                       .concatenating(rest);
        }
    }
    if (isRotation(keyPath))
        setTransform(Transform3D::rotation(*number, 0, 0, 1).concatenating(rest));
    else if (keyPath == "transform.scale")
        setTransform(Transform3D::scale(*number, *number).concatenating(rest));
    else if (keyPath == "transform.scale.x")
        setTransform(Transform3D::scale(*number, 1).concatenating(rest));
    else if (keyPath == "transform.scale.y")
        setTransform(Transform3D::scale(1, *number).concatenating(rest));
    else if (keyPath == "transform.translation.x")
        setTransform(rest.concatenating(Transform3D::translation(*number, 0)));
    else if (keyPath == "transform.translation.y")
        setTransform(rest.concatenating(Transform3D::translation(0, *number)));
    else
        return false;
    return true;
}

std::shared_ptr<Layer> Layer::presentationLayer(double time) const {
    std::shared_ptr<Layer> presented;
    for (const auto& [key, animation] : animations_) {
        std::optional<double> progress = animation.progress(time);
        if (!progress) continue;
        if (!presented) presented = copyLayer();
        std::optional<AnimationValue> model = presented->animatableValue(animation.keyPath);
        if (!model) continue;
        AnimationValue from = animation.fromValue.value_or(*model), to = animation.toValue.value_or(*model);
        presented->setAnimatableValue(animation.keyPath, interpolate(from, to, *progress));
    }
    return presented;
}

}  // namespace quartz
