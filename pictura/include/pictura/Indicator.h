#pragma once

#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "pictura/ImageProcessor.h"
#include "pictura/PicturaOptions.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Geometry.h"
#include "ui/ImageView.h"

namespace pictura {

// How an image view sizes the indicator's view it hosts.
class IndicatorSizeStrategy {
public:
    enum class Kind { intrinsicSize, full, size };

    // No size constraint: the view keeps its own size.
    static IndicatorSizeStrategy intrinsicSize() { return IndicatorSizeStrategy(Kind::intrinsicSize, {}); }
    // As high and as wide as the image view.
    static IndicatorSizeStrategy full() { return IndicatorSizeStrategy(Kind::full, {}); }
    static IndicatorSizeStrategy size(ui::Size size) { return IndicatorSizeStrategy(Kind::size, size); }

    Kind kind() const { return kind_; }
    // The fixed size of the `size` kind; zero for the others.
    ui::Size fixedSize() const { return size_; }

    friend bool operator==(const IndicatorSizeStrategy&, const IndicatorSizeStrategy&) = default;

private:
    IndicatorSizeStrategy(Kind kind, ui::Size size) : kind_(kind), size_(size) {}

    Kind kind_;
    ui::Size size_;
};

// Something that moves while an image view's retrieval runs. The image view hosts `indicatorView()`,
// hidden until the first start; the indicator shows it while it animates. Main thread only.
class Indicator {
public:
    virtual ~Indicator() = default;
    virtual void startIndicatorAnimation() = 0;
    virtual void stopIndicatorAnimation() = 0;
    // Of the indicator's centre from the image view's centre.
    virtual ui::Point centerOffset() const { return {0, 0}; }
    virtual std::shared_ptr<ui::View> indicatorView() const = 0;
    virtual IndicatorSizeStrategy sizeStrategy(const ui::ImageView&) const { return IndicatorSizeStrategy::full(); }
};

// The platform's spinner. It counts starts not yet matched by stops, so retrievals that overlap on one
// view share one spinner, which shows until the last of them ends.
class ActivityIndicator final : public Indicator {
public:
    ActivityIndicator();

    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }
    int animatingCount() const { return animatingCount_; }

    void startIndicatorAnimation() override;
    void stopIndicatorAnimation() override;
    std::shared_ptr<ui::View> indicatorView() const override { return activityIndicatorView_; }
    IndicatorSizeStrategy sizeStrategy(const ui::ImageView&) const override {
        return IndicatorSizeStrategy::intrinsicSize();
    }

private:
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicatorView_;
    int animatingCount_ = 0;
};

// An image (a GIF plays) shown at its own size, centred, while the retrieval runs. No counting: one stop
// hides it whatever came before.
class ImageIndicator final : public Indicator {
public:
    // Null when the processor makes no image of the bytes. Without options, the library's empty
    // options; either way every frame of an animation is loaded, since a plain image view plays it.
    static std::shared_ptr<ImageIndicator> make(
        const foundation::Data& imageData,
        std::shared_ptr<const ImageProcessor> processor = DefaultImageProcessor::defaultProcessor(),
        std::optional<PicturaParsedOptionsInfo> options = std::nullopt);

    const std::shared_ptr<ui::ImageView>& animatedImageIndicatorView() const { return animatedImageIndicatorView_; }

    void startIndicatorAnimation() override;
    void stopIndicatorAnimation() override;
    std::shared_ptr<ui::View> indicatorView() const override { return animatedImageIndicatorView_; }

    explicit ImageIndicator(std::shared_ptr<ui::ImageView> view) : animatedImageIndicatorView_(std::move(view)) {}

private:
    std::shared_ptr<ui::ImageView> animatedImageIndicatorView_;
};

// What a caller asks an image view to show while it loads; the image view turns it into an indicator.
class IndicatorType {
public:
    enum class Kind { none, activity, image, custom };

    static IndicatorType none() { return IndicatorType(Kind::none); }
    static IndicatorType activity() { return IndicatorType(Kind::activity); }
    static IndicatorType image(foundation::Data imageData) {
        IndicatorType type(Kind::image);
        type.imageData_ = std::move(imageData);
        return type;
    }
    static IndicatorType custom(std::shared_ptr<Indicator> indicator) {
        IndicatorType type(Kind::custom);
        type.indicator_ = std::move(indicator);
        return type;
    }

    Kind kind() const { return kind_; }
    // The bytes of the `image` kind; empty for the others.
    const foundation::Data& imageData() const { return imageData_; }
    // The indicator of the `custom` kind; null for the others.
    const std::shared_ptr<Indicator>& indicator() const { return indicator_; }

private:
    explicit IndicatorType(Kind kind) : kind_(kind) {}

    Kind kind_;
    foundation::Data imageData_;
    std::shared_ptr<Indicator> indicator_;
};

}  // namespace pictura
