// Results API documents decoded into every model the app reads them with.
#include <cstddef>
#include <cstdint>

#include "DecodeModels.h"
#include "data/CircuitDetails.h"
#include "data/CircuitModels.h"
#include "data/ConstructorModels.h"
#include "data/DriverModels.h"
#include "data/RaceModels.h"
#include "data/StandingsModels.h"
#include "data/StatusModels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    decodeAsEach<RaceModel, StandingModel, CircuitModel, ConstructorModel, DriverModel, StatusModel, circuitDetailsModel>(
        foundation::Data(bytes, size));
    return 0;
}
