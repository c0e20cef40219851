// A station that goes away while playing: tried again, with growing waits, until it is back
// or the tries are used up.
#include "engine_fixture.h"
#include "icecast_server.h"

using namespace std::chrono_literals;

namespace {

class Reconnect : public EngineTest {
protected:
    static void SetUpTestSuite() { icecast = std::make_unique<IcecastServer>(); }
    static void TearDownTestSuite() { icecast.reset(); }

    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_NO_THROW(icecast->start()) << icecast->log();
    }

    void tune(media::EngineOptions options) {
        auto& player = makePlayer(std::move(options));
        player.open(icecast->url("/tone.mp3"));
        ASSERT_TRUE(waitForState("Playing", 20s)) << display.history();
    }

    static inline std::unique_ptr<IcecastServer> icecast;
};

TEST_F(Reconnect, StationThatComesBackPlaysAgain) {
    tune(pcmOptions());
    const int dropped = static_cast<int>(display.lines.size());
    icecast->kill();
    ASSERT_NO_THROW(icecast->start()) << icecast->log();

    // The 5 s buffer plays out first; then the strip says so and tries again.
    ASSERT_TRUE(waitFor([&] { return display.find("Reconnecting", dropped) >= 0; }, 20s))
        << display.history();
    const int reconnecting = display.find("Reconnecting", dropped);
    ASSERT_TRUE(waitFor([&] { return display.find("Playing", reconnecting) >= 0; }, 40s))
        << display.history();
    EXPECT_GT(toneLevelDb(nextAudio(0ms, 1s), 440), -30.0);
}

TEST_F(Reconnect, StationThatStaysAwayEndsInFailed) {
    auto options = pcmOptions();
    options.reconnectDelays = {200ms, 400ms};
    tune(options);
    icecast->kill();
    EXPECT_TRUE(waitForState("Reconnecting", 20s)) << display.history();
    EXPECT_TRUE(waitForState("Failed", 20s)) << display.history();
    pause(1000ms);
    EXPECT_EQ(display.current().text(), "Failed");
}

TEST_F(Reconnect, StopCancelsTheRetries) {
    auto options = pcmOptions();
    options.reconnectDelays = {1500ms};
    tune(options);
    icecast->kill();
    ASSERT_TRUE(waitForState("Reconnecting", 20s)) << display.history();
    player->stop();
    EXPECT_EQ(display.current().text(), "Stopped");
    ASSERT_NO_THROW(icecast->start()) << icecast->log();
    const auto samples = pcm->samples();
    pause(3000ms);
    EXPECT_EQ(display.current().text(), "Stopped") << display.history();
    EXPECT_EQ(pcm->samples(), samples);
}

}  // namespace
