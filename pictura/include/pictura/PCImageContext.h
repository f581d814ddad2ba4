#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "declarative/AnyView.h"
#include "foundation/Progress.h"
#include "pictura/Delegate.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/RetrieveImageResult.h"
#include "pictura/Source.h"

namespace pictura {

// How a declarative image view shows a loaded image: specialised per holding view with
//   using RenderingView = ...;   the platform view it renders into, if it has one
//   static HoldingView created(std::shared_ptr<gfx::Image> image, const std::shared_ptr<PCImageContext<HoldingView>>&);
template <class HoldingView>
struct PCImageHoldingView;

// What every declarative image view keeps of its configuration, whatever shows the image; one object
// shared by every copy of a view value. Main thread only once the view is shown.
class PCImageContextBase {
public:
    using ProgressPair = std::pair<std::int64_t, std::int64_t>;

    // The options start from the shared manager's default options, then read the disk synchronously
    // so that a cached image is there on the view's first frame.
    explicit PCImageContextBase(std::optional<Source> source);
    virtual ~PCImageContextBase() = default;
    PCImageContextBase(const PCImageContextBase&) = delete;
    PCImageContextBase& operator=(const PCImageContextBase&) = delete;

    const std::optional<Source> source;
    PicturaParsedOptionsInfo options;
    bool cancelOnDisappear = false;
    bool startLoadingBeforeViewAppear = false;
    Delegate<PicturaError, void> onFailureDelegate;
    Delegate<RetrieveImageResult, void> onSuccessDelegate;
    Delegate<ProgressPair, void> onProgressDelegate;

    // A fade applies to images not from a cache, or to any with `forceTransition`.
    bool appliesFade(CacheType cacheType) const;
    // The fade's duration when one applies and the transition is a fade; other transitions never animate here.
    std::optional<double> fadeDuration(CacheType cacheType) const;

    // Equal sources (both absent counts as equal) and equal processor identifiers.
    friend bool operator==(const PCImageContextBase& left, const PCImageContextBase& right);
    std::size_t hashValue() const;
};

template <class HoldingView>
class PCImageContext final : public PCImageContextBase {
public:
    using RenderingView = typename PCImageHoldingView<HoldingView>::RenderingView;
    using Placeholder = std::function<declarative::AnyView(const std::shared_ptr<foundation::Progress>&)>;

    using PCImageContextBase::PCImageContextBase;

    std::vector<std::function<HoldingView(HoldingView)>> configurations;
    std::vector<std::function<void(RenderingView&)>> renderConfigurations;
    std::function<declarative::AnyView(HoldingView)> contentConfiguration;
    Placeholder placeholder;
};

// A context as the identity of the view it configures: compared by value, not by object.
struct PCImageContextIdentity {
    std::shared_ptr<const PCImageContextBase> context;
    friend bool operator==(const PCImageContextIdentity& left, const PCImageContextIdentity& right) {
        return *left.context == *right.context;
    }
};

}  // namespace pictura
