#include "ScratchCachesFolder.h"

namespace {

// The app under test keeps its image cache in a scratch folder (the variable passes to the app's
// process too), never in the user's caches.
const bool installed = [] {
    testsupport::ScratchCachesFolder::install();
    return true;
}();

}  // namespace
