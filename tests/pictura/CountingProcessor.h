#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "pictura/ImageProcessor.h"
#include "pictura/PicturaOptions.h"

// Decodes like the default processor under an identifier of its own, counting its runs; the first
// `failures` runs give nothing.
class CountingProcessor final : public pictura::ImageProcessor {
public:
    CountingProcessor(std::string identifier, std::shared_ptr<std::atomic<int>> runs, int failures = 0)
        : identifier_(std::move(identifier)), runs_(std::move(runs)), failures_(failures) {}

    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const pictura::ImageProcessItem& item,
                                        const pictura::PicturaParsedOptionsInfo& options) const override {
        if (++*runs_ <= failures_) return nullptr;
        return pictura::DefaultImageProcessor::defaultProcessor()->process(item, options);
    }

private:
    std::string identifier_;
    std::shared_ptr<std::atomic<int>> runs_;
    int failures_;
};
