// Live-timing keyframes decoded into every model the app reads them with.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "foundation/JSONDecoder.h"
#include "livetiming/DriverListPartModel.h"
#include "livetiming/DriverOfTheDayModel.h"
#include "livetiming/EventsModel.h"
#include "livetiming/PredictionsModel.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TeamRadioModel.h"
#include "livetiming/TimingData.h"
#include "livetiming/TopThreeModel.h"
#include "livetiming/TyresModel.h"
#include "livetiming/WeatherModel.h"

namespace {

template <class Model>
void decodeAs(const foundation::Data& data) {
    auto decoded = foundation::JSONDecoder{}.decode<Model>(data);
    if (!decoded) (void)decoded.error().description();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace livetiming;
    foundation::Data data(bytes, size);
    decodeAs<EventsModel>(data);
    decodeAs<std::map<std::string, DriverListPartModel>>(data);
    decodeAs<DriverOfTheDayModel>(data);
    decodeAs<PredictionsModel>(data);
    decodeAs<RaceControlMessageModel>(data);
    decodeAs<TeamRadioModel>(data);
    decodeAs<TimingData>(data);
    decodeAs<TopThreeModel>(data);
    decodeAs<TyresModel>(data);
    decodeAs<WeatherModel>(data);
    return 0;
}
