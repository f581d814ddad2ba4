#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace vellum {

// The memory of one parsed document's nodes (their objects, child lists and attribute maps): taken
// in large blocks and given back all at once, when the last node made from it is gone. A parse makes
// one and puts it in place for its thread with a Scope; nodes made elsewhere use the ordinary heap.
class NodeArena {
public:
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    // The arena of the parse running on this thread, or null. Asked for every node, list and map made:
    // read in place, without a call.
    static NodeArena* current() { return currentOnThisThread; }

    // Makes a fresh arena the current one for its lifetime (restoring the one before after).
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        NodeArena& arena() { return *arena_; }

    private:
        NodeArena* arena_;
        NodeArena* previous_;
    };

    // Carved from the current block in place; a new block is taken out of line.
    void* allocate(std::size_t size, std::size_t alignment) {
        // Alignments are powers of two.
        const std::size_t skip = (0 - reinterpret_cast<std::uintptr_t>(next_)) & (alignment - 1);
        if (!next_ || skip + size > left_) return allocateInNewBlock(size, alignment);
        std::byte* const place = next_ + skip;
        next_ = place + size;
        left_ -= skip + size;
        return place;
    }
    // Nothing is given back before the end; sanitised builds mark the place as freed.
    static void deallocate(void* place, std::size_t size);
    void retain() { references_.fetch_add(1, std::memory_order_relaxed); }
    // Frees the arena with the last reference.
    void release();

    std::size_t blockCount() const { return blocks_.size(); }
    // Whether the place lies in one of the arena's blocks.
    bool owns(const void* place) const;

private:
    NodeArena() = default;
    ~NodeArena() = default;
    void* allocateInNewBlock(std::size_t size, std::size_t alignment);

    static inline thread_local NodeArena* currentOnThisThread = nullptr;

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::vector<std::size_t> blockSizes_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t nextBlockSize_ = 16 * 1024;
    std::atomic<std::size_t> references_{1};
};

// Each object made through it keeps the arena alive until it is given back (which costs nothing
// else); the allocator itself holds no reference, so its copies are free.
template <class T>
class NodeArenaAllocator {
public:
    using value_type = T;

    explicit NodeArenaAllocator(NodeArena& arena) : arena_(&arena) {}
    template <class U>
    NodeArenaAllocator(const NodeArenaAllocator<U>& other) : arena_(other.arena_) {}

    T* allocate(std::size_t count) {
        arena_->retain();
        return static_cast<T*>(arena_->allocate(count * sizeof(T), alignof(T)));
    }
    void deallocate(T* place, std::size_t count) {
        NodeArena::deallocate(place, count * sizeof(T));
        arena_->release();
    }

    template <class U>
    bool operator==(const NodeArenaAllocator<U>& other) const {
        return arena_ == other.arena_;
    }

private:
    template <class U>
    friend class NodeArenaAllocator;
    NodeArena* arena_;
};

// For the containers inside nodes (attribute tables): takes from the arena that was current when the
// container was made, while that arena's parse runs on this thread, and from the heap otherwise (a
// change after the parse). Each container keeps its arena alive; a copy of one starts on its own, as a
// new container would.
template <class T>
class NodeArenaOrHeapAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::false_type;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    NodeArenaOrHeapAllocator() : arena_(NodeArena::current()) { retain(); }
    NodeArenaOrHeapAllocator(const NodeArenaOrHeapAllocator& other) : arena_(other.arena_) { retain(); }
    template <class U>
    NodeArenaOrHeapAllocator(const NodeArenaOrHeapAllocator<U>& other) : arena_(other.arena_) {
        retain();
    }
    NodeArenaOrHeapAllocator& operator=(const NodeArenaOrHeapAllocator& other) {
        if (arena_ != other.arena_) {
            NodeArena* previous = std::exchange(arena_, other.arena_);
            retain();
            if (previous) previous->release();
        }
        return *this;
    }
    ~NodeArenaOrHeapAllocator() {
        if (arena_) arena_->release();
    }
    NodeArenaOrHeapAllocator select_on_container_copy_construction() const { return {}; }

    // The arena this allocator takes from, while its parse runs on this thread; else null.
    NodeArena* arenaInUse() const { return arena_ && arena_ == NodeArena::current() ? arena_ : nullptr; }

    T* allocate(std::size_t count) {
        if (arena_ && arena_ == NodeArena::current()) {
            return static_cast<T*>(arena_->allocate(count * sizeof(T), alignof(T)));
        }
        return std::allocator<T>().allocate(count);
    }
    void deallocate(T* place, std::size_t count) {
        if (arena_ && arena_->owns(place)) {
            NodeArena::deallocate(place, count * sizeof(T));
            return;
        }
        std::allocator<T>().deallocate(place, count);
    }

    template <class U>
    bool operator==(const NodeArenaOrHeapAllocator<U>& other) const {
        return arena_ == other.arena_;
    }

private:
    template <class U>
    friend class NodeArenaOrHeapAllocator;
    void retain() {
        if (arena_) arena_->retain();
    }
    NodeArena* arena_;
};

// A shared object from the current arena, else from the heap.
template <class T, class... Arguments>
std::shared_ptr<T> makeNodeShared(Arguments&&... arguments) {
    if (NodeArena* arena = NodeArena::current()) {
        return std::allocate_shared<T>(NodeArenaAllocator<T>(*arena), std::forward<Arguments>(arguments)...);
    }
    return std::make_shared<T>(std::forward<Arguments>(arguments)...);
}

}  // namespace vellum
