#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

// The library's default cache (made on first use of the shared manager, which set-image retrieves
// through) lives in the user's caches folder. The tests give it a folder of their own, made before
// anything asks for the caches folder and removed when the tests end.
class TestCachesFolder final : public ::testing::Environment {
public:
    // At the first run rather than at start-up, since listing the tests runs no environment and would
    // leave the folder behind; kept through repeated runs, since the caches folder is read once.
    void SetUp() override {
        if (!path_.empty()) return;
        std::string pattern = (std::filesystem::temp_directory_path() / "pictura-caches-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            path_ = pattern;
            ::setenv("SORVANE_CACHES_DIR", path_.c_str(), 1);
        }
    }
    ~TestCachesFolder() override {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new TestCachesFolder);

}  // namespace
