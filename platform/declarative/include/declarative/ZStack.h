#pragma once

#include <vector>

#include "declarative/AnyView.h"

namespace declarative {

// Views on top of each other, later ones above, each centred at the size it fits.
struct ZStack {
    std::vector<AnyView> children;

    operator AnyView() const;  // NOLINT: a view like any other
};

}  // namespace declarative
