#pragma once

#include <atomic>
#include <cstddef>

// The sanitizers' allocation hook; absent (null) in a build without a sanitizer.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                                         void (*freeHook)(const volatile void*))
    __attribute__((weak));

namespace pictura::testing {

// The largest single allocation made, by any thread, while a watch is open.
class AllocationWatch {
public:
    // False without a sanitizer build to report allocations.
    static bool available() {
        static const bool installed = __sanitizer_install_malloc_and_free_hooks &&
                                      __sanitizer_install_malloc_and_free_hooks(&onMalloc, &onFree) != 0;
        return installed;
    }
    AllocationWatch() {
        largest().store(0);
        watching().store(true);
    }
    ~AllocationWatch() { watching().store(false); }
    std::size_t largestAllocation() const { return largest().load(); }

private:
    static std::atomic<bool>& watching() {
        static std::atomic<bool> flag = false;
        return flag;
    }
    static std::atomic<std::size_t>& largest() {
        static std::atomic<std::size_t> size = 0;
        return size;
    }
    static void onMalloc(const volatile void*, std::size_t size) {
        if (!watching().load(std::memory_order_relaxed)) return;
        auto seen = largest().load(std::memory_order_relaxed);
        while (size > seen && !largest().compare_exchange_weak(seen, size)) {}
    }
    static void onFree(const volatile void*) {}
};

}  // namespace pictura::testing
