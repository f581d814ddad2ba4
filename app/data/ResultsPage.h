#pragma once

#include <cstddef>

#include "foundation/JSONDecoder.h"

// What a results-API answer can hold. The service pages at most 1,000 records an answer (a season has a
// few dozen races), so a longer list is no answer of it; and no answer of it takes more than 64 MiB once
// decoded. A document past either is a bad response, refused as it is parsed, before the rest is built.
inline constexpr foundation::JSONLimits resultsDocumentLimits{.maximumListLength = 1'000,
                                                              .maximumBytes = std::size_t(64) << 20};
