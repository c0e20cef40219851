#include "engine_fixture.h"

#include <QtTest/QTest>
#include <atomic>
#include <thread>

#include "media/engine_teardown.h"
#include "platform/ui_thread.h"

int RecordingDisplay::find(const std::string& prefix, int from) const {
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i) {
        if (lines[i].state.starts_with(prefix)) return i;
    }
    return -1;
}

std::string RecordingDisplay::history() const {
    std::string text;
    for (const auto& line : lines) text += "[" + line.text() + " | " + line.elapsed + "] ";
    return text;
}

void EngineTest::SetUp() {
    char pattern[] = "/tmp/wavelark-engine-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    pcm = std::make_unique<PcmCapture>(folder / "audio.raw");
}

void EngineTest::TearDown() {
    player.reset();
    // Its engine ends on a thread of its own; the next test starts without it.
    EXPECT_TRUE(media::enginesEnded(std::chrono::seconds(10)));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

media::EngineOptions EngineTest::pcmOptions() const {
    auto options = outputTo("pcm");
    options.extraOptions = {{"ao-pcm-file", pcm->path().string()},
                            {"ao-pcm-waveheader", "no"},
                            {"ao-pcm-append", "yes"},
                            {"audio-format", "float"},
                            {"audio-channels", "mono"},
                            {"audio-samplerate", std::to_string(PcmCapture::kSampleRate)}};
    return options;
}

media::EngineOptions EngineTest::outputTo(const std::string& audioOutput) {
    media::EngineOptions options;
    options.audioOutput = audioOutput;
    // A stream that plays is all these tests need, not the listener's full hold before it does.
    options.stream.hold = std::chrono::seconds(1);
    return options;
}

media::MediaPlayer& EngineTest::makePlayer(media::EngineOptions options) {
    // An engine started while another ends would not hear FFmpeg's lines.
    player.reset();
    EXPECT_TRUE(media::enginesEnded(std::chrono::seconds(10)));
    player = media::makeMpvMediaPlayer(display, std::move(options));
    return *player;
}

bool EngineTest::waitFor(const std::function<bool()>& condition, Milliseconds limit) {
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

void EngineTest::pause(Milliseconds span) { QTest::qWait(static_cast<int>(span.count())); }

bool EngineTest::waitForState(const std::string& prefix, Milliseconds limit) {
    return waitFor([&] { return display.current().state.starts_with(prefix); }, limit);
}

std::vector<float> EngineTest::nextAudio(Milliseconds skip, Milliseconds length,
                                         Milliseconds limit) {
    const auto samplesOf = [](Milliseconds span) {
        return static_cast<std::size_t>(span.count()) * PcmCapture::kSampleRate / 1000;
    };
    const std::size_t first = pcm->samples() + samplesOf(skip);
    const std::size_t count = samplesOf(length);
    if (!waitFor([&] { return pcm->samples() >= first + count; }, limit)) return {};
    return pcm->read(first, count);
}

bool EngineTest::uiRunsPostedTask() {
    auto ran = std::make_shared<std::atomic<bool>>(false);
    std::thread poster([ran] { platform::postToUiThread([ran] { *ran = true; }); });
    poster.join();
    return waitFor([&] { return ran->load(); }, Milliseconds(1000));
}
