// A station that goes away while playing: tried again, with growing waits and then steadily,
// until it is back. And the station behind https fronts, trusted and not.
#include <cstdlib>
#include <fstream>

#include "engine_fixture.h"
#include "fault_server.h"
#include "icecast_server.h"
#include "loopback.h"

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

TEST_F(Reconnect, StationThatStaysAwayIsTriedUntilItIsBack) {
    auto options = pcmOptions();
    options.stream.reconnectDelays = {200ms, 400ms};
    options.stream.retryEvery = 1000ms;
    tune(options);
    icecast->kill();
    EXPECT_TRUE(waitForState("Reconnecting", 20s)) << display.history();
    pause(3000ms);  // past the schedule
    EXPECT_EQ(display.current().state, "Reconnecting\u2026") << display.history();
    ASSERT_NO_THROW(icecast->start()) << icecast->log();
    EXPECT_TRUE(waitForState("Playing", 20s)) << display.history();
}

// An https front for the station made with socat: its certificate signed by an authority the
// test makes with openssl, or by itself.
class TlsFront {
public:
    TlsFront(const std::filesystem::path& folder, const std::string& name, int stationPort)
        : port_(loopback::freePort()) {
        const std::string certificate = (folder / (name + ".pem")).string();
        front_.start({"socat",
                      "OPENSSL-LISTEN:" + std::to_string(port_) +
                          ",bind=127.0.0.1,reuseaddr,fork,verify=0,cert=" + certificate +
                          ",key=" + (folder / (name + ".key")).string(),
                      "TCP:127.0.0.1:" + std::to_string(stationPort)},
                     (folder / (name + ".log")).string());
    }
    std::string url(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(port_) + path;
    }
    int port() const { return port_; }

private:
    int port_;
    ChildProcess front_;
};

// ca.pem, station.pem signed by it and self.pem signing itself, all for 127.0.0.1.
bool makeCertificates(const std::filesystem::path& folder) {
    std::ofstream(folder / "names") << "subjectAltName=IP:127.0.0.1\n";
    const std::string at = folder.string() + "/";
    const std::string quiet = " >>" + at + "openssl.log 2>&1";
    const std::string commands[] = {
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Authority -keyout " + at +
            "ca.key -out " + at + "ca.pem",
        "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + at +
            "station.key -out " + at + "station.csr",
        "openssl x509 -req -days 2 -in " + at + "station.csr -CA " + at + "ca.pem -CAkey " + at +
            "ca.key -CAcreateserial -extfile " + at + "names -out " + at + "station.pem",
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout " +
            at + "self.key -out " + at + "self.pem",
    };
    for (const auto& command : commands) {
        if (std::system((command + quiet).c_str()) != 0) return false;
    }
    return true;
}

TEST_F(Reconnect, HttpsStationPlaysOnlyWithATrustedCertificate) {
    ASSERT_TRUE(makeCertificates(folder));
    TlsFront trusted(folder, "station", icecast->port());
    TlsFront selfSigned(folder, "self", icecast->port());
    ASSERT_TRUE(waitFor(
        [&] { return loopback::accepts(trusted.port()) && loopback::accepts(selfSigned.port()); },
        10s));
    auto options = pcmOptions();
    options.caFile = (folder / "ca.pem").string();
    auto& player = makePlayer(options);

    player.open(selfSigned.url("/tone.mp3"));
    EXPECT_TRUE(waitForState("Certificate not trusted", 10s)) << display.history();
    const auto lines = display.lines.size();
    pause(2000ms);  // and not tried again
    EXPECT_EQ(display.lines.size(), lines) << display.history();
    EXPECT_EQ(pcm->samples(), 0u);

    // An http address that moved to https is followed there.
    FaultServer server;
    server.redirect("/moved", trusted.url("/tone.mp3"));
    player.open(server.url("/moved"));
    ASSERT_TRUE(waitForState("Playing", 20s)) << display.history();
    EXPECT_GT(toneLevelDb(nextAudio(0ms, 1s), IcecastServer::kMp3Frequency), -30.0);
}

TEST_F(Reconnect, StopCancelsTheRetries) {
    auto options = pcmOptions();
    options.stream.reconnectDelays = {1500ms};
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
