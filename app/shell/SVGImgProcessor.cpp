#include "shell/SVGImgProcessor.h"
#include "shell/MemoryLimits.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "foundation/Print.h"
#include "gfx/WorkMeter.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumWorkBounds.h"

namespace {

// The image library calls processors on its own queue while the SVG library may install its renderer.
std::mutex rendererMutex;
SVGRenderer installedRenderer;
std::function<void()> installedPreparation;

SVGRenderer currentRenderer() {
    std::lock_guard lock(rendererMutex);
    return installedRenderer;
}

// A render that left the process this much larger than it found it gives back what it freed before
// the next render starts. Each of the image library's processing lanes allocates from an arena of its
// own, so the pages a hostile document freed would otherwise stay with its lane, and the next render,
// on another lane, would take new ones: renders one at a time would cost as much as side by side.
// An ordinary flag grows the process by far less, and pays no more than two reads of its size.
constexpr std::size_t growthWorthReturning = 16u << 20;

void returnFreedMemoryAfterGrowing(std::size_t residentBefore) {
#if defined(__GLIBC__)
    if (residentBytes() >= residentBefore + growthWorthReturning) ::malloc_trim(0);
#else
    (void)residentBefore;
#endif
}

// The slots of renders in flight. A render holds one from before it parses until its result is made
// (null results and exceptions included), so no document, layer tree or picture of a waiting render
// exists yet.
class RenderSlots {
public:
    class Held {
    public:
        explicit Held(RenderSlots& slots) : slots_(slots) {
            slots_.take();
            residentBefore_ = residentBytes();
        }
        ~Held() {
            returnFreedMemoryAfterGrowing(residentBefore_);
            slots_.give();
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        RenderSlots& slots_;
        std::size_t residentBefore_ = 0;
    };

    // How many the installed renderer takes at once.
    void setLimit(std::size_t limit) {
        {
            std::lock_guard lock(mutex_);
            limit_ = std::max<std::size_t>(limit, 1);
        }
        freed_.notify_all();
    }

private:
    void take() {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return running_ < limit_; });
        ++running_;
    }
    void give() {
        {
            std::lock_guard lock(mutex_);
            --running_;
        }
        freed_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable freed_;
    std::size_t running_ = 0;
    std::size_t limit_ = maximumConcurrentSVGRenders;
};

RenderSlots& renderSlots() {
    // Never destroyed: a processing lane may still be rendering while the process ends.
    static auto* slots = new RenderSlots;
    return *slots;
}

}  // namespace

void setSVGRenderer(SVGRenderer renderer, std::function<void()> prepare, std::size_t concurrentRenders) {
    renderSlots().setLimit(concurrentRenders);
    std::lock_guard lock(rendererMutex);
    installedRenderer = std::move(renderer);
    installedPreparation = std::move(prepare);
}

void prepareSVGRenderer() {
    std::function<void()> prepare;
    {
        std::lock_guard lock(rendererMutex);
        prepare = installedPreparation;
    }
    if (prepare) prepare();
}

std::shared_ptr<gfx::Image> renderWithSVGLibrary(const foundation::Data& data, const std::optional<SVGRenderTarget>& target) {
    // A flag's render is bounded by its document's work bounds and by one work meter for its build and
    // drawing: the first one reached ends it with no image, so that it gives its slot to the next flag
    // then rather than after the rest of its work.
    vellum::WorkBoundWatch bounds;
    gfx::WorkMeter meter;
    auto image = vellum::VellumImage::initWithData(data);
    if (!image || bounds.reached()) return nullptr;
    if (!target || !target->usable()) {
        image->CALayerTree();
        return bounds.reached() ? nullptr : image->UIImage();
    }
    if (!image->hasSize()) return nullptr;
    image->scaleToFitInside(target->size);
    image->CALayerTree();
    if (bounds.reached()) return nullptr;
    auto context = gfx::Context::create(image->size(), {.scale = target->scale});
    if (!context) return nullptr;
    if (!vellum::VellumImageDrawing::renderToContext(*image, *context, true, 1.0,
                                                     gfx::InterpolationQuality::standard, false))
        return nullptr;
    return gfx::Image::fromBitmap(context->takeImage(), target->scale);
}

void installSVGLibraryRenderer() {
    // On the main thread before the launch: the library then sees the window's scale when it becomes active.
    vellum::VellumImage::initialize();
    setSVGRenderer(renderWithSVGLibrary);
}

bool SVGRenderTarget::usable() const {
    const auto positive = [](double value) { return std::isfinite(value) && value > 0; };
    return positive(size.width) && positive(size.height) && positive(scale);
}

SVGImgProcessor::SVGImgProcessor(SVGRenderTarget target) {
    if (!target.usable()) return;
    target_ = target;
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "-%.2fx%.2f@%.2fx", target.size.width, target.size.height, target.scale);
    identifier_ += suffix;
}

std::shared_ptr<gfx::Image> SVGImgProcessor::process(const pictura::ImageProcessItem& item,
                                                     const pictura::PicturaParsedOptionsInfo&) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) {
        foundation::print("already an image");
        return *image;
    }
    auto render = currentRenderer();
    if (!render) return nullptr;
    RenderSlots::Held slot(renderSlots());
    return render(std::get<foundation::Data>(item), target_);
}
