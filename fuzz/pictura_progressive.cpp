// Progressive JPEG feeding as a download grows: the bytes arrive cut at chosen points, each piece
// looked at for new scans (the fastest-scan and every-scan ways), each prefix found decoded blurred.
// A prefix must be a prefix of the data, and scans are found in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "gfx/ImageSource.h"
#include "pictura/ImageProgressiveProvider.h"

namespace {

bool isPrefix(const foundation::Data& prefix, const foundation::Data& data) {
    return prefix.size() <= data.size() &&
           (prefix.size() == 0 || std::memcmp(prefix.data(), data.data(), prefix.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzz::Input input(bytes, size);
    pictura::ImageProgressive option;
    option.isBlur = input.flag();
    option.isFastestScan = input.flag();
    std::vector<std::size_t> cuts(input.pick(8));
    for (auto& cut : cuts) cut = std::size_t(input.byte()) << 8 | input.byte();
    auto rest = input.rest();
    foundation::Data data(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
    // Large pictures from few bytes are the decoders' budget, fuzzed by image_decoders; here they
    // would only slow every run (a 600-byte JPEG announces 6 Mpixels).
    if (auto source = gfx::ImageSource::create(data)) {
        auto properties = source->propertiesAt(0);
        if (properties && double(properties->pixelWidth) * properties->pixelHeight > 1 << 20) return 0;
    }
    for (auto& cut : cuts) cut = data.size() ? cut % (data.size() + 1) : 0;
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(data.size());

    pictura::ImageProgressiveDecoder fastest(option, pictura::CallbackQueue::untouch(), {});
    pictura::ImageProgressiveDecoder every(option, pictura::CallbackQueue::untouch(), {});
    std::size_t lastPrefix = 0;
    int decoded = 0;
    for (std::size_t cut : cuts) {
        auto received = data.subdata(0, cut);
        if (auto prefix = fastest.newestScanPrefix(received)) {
            if (!isPrefix(*prefix, received)) __builtin_trap();
            if (decoded++ < 2) (void)fastest.blurredPartialImage(*prefix, fastest.scannedCount);
        }
        for (const auto& prefix : every.newScanPrefixes(received)) {
            if (!isPrefix(prefix, received) || prefix.size() < lastPrefix) __builtin_trap();
            lastPrefix = prefix.size();
        }
    }
    return 0;
}
