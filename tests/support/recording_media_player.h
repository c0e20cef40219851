#pragma once

#include <string>
#include <vector>

#include "media/media_player.h"

// A media player that only records what the window asks of it.
class RecordingMediaPlayer : public media::MediaPlayer {
public:
    ~RecordingMediaPlayer() override {
        if (released) *released = true;
    }
    int volume() const override {
        ++volumeReads;
        return volume_;
    }
    void setVolume(int value) override {
        volume_ = value;
        calls.push_back("volume " + std::to_string(value));
    }
    bool mute() const override { return mute_; }
    void setMute(bool muted) override {
        mute_ = muted;
        calls.push_back(muted ? "mute on" : "mute off");
    }
    std::string fileName() const override { return fileName_; }
    void play() override { calls.push_back("play"); }
    void stop() override { calls.push_back("stop"); }
    void open(const std::string& address) override {
        if (failOpen) throw std::runtime_error("cannot open");
        if (noEngine) throw media::EngineUnavailable();
        fileName_ = address;
        calls.push_back("open " + address);
    }

    bool playing() const override { return playing_; }
    std::string streamTitle() const override { return title_; }

    // Test set-up: what the player holds without the window having asked for it.
    void holdVolume(int value) { volume_ = value; }
    // As the engine would: playback or the title changed.
    void holdPlayback(bool playing, std::string title) {
        playing_ = playing;
        title_ = std::move(title);
        if (PlaybackChanged) PlaybackChanged();
    }

    std::vector<std::string> calls;
    mutable int volumeReads = 0;
    bool failOpen = false;
    bool* released = nullptr;
    bool noEngine = false;

private:
    int volume_ = 0;
    bool mute_ = false;
    std::string fileName_;
    bool playing_ = false;
    std::string title_;
};
