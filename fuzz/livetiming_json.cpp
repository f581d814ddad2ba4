// Live-timing keyframes decoded into every model the app reads them with.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "DecodeModels.h"
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace livetiming;
    decodeAsEach<EventsModel, std::map<std::string, DriverListPartModel>, DriverOfTheDayModel, PredictionsModel,
                 RaceControlMessageModel, TeamRadioModel, TimingData, TopThreeModel, TyresModel, WeatherModel>(
        foundation::Data(bytes, size));
    return 0;
}
