#pragma once

#include <cstdint>
#include <optional>

namespace gfx {

// Tests fill each canvas this thread creates with `pixel` where it would be left unwritten, so that a
// blank not written before it shows is seen; nothing leaves them as the memory was.
void fillNewCanvasesForTesting(std::optional<std::uint32_t> pixel);

}  // namespace gfx
