#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio/AudioPlayer.h"
#include "audio/AudioSession.h"
#include "dispatch/RunLoop.h"

namespace {

const std::string clip = std::string(SORVANE_SOURCE_DIR) +
                         "/data/offline-season/livetiming/2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/TeamRadio/"
                         "GEORUS01_63_20230305_181720.mp3";

foundation::Data fileData(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

struct EndCounter : audio::AudioPlayerDelegate {
    void audioPlayerDidFinishPlaying(audio::AudioPlayer& player, bool successfully) override {
        ++ends;
        lastSuccess = successfully;
        onMainThread = dispatch::Queue::main()->isCurrent();
        timeAtEnd = player.currentTime();
    }
    int ends = 0;
    bool lastSuccess = false;
    bool onMainThread = false;
    double timeAtEnd = -1;
};

// The output changes the player from its own thread without waking the main loop, so look often.
bool waitFor(const std::function<bool()>& done, double seconds = 10) {
    for (double waited = 0; waited < seconds; waited += 0.01) {
        if (dispatch::RunLoop::main()->runUntil(done, 0.01)) return true;
    }
    return done();
}

class Audio : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A driver that does not exist: the output must fall back to its silent device, as on a machine
        // without sound.
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    }
    void SetUp() override {
        if (!std::filesystem::exists(clip)) GTEST_SKIP() << "the offline season's clips are missing: " << clip;
    }
};

TEST_F(Audio, aSessionForPlaybackStartsTheSilentDeviceWhereThereIsNoSound) {
    auto& session = audio::AudioSession::shared();
    ASSERT_TRUE(session.setCategory(audio::SessionCategory::playback, audio::SessionMode::defaultMode,
                                    audio::SessionOptions::mixWithOthers));
    EXPECT_EQ(session.category(), audio::SessionCategory::playback);
    auto active = session.setActive(true);
    ASSERT_TRUE(active) << active.error().description;
    EXPECT_TRUE(session.isActive());
    EXPECT_FALSE(session.playsSound()) << "the silent device stands in: nothing is heard";
}

TEST_F(Audio, aClipPlaysPausesAndReportsItsEndOnceOnTheMainQueue) {
    auto made = audio::AudioPlayer::make(clip);
    ASSERT_TRUE(made) << made.error().description;
    auto player = *made;
    // "Russell, lap 9." spoken: a second or two.
    EXPECT_GT(player->duration(), 0.5);
    EXPECT_LT(player->duration(), 5.0);
    EXPECT_EQ(player->currentTime(), 0);

    auto delegate = std::make_shared<EndCounter>();
    player->setDelegate(delegate);
    ASSERT_TRUE(player->prepareToPlay());
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(waitFor([&] { return player->currentTime() > 0.05; })) << "the output does not consume samples";

    player->pause();
    double paused = player->currentTime();
    EXPECT_FALSE(player->isPlaying());
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.1);
    EXPECT_EQ(player->currentTime(), paused);
    EXPECT_EQ(delegate->ends, 0);

    // Close to the end, so the test does not wait for the whole clip.
    player->setCurrentTime(player->duration() - 0.1);
    ASSERT_TRUE(player->play());
    ASSERT_TRUE(waitFor([&] { return delegate->ends > 0; }));
    EXPECT_TRUE(delegate->lastSuccess);
    EXPECT_TRUE(delegate->onMainThread);
    EXPECT_EQ(delegate->timeAtEnd, 0) << "a finished clip stands at its start again";
    EXPECT_FALSE(player->isPlaying());
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.1);
    EXPECT_EQ(delegate->ends, 1);
}

TEST_F(Audio, releasingAPlayingPlayerEndsItsPlaybackWithoutAnEndReport) {
    auto delegate = std::make_shared<EndCounter>();
    {
        auto player = audio::AudioPlayer::make(fileData(clip)).value();
        player->setDelegate(delegate);
        player->setCurrentTime(player->duration() - 0.05);
        ASSERT_TRUE(player->play());
    }
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(delegate->ends, 0);
}

TEST_F(Audio, volumeAndTimeStayInRange) {
    auto player = audio::AudioPlayer::make(clip).value();
    EXPECT_EQ(player->volume(), 1.0f);
    player->setVolume(3);
    EXPECT_EQ(player->volume(), 1.0f);
    player->setVolume(-1);
    EXPECT_EQ(player->volume(), 0.0f);
    player->setCurrentTime(1e9);
    EXPECT_DOUBLE_EQ(player->currentTime(), player->duration());
    player->setCurrentTime(-5);
    EXPECT_EQ(player->currentTime(), 0);
}

TEST_F(Audio, filesThatAreNoClipAreErrorsNotCrashes) {
    auto missing = audio::AudioPlayer::make(std::string("/nonexistent/clip.mp3"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, audio::AudioError::Code::fileUnreadable);

    EXPECT_EQ(audio::AudioPlayer::make(foundation::Data()).error().code, audio::AudioError::Code::notAudio);
    auto text = audio::AudioPlayer::make(foundation::Data::fromString("<html>404 Not Found</html>"));
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, audio::AudioError::Code::notAudio);
    EXPECT_FALSE(text.error().localizedDescription().empty());

    auto tooLarge = foundation::Data(std::vector<std::uint8_t>(audio::AudioPlayer::maximumFileSize + 1, 0));
    EXPECT_EQ(audio::AudioPlayer::make(tooLarge).error().code, audio::AudioError::Code::fileUnreadable);

    // A download cut short still plays the frames it holds.
    auto whole = fileData(clip);
    auto half = audio::AudioPlayer::make(whole.subdata(0, whole.size() / 2));
    ASSERT_TRUE(half);
    EXPECT_LT((*half)->duration(), audio::AudioPlayer::make(whole).value()->duration());
    EXPECT_GT((*half)->duration(), 0);
}

}  // namespace
