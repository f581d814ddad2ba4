// Results API documents decoded into every model the app reads them with.
#include <cstddef>
#include <cstdint>

#include "data/CircuitDetails.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/RaceModels.h"
#include "data/StandingsModels.h"
#include "data/StatusModels.h"
#include "foundation/JSONDecoder.h"

namespace {

template <class Model>
void decodeAs(const foundation::Data& data) {
    auto decoded = foundation::JSONDecoder{}.decode<Model>(data);
    if (!decoded) (void)decoded.error().description();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    foundation::Data data(bytes, size);
    decodeAs<RaceModel>(data);
    decodeAs<StandingModel>(data);
    decodeAs<CircuitModel>(data);
    decodeAs<ConstructorModel>(data);
    decodeAs<DriverModel>(data);
    decodeAs<StatusModel>(data);
    decodeAs<circuitDetailsModel>(data);
    return 0;
}
