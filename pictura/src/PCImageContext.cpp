#include "pictura/PCImageContext.h"

#include "pictura/PicturaManager.h"

namespace pictura {
namespace {

PicturaParsedOptionsInfo initialOptions() {
    PicturaOptionsInfo items = PicturaManager::shared()->defaultOptions();
    items.push_back(PicturaOptionsInfoItem::loadDiskFileSynchronously());
    return PicturaParsedOptionsInfo(items);
}

void combine(std::size_t& seed, std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); }

}  // namespace

PCImageContextBase::PCImageContextBase(std::optional<Source> source)
    : source(std::move(source)), options(initialOptions()) {}

bool PCImageContextBase::appliesFade(CacheType cacheType) const {
    return options.forceTransition || cacheType == CacheType::none;
}

std::optional<double> PCImageContextBase::fadeDuration(CacheType cacheType) const {
    if (!appliesFade(cacheType) || options.transition.kind != ImageTransition::Kind::fade) return std::nullopt;
    return options.transition.duration;
}

bool operator==(const PCImageContextBase& left, const PCImageContextBase& right) {
    return left.source == right.source && left.options.processor->identifier() == right.options.processor->identifier();
}

std::size_t PCImageContextBase::hashValue() const {
    std::size_t seed = 0;
    if (source) {
        combine(seed, 1);
        combine(seed, std::hash<Source>{}(*source));
    } else {
        combine(seed, 0);
    }
    combine(seed, std::hash<std::string>{}(options.processor->identifier()));
    return seed;
}

}  // namespace pictura
