#pragma once

#include "foundation/Data.h"
#include "foundation/JSONDecoder.h"

// Decodes the same bytes as each of `Models` in turn; a failure's description is built too, so the
// error reporting runs under the fuzzer as well.
template <class... Models>
void decodeAsEach(const foundation::Data& data) {
    auto decodeAs = [&]<class Model>() {
        auto decoded = foundation::JSONDecoder{}.decode<Model>(data);
        if (!decoded) (void)decoded.error().description();
    };
    (decodeAs.template operator()<Models>(), ...);
}
