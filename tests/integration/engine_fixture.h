#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/mpv_media_player.h"
#include "pcm_capture.h"

// Keeps every line the engine showed, in order.
class RecordingDisplay : public StatusDisplay {
public:
    void show(const StatusLine& line) override { lines.push_back(line); }
    StatusLine current() const { return lines.empty() ? StatusLine{} : lines.back(); }
    // Where the first state starting with prefix was shown, at or after from; -1 if never.
    int find(const std::string& prefix, int from = 0) const;
    std::string history() const;

    std::vector<StatusLine> lines;
};

// The real engine with its audio written to a file, in a fresh folder per test. Every wait
// runs the Qt event loop and is bounded.
class EngineTest : public ::testing::Test {
protected:
    using Milliseconds = std::chrono::milliseconds;

    void SetUp() override;
    void TearDown() override;

    // Both with a hold of 1 s. Raw float mono audio into pcm, appended across stops and reloads.
    media::EngineOptions pcmOptions() const;
    static media::EngineOptions outputTo(const std::string& audioOutput);
    media::MediaPlayer& makePlayer(media::EngineOptions options);
    media::MediaPlayer& makePlayer() { return makePlayer(pcmOptions()); }

    bool waitFor(const std::function<bool()>& condition, Milliseconds limit);
    // Runs the event loop for a while.
    void pause(Milliseconds span);
    // Waits until the shown state starts with prefix.
    bool waitForState(const std::string& prefix, Milliseconds limit);
    // Lets skip of new audio pass, then returns the length after it; empty if it does not
    // come within the limit.
    std::vector<float> nextAudio(Milliseconds skip, Milliseconds length,
                                 Milliseconds limit = Milliseconds(10000));
    // Posts a task from another thread; true when the event loop ran it within a second.
    bool uiRunsPostedTask();

    RecordingDisplay display;
    std::unique_ptr<media::MediaPlayer> player;
    std::filesystem::path folder;
    std::unique_ptr<PcmCapture> pcm;
};
