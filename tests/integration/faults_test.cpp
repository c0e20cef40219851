// Streams that cannot be played: each ends in words on the strip, never a crash or a hang.
#include "engine_fixture.h"
#include "fault_server.h"
#include "loopback.h"
#include "platform/runtime_error.h"

using namespace std::chrono_literals;

namespace {

class Faults : public EngineTest {
protected:
    // Each failure in words, with the event loop free while the engine works on it.
    void expectFailure(const std::string& address, const std::string& status,
                       Milliseconds limit = 8s) {
        auto& player = makePlayer();
        player.open(address);
        EXPECT_EQ(player.fileName(), address);
        EXPECT_TRUE(uiRunsPostedTask());
        EXPECT_TRUE(waitForState(status, limit)) << display.history();
        EXPECT_TRUE(uiRunsPostedTask());
        EXPECT_EQ(pcm->samples(), 0u);
    }

    FaultServer server;
};

TEST_F(Faults, ConnectionRefused) {
    expectFailure("http://127.0.0.1:" + std::to_string(loopback::freePort()) + "/",
                  "Connection refused");
}

TEST_F(Faults, MmsAddressGoesToTheEngineWhole) {
    expectFailure("mms://127.0.0.1:" + std::to_string(loopback::freePort()) + "/radio",
                  "Connection refused");
}

TEST_F(Faults, NotFound) { expectFailure(server.url("/missing"), "Not found (404)"); }

TEST_F(Faults, BytesOfNoKnownFormat) {
    expectFailure(server.url("/short-garbage"), "Unsupported format");
}

// mpv keeps probing an endless stream of garbage for as long as it comes; the watchdog ends it.
TEST_F(Faults, EndlessGarbageTimesOut) { expectFailure(server.url("/garbage"), "Timed out", 20s); }

TEST_F(Faults, HeadersThenNothingTimesOut) {
    expectFailure(server.url("/headers-only"), "Timed out", 20s);
}

TEST_F(Faults, SilentServerTimesOut) { expectFailure(server.url("/silent"), "Timed out", 20s); }

TEST_F(Faults, StopWhileConnectingEndsTheWatchdogToo) {
    auto options = pcmOptions();
    options.openTimeout = 1s;
    auto& player = makePlayer(options);
    player.open(server.url("/garbage"));
    pause(200ms);
    player.stop();
    EXPECT_EQ(display.current().text(), "Stopped");
    pause(2000ms);
    EXPECT_EQ(display.current().text(), "Stopped") << display.history();
}

TEST_F(Faults, EngineThatCannotStartThrowsAndTheControlGoesOn) {
    auto options = pcmOptions();
    options.extraOptions.push_back({"no-such-option-here", "yes"});
    auto& player = makePlayer(options);
    player.setVolume(-1000);
    EXPECT_THROW(player.open(server.url("/missing")), platform::RuntimeError);
    EXPECT_THROW(player.open(server.url("/missing")), platform::RuntimeError);
    EXPECT_EQ(player.fileName(), "");
    EXPECT_EQ(player.volume(), -1000);
    player.play();
    player.stop();
    EXPECT_EQ(display.current().text(), "Ready");
}

}  // namespace
