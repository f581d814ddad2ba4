#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace testsupport {

// Points the process's caches folder (the image library's default cache among others) at a fresh
// temporary folder, removed when the test program ends, so no test writes to the user's own caches.
// Install once per test program, before anything asks the file manager for its folders.
class ScratchCachesFolder : public ::testing::Environment {
public:
    ScratchCachesFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-caches-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            path_ = pattern;
            ::setenv("SORVANE_CACHES_DIR", path_.c_str(), 1);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }

    static void install() { ::testing::AddGlobalTestEnvironment(new ScratchCachesFolder); }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
