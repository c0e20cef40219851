// The media player control over libmpv: feeds mpv's events to the stream's state machine and
// carries out what it decides. The decisions themselves live in stream_state_machine.cpp.
#include "media/mpv_media_player.h"

#include <atomic>
#include <cstdlib>

#include "media/engine_teardown.h"
#include "media/mpv_client.h"
#include "media/mpv_engine.h"
#include "media/public_address.h"
#include "media/station_playlist.h"
#include "media/status_text.h"
#include "media/stream_state_machine.h"
#include "media/volume_scale.h"
#include "platform/desktop_bus/system_events.h"
#include "platform/log.h"
#include "platform/runtime_error.h"
#include "platform/timer.h"
#include "platform/ui_thread.h"
#include "platform/web_read.h"

namespace media {

namespace {

using Time = StreamStateMachine::Time;

// A drain hands back to the event loop after this many events, so a flood cannot starve it.
constexpr int kEventsPerDrain = 200;

Time now() {
    return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now().time_since_epoch());
}

class MpvMediaPlayer;

// Shared by the player and the tasks its wakeup callback posts, so that a task still queued
// when the player is gone finds no owner instead of a dangling pointer.
struct WakeupBridge : std::enable_shared_from_this<WakeupBridge> {
    std::atomic<bool> posted{false};
    MpvMediaPlayer* owner = nullptr;  // touched on the UI thread only
};

class MpvMediaPlayer final : public MediaPlayer {
public:
    MpvMediaPlayer(StatusDisplay& display, EngineOptions options);
    ~MpvMediaPlayer() override;

    int volume() const override { return volume_; }
    void setVolume(int hundredthsOfDecibel) override;
    bool mute() const override { return muted_; }
    void setMute(bool muted) override;
    std::string fileName() const override { return address_; }
    void play() override;
    void stop() override;
    void open(const std::string& address) override;
    bool playing() const override { return machine_.wanted(); }
    std::string streamTitle() const override { return machine_.streamTitle(); }

    void drain();

private:
    static void onWakeup(void* context);
    // A new engine, when there is none; false (and the machine told) when none can start.
    bool startEngine();
    void ensureEngine();
    void endEngine();
    void carryOut();
    // mpv found no stream at an address: read it as a playlist, and let mpv go on.
    bool handleLoadFailure(const mpv_event& event);
    void readPlaylist(const std::string& address);
    void playlistArrived(const std::string& address, const platform::WebRead::Result& result);
    void letLoadGoOn();

    StatusDisplay& display_;
    const EngineOptions options_;
    std::shared_ptr<WakeupBridge> bridge_;
    const MpvClient* mpv_ = nullptr;  // set with the engine
    mpv_handle* handle_ = nullptr;
    // Started while an earlier engine was still ending (see enginesEnding).
    bool startedBesideAnEnding_ = false;

    // What the window set and reads back.
    std::string address_;
    int volume_ = kLoudestVolume;
    bool muted_ = false;

    StreamStateMachine machine_;
    platform::Timer wakeTimer_;
    // Listened to from the first open on, with the engine.
    std::unique_ptr<platform::SystemEvents> systemEvents_;
    // While mpv waits in its hook for a failed load.
    std::optional<std::uint64_t> loadFailedHook_;
    std::unique_ptr<platform::WebRead> playlistRead_;
};

MpvMediaPlayer::MpvMediaPlayer(StatusDisplay& display, EngineOptions options)
    : display_(display),
      options_(std::move(options)),
      bridge_(std::make_shared<WakeupBridge>()),
      machine_(options_.stream) {
    bridge_->owner = this;
    carryOut();
}

MpvMediaPlayer::~MpvMediaPlayer() {
    bridge_->owner = nullptr;
    playlistRead_.reset();
    endEngine();
}

void MpvMediaPlayer::endEngine() {
    if (!handle_) return;
    endEngineLater(*mpv_, handle_);
    handle_ = nullptr;
}

void MpvMediaPlayer::setVolume(int hundredthsOfDecibel) {
    volume_ = clampVolume(hundredthsOfDecibel);
    if (handle_) media::setVolume(*mpv_, handle_, mpvVolumeFor(volume_));
}

void MpvMediaPlayer::setMute(bool muted) {
    muted_ = muted;
    if (handle_) media::setMute(*mpv_, handle_, muted_);
}

void MpvMediaPlayer::play() {
    // Nothing opened yet, or already on its way: nothing to (re)start.
    if (address_.empty() || machine_.active()) return;
    ensureEngine();
    machine_.load(now());
    carryOut();
}

void MpvMediaPlayer::stop() {
    if (!handle_) return;
    machine_.stop(now());
    carryOut();
}

void MpvMediaPlayer::open(const std::string& address) {
    if (address.empty()) throw platform::errors::invalidCall();
    ensureEngine();
    address_ = address;
    machine_.load(now());
    carryOut();
}

void MpvMediaPlayer::ensureEngine() {
    if (startEngine()) return;
    carryOut();
    throw EngineUnavailable();
}

bool MpvMediaPlayer::startEngine() {
    if (handle_) return true;
    mpv_ = mpvClient();
    if (mpv_) handle_ = startMpvEngine(*mpv_, options_, mpvVolumeFor(volume_), muted_);
    startedBesideAnEnding_ = handle_ && enginesEnding();
    if (!handle_) {
        platform::logWarning(platform::LogRoom::Media,
                             mpv_ ? "mpv refused to start" : "libmpv could not be loaded");
        machine_.engineUnavailable(now());
        return false;
    }
    // Set last: it may call back at once, and the drain then finds the handle.
    mpv_->setWakeupCallback(handle_, &MpvMediaPlayer::onWakeup, bridge_.get());
    if (!systemEvents_) {
        systemEvents_ = std::make_unique<platform::SystemEvents>();
        systemEvents_->Resumed = [this] {
            platform::logInfo(platform::LogRoom::Media, "the system resumed");
            machine_.systemResumed(now());
            carryOut();
        };
        systemEvents_->NetworkConnected = [this] {
            platform::logInfo(platform::LogRoom::Media, "the network is connected");
            machine_.networkConnected(now());
            carryOut();
        };
    }
    return true;
}

void MpvMediaPlayer::onWakeup(void* context) {
    // Runs on mpv's threads: no mpv call here, and one queued drain at a time.
    auto* bridge = static_cast<WakeupBridge*>(context);
    if (bridge->posted.exchange(true)) return;
    platform::postToUiThread([bridge = bridge->shared_from_this()] {
        if (bridge->owner) bridge->owner->drain();
    });
}

void MpvMediaPlayer::drain() {
    // Cleared first: a wakeup during the drain posts another one rather than being lost.
    bridge_->posted.store(false);
    for (int count = 0; handle_; ++count) {
        if (count == kEventsPerDrain) {
            onWakeup(bridge_.get());
            break;
        }
        const mpv_event* event = mpv_->waitEvent(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        if (event->event_id == MPV_EVENT_SHUTDOWN) {
            // Not asked for; take the engine down and let the next open start a new one.
            platform::logWarning(platform::LogRoom::Media, "mpv shut down by itself");
            machine_.engineLost(now());
            playlistRead_.reset();
            loadFailedHook_.reset();
            endEngine();
            break;
        }
        if (!handleLoadFailure(*event))
            feedEvent(machine_, *event, now(), options_.audioOutput == "null");
    }
    // Once per drain: events that arrive together (a title with its metadata, a buffering
    // state with the pause it belongs to) show as one change.
    carryOut();
}

bool MpvMediaPlayer::handleLoadFailure(const mpv_event& event) {
    const auto openAddress = static_cast<std::uint64_t>(MpvProperty::OpenAddress);
    if (event.event_id == MPV_EVENT_HOOK && event.reply_userdata == kLoadFailedHook) {
        loadFailedHook_ = static_cast<const mpv_event_hook*>(event.data)->id;
        askOpenAddress(*mpv_, handle_);
        return true;
    }
    if (event.event_id == MPV_EVENT_GET_PROPERTY_REPLY && event.reply_userdata == openAddress) {
        const auto& property = *static_cast<const mpv_event_property*>(event.data);
        if (event.error >= 0 && property.format == MPV_FORMAT_STRING) {
            readPlaylist(*static_cast<const char* const*>(property.data));
        } else {
            letLoadGoOn();
        }
        return true;
    }
    if (event.event_id == MPV_EVENT_SET_PROPERTY_REPLY && event.reply_userdata == openAddress) {
        letLoadGoOn();
        return true;
    }
    return false;
}

void MpvMediaPlayer::readPlaylist(const std::string& address) {
    const bool web = address.starts_with("http://") || address.starts_with("https://");
    if (!machine_.active() || !web) {
        letLoadGoOn();
        return;
    }
    playlistRead_ = std::make_unique<platform::WebRead>(
        address, kPlaylistBytes, options_.caFile,
        [this, address](const platform::WebRead::Result& result) {
            playlistArrived(address, result);
        });
}

void MpvMediaPlayer::playlistArrived(const std::string& address,
                                     const platform::WebRead::Result& result) {
    const StationPlaylist playlist =
        result.ok ? readStationPlaylist(result.bytes, result.whole, address) : StationPlaylist{};
    switch (playlist.kind) {
        case StationPlaylist::Kind::Streams: {
            platform::logInfo(platform::LogRoom::Media,
                              "playlist of " + std::to_string(playlist.streams.size()));
            // The first in place of the playlist, the others after it, as mpv would.
            openInstead(*mpv_, handle_, playlist.streams.front());
            for (std::size_t i = 1; i < playlist.streams.size(); ++i) {
                const char* args[] = {"loadfile", playlist.streams[i].c_str(), "append", nullptr};
                mpv_->commandAsync(handle_, 0, args);
            }
            return;
        }
        case StationPlaylist::Kind::TooLarge:
            machine_.failureLogged({.cause = Failure::Cause::PlaylistTooLarge});
            break;
        case StationPlaylist::Kind::NoStreams:
            machine_.failureLogged({.cause = Failure::Cause::UnsafePlaylistEntry});
            break;
        case StationPlaylist::Kind::NotAPlaylist:
            break;
    }
    letLoadGoOn();
}

void MpvMediaPlayer::letLoadGoOn() {
    playlistRead_.reset();
    if (loadFailedHook_ && handle_) mpv_->hookContinue(handle_, *loadFailedHook_);
    loadFailedHook_.reset();
}

void MpvMediaPlayer::carryOut() {
    const Time at = now();
    const auto decisions = machine_.decide(at);
    bool engineFailed = false;
    // A new load or a stop must not wait behind a playlist still being read.
    if (!decisions.commands.empty()) letLoadGoOn();
    for (const auto& command : decisions.commands) {
        using Kind = StreamStateMachine::Command::Kind;
        if (command.kind == Kind::ReplaceEngine) {
            platform::logWarning(platform::LogRoom::Media, "the engine is stuck; starting afresh");
            endEngine();
            continue;
        }
        // A load replaces what plays anyway: the moment to take a fresh engine that hears
        // FFmpeg again, once the stuck one it was started beside has gone.
        if (command.kind == Kind::Load && startedBesideAnEnding_ && !enginesEnding()) endEngine();
        if (command.kind == Kind::Load && !startEngine()) {
            engineFailed = true;
            break;
        }
        if (!handle_) continue;
        // Asynchronous, so the UI thread never waits for the engine's core.
        if (command.kind == Kind::Load) {
            platform::logInfo(platform::LogRoom::Media, "load " + publicAddress(address_));
            const char* args[] = {"loadfile", address_.c_str(), "replace", nullptr};
            mpv_->commandAsync(handle_, command.serial, args);
        } else if (command.kind == Kind::Stop) {
            platform::logInfo(platform::LogRoom::Media, "stop");
            const char* args[] = {"stop", nullptr};
            mpv_->commandAsync(handle_, 0, args);
        } else {
            platform::logInfo(platform::LogRoom::Media, "sound output: trying again");
            const char* args[] = {"ao-reload", nullptr};
            mpv_->commandAsync(handle_, 0, args);
        }
    }
    if (decisions.sampleBuffer && handle_) {
        askCacheState(*mpv_, handle_);
    }
    if (decisions.status) {
        const StreamStatus& status = *decisions.status;
        const StatusLine line = status_text::line(status);
        display_.show(line);
        // Each state once: a rising buffer count or a new title is the same state.
        if (decisions.stateChanged)
            platform::logInfo(platform::LogRoom::Media, "state: " + line.state);
    }
    if (decisions.wakeAt) {
        wakeTimer_.startOnce(std::max(*decisions.wakeAt - at, Time::zero()), [this] {
            machine_.wake(now());
            carryOut();
        });
    } else {
        wakeTimer_.stop();
    }
    if (decisions.playbackChanged && PlaybackChanged) PlaybackChanged();
    // The machine knows by now; show what it makes of it.
    if (engineFailed) carryOut();
}

}  // namespace

std::string caFileFromEnvironment() {
    const char* file = std::getenv("WAVELARK_CA_FILE");
    return file ? file : "";
}

std::unique_ptr<MediaPlayer> makeMpvMediaPlayer(StatusDisplay& display, EngineOptions options) {
    return std::make_unique<MpvMediaPlayer>(display, std::move(options));
}

}  // namespace media
