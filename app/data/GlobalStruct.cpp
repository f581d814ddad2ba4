#include "data/GlobalStruct.h"

std::vector<RacesDetailsModel>& GlobalStruct::races() {
    static std::vector<RacesDetailsModel> list;
    return list;
}

std::vector<livetiming::Meeting>& GlobalStruct::meetings() {
    static std::vector<livetiming::Meeting> list;
    return list;
}
