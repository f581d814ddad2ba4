#include "ScratchCachesFolder.h"

namespace {

// The shared manager's default cache lives in the caches folder: keep it out of the user's.
const bool installed = [] {
    testsupport::ScratchCachesFolder::install();
    return true;
}();

}  // namespace
