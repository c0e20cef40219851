// The engine against a real Icecast 2 on loopback, its audio written to a file and measured.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>

#include "child_process.h"
#include "engine_fixture.h"
#include "fault_server.h"
#include "icecast_server.h"
#include "media/icy_title.h"
#include "tone_wav.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kTuneLimit = 20s;

class Playback : public EngineTest {
protected:
    static void SetUpTestSuite() {
        try {
            icecast = std::make_unique<IcecastServer>();
            icecast->start();
            icecast->setTitle("/tone.mp3", "Bench tone 440 Hz");
        } catch (const std::exception& error) {
            startError = error.what();
        }
        playlists = std::make_unique<FaultServer>();
    }
    static void TearDownTestSuite() {
        playlists.reset();
        icecast.reset();
    }
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(startError.empty()) << startError << "\n" << (icecast ? icecast->log() : "");
    }

    double level(double frequency) {
        const auto audio = nextAudio(500ms, 1s);
        EXPECT_FALSE(audio.empty()) << "no audio came";
        return toneLevelDb(audio, frequency);
    }

    static inline std::unique_ptr<IcecastServer> icecast;
    static inline std::unique_ptr<FaultServer> playlists;
    static inline std::string startError;
};

TEST_F(Playback, TunesTheToneAndShowsWhatItIsDoing) {
    // The listener's hold, longer than Icecast's burst: the strip counts the buffer up.
    auto options = pcmOptions();
    options.stream.hold = media::StreamStateMachine::Settings{}.hold;
    auto& player = makePlayer(options);
    const auto opened = std::chrono::steady_clock::now();
    player.open(icecast->url("/tone.mp3"));
    EXPECT_EQ(player.fileName(), icecast->url("/tone.mp3"));

    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();
    const auto playing = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return pcm->samples() > 0; }, 5s));
    const auto audible = std::chrono::steady_clock::now();
    std::cout << "[ measured ] open to Playing "
              << std::chrono::duration_cast<std::chrono::milliseconds>(playing - opened).count()
              << " ms, to first audio in the file "
              << std::chrono::duration_cast<std::chrono::milliseconds>(audible - opened).count()
              << " ms\n";

    const int connecting = display.find("Connecting");
    const int buffering = display.find("Buffering", connecting);
    const int playingAt = display.find("Playing", buffering);
    EXPECT_GE(connecting, 0) << display.history();
    EXPECT_GT(buffering, connecting) << display.history();
    EXPECT_GT(playingAt, buffering) << display.history();

    const auto audio = nextAudio(0ms, 1s);
    ASSERT_FALSE(audio.empty());
    std::cout << "[ measured ] 440 Hz at " << toneLevelDb(audio, 440) << " dBFS\n";
    EXPECT_GT(toneLevelDb(audio, 440), -30.0);
    EXPECT_GT(toneLevelDb(audio, 440), toneLevelDb(audio, 1000) + 40.0);

    // The station's title, and a clock that moves while playing.
    EXPECT_TRUE(waitFor([&] { return display.current().title == "Bench tone 440 Hz"; }, 15s))
        << display.history();
    EXPECT_EQ(display.current().text(), "Playing: Bench tone 440 Hz");
    const std::string shown = display.current().elapsed;
    EXPECT_FALSE(shown.empty());
    EXPECT_TRUE(waitFor([&] { return display.current().elapsed != shown; }, 3s));
    EXPECT_EQ(display.current().elapsed.size(), 4u) << display.current().elapsed;
}

TEST_F(Playback, TitlesShowRightWhetherSentAsUtf8OrLatin1) {
    auto& player = makePlayer(outputTo("null"));
    player.open(icecast->url("/tone.mp3"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();

    ASSERT_TRUE(icecast->setTitle("/tone.mp3",
                                  "Caf\xC3\xA9 \xC3\xBC"
                                  "ber UTF-8"));
    EXPECT_TRUE(waitFor(
        [&] {
            return display.current().title ==
                   "Caf\xC3\xA9 \xC3\xBC"
                   "ber UTF-8";
        },
        20s))
        << display.history();
    // Icecast passes the bytes through: this station sends Latin-1.
    ASSERT_TRUE(icecast->setTitle("/tone.mp3",
                                  "Caf\xE9 \xFC"
                                  "ber Latin-1"));
    EXPECT_TRUE(waitFor(
        [&] {
            return display.current().title ==
                   "Caf\xC3\xA9 \xC3\xBC"
                   "ber Latin-1";
        },
        20s))
        << display.history();
    icecast->setTitle("/tone.mp3", "Bench tone 440 Hz");
}

TEST_F(Playback, VolumeStepsAndMuteChangeTheLevel) {
    auto& player = makePlayer();
    // Set before the engine exists: applied when it starts.
    player.setVolume(-2000);
    player.setMute(true);
    player.open(icecast->url("/tone.mp3"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();
    const auto muted = nextAudio(0ms, 1s);
    ASSERT_FALSE(muted.empty());
    EXPECT_LT(rmsLevelDb(muted), -100.0);
    // The pcm output writes the whole buffer at once when playing starts; changes are measured
    // once it writes at the pace of the stream.
    pause(1s);

    player.setMute(false);
    EXPECT_EQ(player.volume(), -2000);
    const double at20 = level(440);
    player.setVolume(0);
    const double at0 = level(440);
    player.setVolume(-200);
    const double at2 = level(440);
    player.setVolume(-6200);
    const double at62 = level(440);
    std::cout << "[ measured ] 440 Hz at volume 0: " << at0 << " dBFS, -200: " << at2
              << ", -2000: " << at20 << ", -6200: " << at62 << "\n";
    EXPECT_NEAR(at0 - at2, 2.0, 0.5);
    EXPECT_NEAR(at0 - at20, 20.0, 1.0);
    EXPECT_NEAR(at0 - at62, 62.0, 3.0);

    player.setMute(true);
    EXPECT_LT(rmsLevelDb(nextAudio(500ms, 1s)), -100.0);
    EXPECT_EQ(player.volume(), -6200);
    EXPECT_TRUE(player.mute());
}

TEST_F(Playback, StopEndsTheAudioAndPlayStartsItAgain) {
    auto& player = makePlayer();
    player.open(icecast->url("/tone.mp3"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();

    player.stop();
    EXPECT_EQ(display.current().text(), "Stopped");
    EXPECT_EQ(player.fileName(), icecast->url("/tone.mp3"));
    pause(300ms);
    const auto samples = pcm->samples();
    pause(1500ms);
    EXPECT_EQ(pcm->samples(), samples);

    const int restart = static_cast<int>(display.lines.size());
    const auto pressed = std::chrono::steady_clock::now();
    player.play();
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();
    std::cout << "[ measured ] play after stop to Playing "
              << std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - pressed)
                     .count()
              << " ms\n";
    EXPECT_GE(display.find("Connecting", restart), restart);
    EXPECT_GT(toneLevelDb(nextAudio(0ms, 1s), 440), -30.0);
}

TEST_F(Playback, OpenSwitchesToTheOtherStation) {
    auto& player = makePlayer();
    player.open(icecast->url("/tone.mp3"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();

    const int switched = static_cast<int>(display.lines.size());
    player.open(icecast->url("/tone.ogg"));
    EXPECT_EQ(player.fileName(), icecast->url("/tone.ogg"));
    ASSERT_TRUE(waitFor([&] { return display.find("Playing", switched) >= 0; }, kTuneLimit))
        << display.history();
    EXPECT_TRUE(waitFor([&] { return display.current().title == IcecastServer::kOggTitle; }, 5s))
        << display.history();
    const auto audio = nextAudio(500ms, 1s);
    EXPECT_GT(toneLevelDb(audio, 1000), -30.0);
    EXPECT_GT(toneLevelDb(audio, 1000), toneLevelDb(audio, 440) + 40.0);
}

TEST_F(Playback, PlaylistOverHttpPlaysItsEntry) {
    playlists->serve("/tone.pls", "audio/x-scpls",
                     "[playlist]\nNumberOfEntries=1\nFile1=" + icecast->url("/tone.mp3") + "\n");
    auto& player = makePlayer();
    player.open(playlists->url("/tone.pls"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();
    EXPECT_GT(toneLevelDb(nextAudio(0ms, 1s), 440), -30.0);
}

// A tag title has no bound of its own; it is cut where it enters, and the stream plays.
TEST_F(Playback, TitleOfMegabytesIsCut) {
    playlists->serve("/long-title.wav", "audio/wav",
                     toneWav(1000, 4.0, std::string(4'000'000, 'T')));
    // In real time, so that it is seen playing before its end.
    auto& player = makePlayer(outputTo("null"));
    player.open(playlists->url("/long-title.wav"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history().substr(0, 2000);
    EXPECT_EQ(player.streamTitle(), std::string(media::kTitleCharacters, 'T') + "\u2026");
    EXPECT_EQ(display.current().title, player.streamTitle());
}

// A stream's shape may change mid-stream: a chained Ogg stream's next part has another channel
// count, rate and title; an MP3 stream changes its sample rate. Both play on, without a new
// connection, and the title is the current part's alone (FFmpeg joins them: "A;B;C").
TEST_F(Playback, StreamsThatChangeShapePlayOn) {
    const auto encoded = [&](const std::string& name, std::vector<std::string> format) {
        std::vector<std::string> argv{
            "ffmpeg", "-nostdin", "-loglevel", "error",
            "-f",     "lavfi",    "-i",        "sine=frequency=440:duration=3"};
        argv.insert(argv.end(), format.begin(), format.end());
        argv.push_back((folder / name).string());
        ChildProcess encoder;
        encoder.start(argv, (folder / (name + ".log")).string());
        EXPECT_TRUE(waitFor([&] { return !encoder.running(); }, 20s));
        std::ifstream file(folder / name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(file), {}};
    };
    const auto vorbis = [&](const char* name, const char* channels, const char* rate) {
        return encoded(std::string(name) + ".ogg",
                       {"-ac", channels, "-ar", rate, "-c:a", "libvorbis", "-metadata",
                        std::string("title=") + name});
    };
    playlists->serve(
        "/chained.ogg", "application/ogg",
        vorbis("A", "2", "44100") + vorbis("B", "1", "22050") + vorbis("C", "2", "44100"));
    const auto mp3 = [&](const char* name, const char* rate) {
        return encoded(std::string(name) + ".mp3",
                       {"-ac", "2", "-ar", rate, "-c:a", "libmp3lame", "-b:a", "64k"});
    };
    playlists->serve("/rates.mp3", "audio/mpeg", mp3("fast", "44100") + mp3("slow", "22050"));

    // In real time, so that each part's title is seen.
    auto& chained = makePlayer(outputTo("null"));
    chained.open(playlists->url("/chained.ogg"));
    EXPECT_TRUE(waitFor([&] { return chained.streamTitle() == "C"; }, 20s)) << display.history();
    bool sawB = false;
    for (const auto& line : display.lines) {
        EXPECT_EQ(line.title.find(';'), std::string::npos) << line.title;
        sawB = sawB || line.title == "B";
    }
    EXPECT_TRUE(sawB) << display.history();
    EXPECT_EQ(display.find("Reconnecting"), -1) << display.history();

    // Written as fast as it is decoded: all of both parts, on one connection.
    display.lines.clear();
    auto& rates = makePlayer();
    rates.open(playlists->url("/rates.mp3"));
    EXPECT_TRUE(waitForState("Stopped", kTuneLimit)) << display.history();
    EXPECT_GT(pcm->samples(), 5.5 * PcmCapture::kSampleRate);
    EXPECT_EQ(display.find("Reconnecting"), -1) << display.history();
}

TEST_F(Playback, PlaylistEntriesForLocalFilesAreRefused) {
    // A local file that would play happily if it were let through.
    const auto local = folder / "local.wav";
    std::ofstream(local, std::ios::binary) << toneWav(1000, 1.0);
    playlists->serve("/url.m3u", "audio/x-mpegurl", "file://" + local.string() + "\n");
    playlists->serve("/path.pls", "audio/x-scpls",
                     "[playlist]\nNumberOfEntries=1\nFile1=" + local.string() + "\n");

    for (const char* list : {"/url.m3u", "/path.pls"}) {
        auto& player = makePlayer();
        player.open(playlists->url(list));
        EXPECT_TRUE(waitForState("Refused playlist entry", 10s))
            << list << ": " << display.history();
        pause(500ms);
        EXPECT_EQ(pcm->samples(), 0u) << list;
    }
}

// A live stream that ends is tried again; a file that has a length and ends is done.
TEST_F(Playback, FileThatEndsStopsInsteadOfPlayingAgain) {
    playlists->serve("/short.wav", "audio/wav", toneWav(1000, 2.0));
    // In real time, so that the playing is seen before the end.
    auto& player = makePlayer(outputTo("null"));
    player.open(playlists->url("/short.wav"));
    ASSERT_TRUE(waitForState("Playing", kTuneLimit)) << display.history();
    EXPECT_TRUE(waitForState("Stopped", 10s)) << display.history();
    pause(1500ms);
    EXPECT_EQ(display.current().text(), "Stopped") << display.history();
    EXPECT_EQ(display.find("Reconnecting"), -1) << display.history();
}

TEST_F(Playback, NoSoundDeviceIsShownAndNotRetried) {
    // A sound server that is not there.
    setenv("PULSE_SERVER", "unix:/nonexistent/wavelark-pulse", 1);
    auto& player = makePlayer(outputTo("pulse"));
    player.open(icecast->url("/tone.ogg"));
    const bool shown = waitForState("No sound device", 15s);
    unsetenv("PULSE_SERVER");
    EXPECT_TRUE(shown) << display.history();
    pause(1500ms);
    EXPECT_EQ(display.current().text(), "No sound device") << display.history();
}

TEST_F(Playback, DestroyedAtAnyMomentWithoutHarm) {
    // Gone right after opening, while connecting, while buffering and while playing; the
    // wakeups it posted then find no player.
    for (const auto moment : {0ms, 50ms, 700ms, 2500ms}) {
        auto& player = makePlayer(outputTo("null"));
        player.open(icecast->url("/tone.mp3"));
        pause(moment);
        player.setVolume(-400);
        this->player.reset();
        pause(100ms);
    }
    EXPECT_TRUE(uiRunsPostedTask());
}

}  // namespace
