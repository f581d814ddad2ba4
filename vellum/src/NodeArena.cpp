#include "vellum/NodeArena.h"

#include <algorithm>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace vellum {

NodeArena::Scope::Scope() : arena_(new NodeArena()), previous_(currentOnThisThread) { currentOnThisThread = arena_; }

NodeArena::Scope::~Scope() {
    currentOnThisThread = previous_;
    arena_->release();
}

void NodeArena::deallocate([[maybe_unused]] void* place, [[maybe_unused]] std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_POISON_MEMORY_REGION(place, size);
#endif
}

bool NodeArena::owns(const void* place) const {
    const auto* byte = static_cast<const std::byte*>(place);
    // The newest block first: it holds most of what is given back while a parse runs.
    for (auto block = blockSizes_.size(); block-- > 0;) {
        const std::byte* start = blocks_[block].get();
        if (byte >= start && byte < start + blockSizes_[block]) return true;
    }
    return false;
}

void NodeArena::release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void* NodeArena::allocateInNewBlock(std::size_t size, std::size_t alignment) {
    // Blocks grow with the document, so a large one needs few of them.
    const std::size_t blockSize = std::max(nextBlockSize_, size + alignment);
    nextBlockSize_ = std::min<std::size_t>(nextBlockSize_ * 2, 1024 * 1024);
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize));
    blockSizes_.push_back(blockSize);
    next_ = blocks_.back().get();
    left_ = blockSize;
    return allocate(size, alignment);
}

}  // namespace vellum
