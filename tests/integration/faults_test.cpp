// Streams that cannot be played: each ends in words on the strip, never a crash or a hang.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

#include "child_process.h"
#include "engine_fixture.h"
#include "fault_server.h"
#include "loopback.h"
#include "platform/runtime_error.h"
#include "platform/text_encoding.h"

using namespace std::chrono_literals;

namespace {

class Faults : public EngineTest {
protected:
    // Each failure in words, with the event loop free while the engine works on it.
    void expectFailure(const std::string& address, const std::string& status,
                       Milliseconds limit = 8s, std::optional<media::EngineOptions> options = {}) {
        auto& player = makePlayer(options ? *options : pcmOptions());
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

// Bytes keep coming, so mpv's own network timeout never fires.
TEST_F(Faults, BodyDrippedAByteASecondTimesOut) {
    expectFailure(server.url("/drip"), "Timed out", 20s);
}

TEST_F(Faults, HeadersDrippedAByteASecondTimeOut) {
    expectFailure(server.url("/drip-headers"), "Timed out", 20s);
}

TEST_F(Faults, HeadersThatNeverEndTimeOut) {
    expectFailure(server.url("/endless-headers"), "Timed out", 20s);
}

// FFmpeg gives up after a few redirects without saying why, so the words are plain. mpv has no
// such limit for a playlist that names itself (after an entry that fails); the watchdog ends it.
TEST_F(Faults, RedirectLoops) {
    expectFailure(server.url("/loop"), "Failed");
    expectFailure(server.url("/loop-a"), "Failed");
    server.serve("/self.m3u", "audio/x-mpegurl",
                 server.url("/missing") + "\n" + server.url("/self.m3u") + "\n");
    expectFailure(server.url("/self.m3u"), "Timed out", 20s);
}

// Peak resident memory of this process (VmHWM), in MB.
long peakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6)) / 1024;
    }
    return -1;
}

// mpv would read it to its end, and the memory with it (gigabytes in seconds).
// FFmpeg's probe of the endless text must give up before the playlist is read; on a busy machine
// that may take longer than the product's open bound, which is not what this test is about.
TEST_F(Faults, EndlessPlaylistIsRefused) {
    auto options = pcmOptions();
    options.stream.openTimeout = 60s;
    expectFailure(server.url("/endless-playlist"), "Playlist too large", 60s, options);
    const long peak = peakResidentMegabytes();
    std::printf("peak resident memory with an endless playlist: %ld MB\n", peak);
    EXPECT_LT(peak, 400) << "the playlist was read past its bound";
}

// A station's playlist may name streams only: this machine's files are refused, and a relative
// entry stays on the playlist's server.
TEST_F(Faults, PlaylistEntriesNeverReachLocalFiles) {
    const std::pair<std::string, std::string> cases[] = {
        {"/absolute.m3u", "Refused playlist entry"},
        {"/url.pls", "Refused playlist entry"},
        {"/relative.m3u", "Not found (404)"},
        {"/relative.pls", "Not found (404)"}};
    server.serve("/absolute.m3u", "audio/x-mpegurl", "/etc/passwd\n");
    server.serve("/url.pls", "audio/x-scpls",
                 "[playlist]\nNumberOfEntries=1\nFile1=file:///etc/passwd\n");
    server.serve("/relative.m3u", "audio/x-mpegurl", "etc/passwd\n");
    server.serve("/relative.pls", "audio/x-scpls",
                 "[playlist]\nNumberOfEntries=1\nFile1=../../../etc/passwd\n");
    for (const auto& [list, status] : cases) expectFailure(server.url(list), status);
}

// Real audio with broken ICY metadata between: it plays on, and the strip only ever shows a
// clean one-line title or none.
TEST_F(Faults, MalformedIcyMetadataKeepsPlaying) {
    const auto mp3 = folder / "tone.mp3";
    ChildProcess encoder;
    encoder.start({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                   "sine=frequency=440:duration=3", "-c:a", "libmp3lame", "-b:a", "128k",
                   "-id3v2_version", "0", "-write_xing", "0", mp3.string()},
                  (folder / "ffmpeg.log").string());
    ASSERT_TRUE(waitFor([&] { return !encoder.running(); }, 20s));
    std::ifstream file(mp3, std::ios::binary);
    const std::string audio{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GT(audio.size(), 16384u);

    // A block is its length in 16-byte units, then the text padded with NULs.
    const auto block = [](std::string text) {
        text.resize((text.size() + 15) / 16 * 16, '\0');
        return static_cast<char>(text.size() / 16) + text;
    };
    // The largest block there can be, a title of random bytes (NUL would end it early).
    std::string junk = "\xFFStreamTitle='";
    std::mt19937 random(3);
    while (junk.size() < 1 + 255 * 16) junk += static_cast<char>(1 + random() % 255);
    server.serveIcy(
        "/icy", audio, 8192,
        {block("StreamTitle='First';"), junk, block("StreamTitle='\xFF\xFE\xC3( \xE2\x82';"),
         block("StreamTitle=Bare;"), block("StreamTitle='Unterminated"),
         block(std::string("StreamTitle='Nul\0inside';StreamUrl='';", 38)),
         block("StreamTitle='Tab\tand\r\nbreak\x7F';"), block("StreamTitle='Last';")});

    auto& player = makePlayer(outputTo("null"));
    player.open(server.url("/icy"));
    ASSERT_TRUE(waitForState("Playing", 20s)) << display.history();
    const int playing = display.find("Playing");
    EXPECT_TRUE(waitFor([&] { return display.current().title == "Last"; }, 30s))
        << display.history();
    EXPECT_TRUE(uiRunsPostedTask());
    for (std::size_t i = playing; i < display.lines.size(); ++i) {
        const auto& title = display.lines[i].title;
        EXPECT_EQ(display.lines[i].state, "Playing");
        EXPECT_TRUE(platform::isValidUtf8(title)) << title;
        EXPECT_EQ(
            std::count_if(title.begin(), title.end(), [](char c) { return c >= 0 && c < ' '; }), 0)
            << title;
    }
}

TEST_F(Faults, StopWhileConnectingEndsTheWatchdogToo) {
    auto options = pcmOptions();
    options.stream.openTimeout = 1s;
    auto& player = makePlayer(options);
    player.open(server.url("/garbage"));
    pause(200ms);
    player.stop();
    EXPECT_EQ(display.current().text(), "Stopped");
    pause(2000ms);
    EXPECT_EQ(display.current().text(), "Stopped") << display.history();
}

TEST_F(Faults, EngineThatCannotStartSaysSoAndTheControlGoesOn) {
    auto options = pcmOptions();
    options.extraOptions.push_back({"no-such-option-here", "yes"});
    auto& player = makePlayer(options);
    player.setVolume(-1000);
    EXPECT_THROW(player.open(server.url("/missing")), media::EngineUnavailable);
    EXPECT_EQ(display.current().text(), "No audio engine");
    EXPECT_THROW(player.open(server.url("/missing")), media::EngineUnavailable);
    EXPECT_EQ(player.fileName(), "");
    EXPECT_EQ(player.volume(), -1000);
    player.play();
    player.stop();
    EXPECT_EQ(display.current().text(), "No audio engine");
}

}  // namespace
