#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "ScratchCachesFolder.h"

namespace {

// The documents folder (pending reminders, calendar events) of the app under test, in-process and in
// its own processes alike: a fresh temporary folder, never the user's own, whose reminders left by an
// earlier run of the app would change the screens the walks expect (a race with a reminder set shows
// "Remove Reminder" in place of its alerts). Removed when the program ends.
class ScratchDocumentsFolder : public ::testing::Environment {
public:
    ~ScratchDocumentsFolder() override {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    void SetUp() override {
        if (!path_.empty()) return;
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-documents-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            path_ = pattern;
            ::setenv("SORVANE_DOCUMENTS_DIR", path_.c_str(), 1);
        }
    }

private:
    std::filesystem::path path_;
};

// The app under test keeps its image cache in a scratch folder (the variable passes to the app's
// process too), never in the user's caches.
const bool installed = [] {
    testsupport::ScratchCachesFolder::install();
    ::testing::AddGlobalTestEnvironment(new ScratchDocumentsFolder);
    return true;
}();

}  // namespace
