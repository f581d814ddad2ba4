#include "ScratchCachesFolder.h"

namespace {

// Set-image retrieves through the shared manager, whose default cache lives in the caches folder.
const bool installed = [] {
    testsupport::ScratchCachesFolder::install();
    return true;
}();

}  // namespace
