#pragma once

#include <dlfcn.h>

#include <type_traits>

namespace gfx {

// A library opened when first needed rather than with the program, its functions bound by name: the
// first one missing (or the library itself) is kept as the reason, and binds nothing after it.
class LoadedLibrary {
public:
    explicit LoadedLibrary(const char* file)
        : handle_(::dlopen(file, RTLD_NOW | RTLD_LOCAL)), missing_(handle_ ? nullptr : ::dlerror()) {}

    template <typename Function>
    void bind(Function& function, const char* name) {
        if (missing_) return;
        ::dlerror();
        function = reinterpret_cast<std::remove_reference_t<Function>>(::dlsym(handle_, name));
        if (!function) missing_ = ::dlerror();
    }

    // Why it could not be loaded whole, or nothing.
    const char* missing() const { return missing_; }

private:
    void* handle_;
    const char* missing_;
};

}  // namespace gfx
