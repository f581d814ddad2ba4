#include <gtest/gtest.h>

#include "data/GlobalStruct.h"
#include "data/ServiceHosts.h"
#include "reminders/UserNotificationCenter.h"
#include "ScratchCachesFolder.h"
#include "net/ProtocolRegistry.h"
#include "shell/ImageSeam.h"
#include "ui/Application.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

// Reminders of the app's screens go to a scratch file and a recorder, never to the user's own.
std::shared_ptr<reminders::UserNotificationCenter> scratchReminders() {
    static auto center = reminders::UserNotificationCenter::make(
        {.storeFile = std::filesystem::temp_directory_path() / ("sorvane-app-tests-" + std::to_string(getpid())) / "pending.json",
         .presenter = std::make_shared<reminders::RecordingNotificationPresenter>()});
    return center;
}

// Pictures come only from hosts answered in-process (the offline season, a test's own handler), never
// from the network, and are kept in the scratch caches folder unless a test names its own cache.
RemoteImageSettings testImageSettings() { return {.inProcessOnly = net::ProtocolRegistry::global(), .cache = nullptr}; }

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
        setRemoteImageSettings(testImageSettings());
        reminders::UserNotificationCenter::setCurrent(scratchReminders());
        ui::setURLOpener(std::make_shared<ui::URLOpenRecorder>());
    }
};

const bool installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new AppStateReset);
    testsupport::ScratchCachesFolder::install();
    setRemoteImageSettings(testImageSettings());
    reminders::UserNotificationCenter::setCurrent(scratchReminders());
    // Links and calendar events reach a recorder, never the desktop's own applications.
    ui::setURLOpener(std::make_shared<ui::URLOpenRecorder>());
    // Clips go to SDL's silent device, asked for by name whichever test opens the output first: never
    // to the machine's sound card, and never to the stand-in of a machine without one, on which the
    // radio sheet refuses to play.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return true;
}();

}  // namespace
