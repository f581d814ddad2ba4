#include <gtest/gtest.h>

#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "shell/ImageSeam.h"

namespace {

// The app's process-wide lists, flags and recordings go back to their start after every test, so
// a test finds them as the app does at launch whatever ran before it in this process.
class AppStateReset : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
        GlobalStruct::detailsOnScreen() = false;
        GlobalStruct::sheetIsLarge() = false;
        ServiceHosts::setCurrent(ServiceHosts::fromEnvironment());
        takeRecordedImageRequests();
    }
};

const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new AppStateReset);
    return true;
}();

}  // namespace
