#include "player/media/mpv_media_player.h"

#include <mpv/client.h>

#include <strings.h>
#include <atomic>
#include <clocale>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/runtime_error.h"
#include "platform/timer.h"
#include "platform/ui_thread.h"
#include "player/media/failure_diagnosis.h"
#include "player/media/icy_title.h"
#include "player/media/reconnect_schedule.h"
#include "player/media/status_text.h"
#include "player/media/volume_scale.h"

namespace media {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long an end of file waits for mpv to move on to a further entry of a playlist before it
// counts as the end of the stream. Log lines that explain a failure also arrive after the
// end-file event, so this wait lets them in too.
constexpr auto kEndSettleDelay = 150ms;

// mpv counts the buffer up on its 250 ms tick and again as data arrives, up to 8 times a
// second; the strip takes a new count at most as often as the tick, so that with the state
// changes around them it repaints at most 5 times a second while a stream fills.
constexpr auto kBufferCountStep = 250ms;

// A drain hands back to the event loop after this many events, so a flood cannot starve it.
constexpr int kEventsPerDrain = 200;

// Playlist entry ids only grow; this one is past every id, so nothing matches it.
constexpr std::int64_t kNoEntry = std::numeric_limits<std::int64_t>::max();

enum Property : std::uint64_t {
    kCoreIdle = 1,
    kPausedForCache,
    kBufferingState,
    kMetadata,
    kFileSize
};

// The safe embedding: no user configuration, scripts, downloaders or key bindings, audio only,
// and nothing from a playlist that points at this machine's files. The cache holds 5 s of
// stream before playing starts and after a stall; cache-secs must not be below the wait, or
// mpv quietly shortens it.
constexpr std::pair<const char*, const char*> kEngineOptions[] = {
    {"config", "no"},
    {"terminal", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-unsafe-playlists", "no"},
    {"vid", "no"},
    {"audio-display", "no"},
    {"idle", "yes"},
    {"cache", "yes"},
    {"cache-pause-initial", "yes"},
    {"cache-pause-wait", "5"},
    {"cache-secs", "10"},
    // Covers connecting and a server that goes silent; the stall surfaces as an end of file,
    // which the reconnect handles.
    {"network-timeout", "15"},
    {"audio-client-name", "Wavelark"},
};

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
    bool playing() const override {
        return phase_ == Phase::Active || phase_ == Phase::WaitingToRetry;
    }
    std::string streamTitle() const override { return playing() ? title_ : std::string(); }

    void drain();

private:
    enum class Phase { Ready, Active, WaitingToRetry, Stopped, Failed };
    struct EndOfFile {
        int reason;
        int error;
        bool loaded;
        bool finite;
    };

    static void onWakeup(void* context);

    void ensureEngine();
    void command(std::initializer_list<const char*> words, std::uint64_t tag = 0);
    void load(bool retry);
    void endSession();
    void resetAttempt();
    void scheduleRetry();
    void giveUp(std::string why);
    void onWatchdog();
    void decideAfterEnd();

    void handle(const mpv_event& event);
    void onLoadReply(const mpv_event& event);
    void onStartFile(std::int64_t entry);
    void onEndFile(const mpv_event_end_file& end);
    void onProperty(std::uint64_t id, const mpv_event_property& property);
    void onMetadata(const mpv_node* metadata);
    bool inSession(std::int64_t entry) const {
        return phase_ == Phase::Active && entry >= sessionFirstEntry_;
    }
    bool attemptStarted() const { return phase_ == Phase::Active && currentEntry_ != 0; }

    bool isPlaying() const { return attemptStarted() && loaded_ && restarted_ && !coreIdle_; }
    Clock::duration played(Clock::time_point now) const;
    std::string stateText() const;
    void update();

    StatusDisplay& display_;
    const EngineOptions options_;
    std::shared_ptr<WakeupBridge> bridge_;
    mpv_handle* handle_ = nullptr;

    // What the window set and reads back.
    std::string address_;
    int volume_ = kLoudestVolume;
    bool muted_ = false;

    // The current load of address_ ("session"): events of older loads are ignored.
    Phase phase_ = Phase::Ready;
    bool retrying_ = false;
    std::uint64_t loadSerial_ = 0;
    std::int64_t sessionFirstEntry_ = kNoEntry;
    std::int64_t currentEntry_ = 0;
    std::optional<EndOfFile> pendingEnd_;
    std::string failure_;
    ReconnectSchedule schedule_;
    FailureDiagnosis diagnosis_;

    // The current attempt, from its start-file on.
    bool loaded_ = false;
    bool restarted_ = false;
    bool coreIdle_ = true;
    bool pausedForCache_ = false;
    int bufferingPercent_ = 0;
    bool finite_ = false;

    // The buffer count on the strip, and when it was taken.
    int countShown_ = 0;
    Clock::time_point countShownAt_{};
    bool countOnShow_ = false;

    std::string title_;
    Clock::duration playedBefore_{};
    std::optional<Clock::time_point> playingSince_;

    StatusLine shown_;
    // What PlaybackChanged last reported.
    bool reportedPlaying_ = false;
    std::string reportedTitle_;
    platform::Timer watchdog_;
    platform::Timer retryTimer_;
    platform::Timer settleTimer_;
    platform::Timer clockTimer_;
    platform::Timer countTimer_;
};

MpvMediaPlayer::MpvMediaPlayer(StatusDisplay& display, EngineOptions options)
    : display_(display),
      options_(std::move(options)),
      bridge_(std::make_shared<WakeupBridge>()),
      schedule_(options_.reconnectDelays) {
    bridge_->owner = this;
    update();
}

MpvMediaPlayer::~MpvMediaPlayer() {
    bridge_->owner = nullptr;
    // Stops playback and joins mpv's threads; no wakeup callback runs after it returns.
    if (handle_) mpv_terminate_destroy(handle_);
}

// --- The window's members ------------------------------------------------------------------

void MpvMediaPlayer::setVolume(int hundredthsOfDecibel) {
    volume_ = clampVolume(hundredthsOfDecibel);
    if (!handle_) return;
    double value = mpvVolumeFor(volume_);
    mpv_set_property_async(handle_, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvMediaPlayer::setMute(bool muted) {
    muted_ = muted;
    if (!handle_) return;
    int flag = muted ? 1 : 0;
    mpv_set_property_async(handle_, 0, "mute", MPV_FORMAT_FLAG, &flag);
}

void MpvMediaPlayer::play() {
    // Nothing opened yet, or already on its way: nothing to (re)start.
    if (address_.empty() || phase_ == Phase::Active) return;
    ensureEngine();
    load(false);
}

void MpvMediaPlayer::stop() {
    if (!handle_) return;
    endSession();
    phase_ = Phase::Stopped;
    command({"stop"});
    update();
}

void MpvMediaPlayer::open(const std::string& address) {
    if (address.empty()) throw platform::errors::invalidCall();
    ensureEngine();
    address_ = address;
    load(false);
}

// --- Engine --------------------------------------------------------------------------------

void MpvMediaPlayer::ensureEngine() {
    if (handle_) return;
    const platform::RuntimeError cannotStart{429, "The media engine could not be started"};
    // mpv refuses to start unless numbers are formatted the C way; the application object
    // has set the user's locale by now.
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle* handle = mpv_create();
    if (!handle) throw cannotStart;
    bool ok = true;
    for (const auto& [name, value] : kEngineOptions) {
        ok = ok && mpv_set_option_string(handle, name, value) >= 0;
    }
    // PulseAudio asks for audio as often as the stream's buffer is short: 200 ms instead of
    // mpv's 100 ms halves the engine's wakeups and CPU while playing. Volume and mute are
    // applied before that buffer, so they are heard 0.2 s after the click instead of 0.1 s;
    // stop and a new station still cut at once. Only PulseAudio's output has the option.
    mpv_set_option_string(handle, "pulse-buffer", "200");
    if (!options_.audioOutput.empty()) {
        ok = ok && mpv_set_option_string(handle, "ao", options_.audioOutput.c_str()) >= 0;
    }
    for (const auto& [name, value] : options_.extraOptions) {
        ok = ok && mpv_set_option_string(handle, name.c_str(), value.c_str()) >= 0;
    }
    // What the window set before the engine existed.
    double volume = mpvVolumeFor(volume_);
    int mute = muted_ ? 1 : 0;
    ok = ok && mpv_set_option(handle, "volume", MPV_FORMAT_DOUBLE, &volume) >= 0;
    ok = ok && mpv_set_option(handle, "mute", MPV_FORMAT_FLAG, &mute) >= 0;
    ok = ok && mpv_initialize(handle) >= 0;
    if (!ok) {
        mpv_terminate_destroy(handle);
        throw cannotStart;
    }
    // Warnings and errors carry the reasons that end-file codes leave out.
    mpv_request_log_messages(handle, "warn");
    mpv_observe_property(handle, kCoreIdle, "core-idle", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, kBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
    mpv_observe_property(handle, kMetadata, "metadata", MPV_FORMAT_NODE);
    // Live streams have no size; a file served whole does. (Duration is no help: mpv learns
    // a live stream's length once its end is in the cache.)
    mpv_observe_property(handle, kFileSize, "file-size", MPV_FORMAT_INT64);
    handle_ = handle;
    // Set last: it may call back at once, and the drain then finds the handle.
    mpv_set_wakeup_callback(handle_, &MpvMediaPlayer::onWakeup, bridge_.get());
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
        const mpv_event* event = mpv_wait_event(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        if (event->event_id == MPV_EVENT_SHUTDOWN) {
            // Not asked for; take the engine down and let the next open start a new one.
            endSession();
            phase_ = Phase::Failed;
            failure_ = status_text::kFailed;
            mpv_terminate_destroy(handle_);
            handle_ = nullptr;
            break;
        }
        handle(*event);
    }
    // Once per drain: events that arrive together (a title with its metadata, a buffering
    // state with the pause it belongs to) show as one change.
    update();
}

void MpvMediaPlayer::command(std::initializer_list<const char*> words, std::uint64_t tag) {
    std::vector<const char*> args(words);
    args.push_back(nullptr);
    // Asynchronous, so the UI thread never waits for the engine's core.
    mpv_command_async(handle_, tag, args.data());
}

// --- Sessions and attempts -----------------------------------------------------------------

void MpvMediaPlayer::load(bool retry) {
    endSession();
    phase_ = Phase::Active;
    retrying_ = retry;
    if (!retry) {
        title_.clear();
        playedBefore_ = {};
        schedule_.reset();
    }
    ++loadSerial_;
    command({"loadfile", address_.c_str(), "replace"}, loadSerial_);
    watchdog_.startOnce(options_.openTimeout, [this] { onWatchdog(); });
    update();
}

void MpvMediaPlayer::endSession() {
    if (playingSince_) {
        playedBefore_ += Clock::now() - *playingSince_;
        playingSince_.reset();
    }
    sessionFirstEntry_ = kNoEntry;
    currentEntry_ = 0;
    pendingEnd_.reset();
    watchdog_.stop();
    retryTimer_.stop();
    settleTimer_.stop();
    resetAttempt();
}

void MpvMediaPlayer::resetAttempt() {
    loaded_ = false;
    restarted_ = false;
    coreIdle_ = true;
    pausedForCache_ = false;
    bufferingPercent_ = 0;
    finite_ = false;
}

void MpvMediaPlayer::scheduleRetry() {
    const auto delay = schedule_.next();
    if (!delay) {
        giveUp(status_text::kFailed);
        return;
    }
    endSession();
    // mpv may still be trying on its own (a stall); the new try starts from scratch.
    command({"stop"});
    phase_ = Phase::WaitingToRetry;
    retryTimer_.startOnce(*delay, [this] { load(true); });
    update();
}

void MpvMediaPlayer::giveUp(std::string why) {
    endSession();
    command({"stop"});
    phase_ = Phase::Failed;
    failure_ = std::move(why);
    update();
}

void MpvMediaPlayer::onWatchdog() {
    if (phase_ != Phase::Active) return;
    // A stall after the stream played is a drop; a hanging try of a dropped stream is one
    // try used up. Only a first connection that never gets going is given up at once.
    if (retrying_ || played(Clock::now()) > Clock::duration::zero()) {
        scheduleRetry();
    } else {
        giveUp(status_text::kTimedOut);
    }
}

void MpvMediaPlayer::decideAfterEnd() {
    if (!pendingEnd_ || phase_ != Phase::Active) return;
    const EndOfFile end = *pendingEnd_;
    pendingEnd_.reset();
    // Retrying cannot help these, unless the stream had played before and the server now
    // answers with something else for a while.
    const bool hopeless =
        end.error == MPV_ERROR_AO_INIT_FAILED || end.error == MPV_ERROR_UNKNOWN_FORMAT ||
        end.error == MPV_ERROR_NOTHING_TO_PLAY || end.error == MPV_ERROR_UNSUPPORTED;
    if (end.error == MPV_ERROR_AO_INIT_FAILED || (hopeless && !retrying_)) {
        giveUp(diagnosis_.verdict(end.error));
    } else if (end.loaded && end.reason == MPV_END_FILE_REASON_EOF && end.finite) {
        // A file with a length, not a live stream, has simply ended.
        endSession();
        phase_ = Phase::Stopped;
        update();
    } else if (end.loaded || retrying_) {
        scheduleRetry();
    } else {
        giveUp(diagnosis_.verdict(end.error));
    }
}

// --- Events --------------------------------------------------------------------------------

void MpvMediaPlayer::handle(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_COMMAND_REPLY:
            if (event.reply_userdata != 0 && event.reply_userdata == loadSerial_)
                onLoadReply(event);
            break;
        case MPV_EVENT_START_FILE:
            onStartFile(static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
            break;
        case MPV_EVENT_FILE_LOADED:
            if (!attemptStarted()) break;
            loaded_ = true;
            watchdog_.startOnce(options_.bufferTimeout, [this] { onWatchdog(); });
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            if (!attemptStarted()) break;
            restarted_ = true;
            break;
        case MPV_EVENT_END_FILE:
            onEndFile(*static_cast<const mpv_event_end_file*>(event.data));
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            onProperty(event.reply_userdata, *static_cast<const mpv_event_property*>(event.data));
            break;
        case MPV_EVENT_LOG_MESSAGE:
            if (phase_ == Phase::Active) {
                const auto* message = static_cast<const mpv_event_log_message*>(event.data);
                diagnosis_.noteLog(message->prefix, message->level, message->text);
            }
            break;
        default:
            break;
    }
}

void MpvMediaPlayer::onLoadReply(const mpv_event& event) {
    if (phase_ != Phase::Active) return;
    if (event.error < 0) {
        giveUp(status_text::kFailed);
        return;
    }
    // loadfile answers with the id of the entry it added; entries that a playlist expands
    // into get later ids, so the session is every entry from this one on.
    const mpv_node& result = static_cast<const mpv_event_command*>(event.data)->result;
    if (result.format != MPV_FORMAT_NODE_MAP) return;
    for (int i = 0; i < result.u.list->num; ++i) {
        const mpv_node& value = result.u.list->values[i];
        if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
            value.format == MPV_FORMAT_INT64) {
            sessionFirstEntry_ = value.u.int64;
        }
    }
}

void MpvMediaPlayer::onStartFile(std::int64_t entry) {
    if (!inSession(entry)) return;
    // One wait covers the whole way from the address to audio, however many entries a playlist
    // expands into: a playlist that names itself expands for ever and must still time out.
    // Only an entry after one that played starts a wait of its own.
    if (!watchdog_.isActive()) watchdog_.startOnce(options_.openTimeout, [this] { onWatchdog(); });
    // mpv moved on to this entry, so an end of the one before was not the end of the stream.
    settleTimer_.stop();
    pendingEnd_.reset();
    currentEntry_ = entry;
    resetAttempt();
    diagnosis_.clear();
}

void MpvMediaPlayer::onEndFile(const mpv_event_end_file& end) {
    if (!inSession(end.playlist_entry_id)) return;
    // Stop follows our own stop or replacing load; a redirect is a playlist being expanded,
    // and its first entry starts next.
    if (end.reason != MPV_END_FILE_REASON_EOF && end.reason != MPV_END_FILE_REASON_ERROR) return;
    pendingEnd_ = EndOfFile{end.reason, end.error, loaded_, finite_};
    resetAttempt();
    settleTimer_.startOnce(kEndSettleDelay, [this] { decideAfterEnd(); });
}

void MpvMediaPlayer::onProperty(std::uint64_t id, const mpv_event_property& property) {
    const bool available = property.format != MPV_FORMAT_NONE && property.data;
    if (id == kMetadata) {
        if (attemptStarted()) {
            onMetadata(available ? static_cast<const mpv_node*>(property.data) : nullptr);
        }
        return;
    }
    if (!attemptStarted()) return;
    switch (id) {
        case kCoreIdle:
            coreIdle_ = !available || *static_cast<const int*>(property.data) != 0;
            break;
        case kPausedForCache: {
            const bool paused = available && *static_cast<const int*>(property.data) != 0;
            // The percentage seen before the pause may be stale (it reads 100 for a moment as
            // a stream loads); count from 0 until mpv reports afresh.
            if (paused && !pausedForCache_) bufferingPercent_ = 0;
            pausedForCache_ = paused;
            break;
        }
        case kBufferingState:
            bufferingPercent_ =
                available ? static_cast<int>(*static_cast<const std::int64_t*>(property.data)) : 0;
            break;
        case kFileSize:
            finite_ = available && *static_cast<const std::int64_t*>(property.data) > 0;
            break;
        default:
            break;
    }
}

void MpvMediaPlayer::onMetadata(const mpv_node* metadata) {
    // Unavailable while a stream (re)connects: keep the title until the stream says otherwise.
    if (!metadata || metadata->format != MPV_FORMAT_NODE_MAP) return;
    const char* icyTitle = nullptr;
    const char* tagTitle = nullptr;
    for (int i = 0; i < metadata->u.list->num; ++i) {
        const mpv_node& value = metadata->u.list->values[i];
        if (value.format != MPV_FORMAT_STRING) continue;
        const char* key = metadata->u.list->keys[i];
        // Vorbis comment names are case-insensitive.
        if (strcasecmp(key, "icy-title") == 0) icyTitle = value.u.string;
        if (strcasecmp(key, "title") == 0) tagTitle = value.u.string;
    }
    const char* raw = icyTitle ? icyTitle : tagTitle;
    if (raw) title_ = decodeIcyTitle(raw);
}

// --- What the strip shows ------------------------------------------------------------------

Clock::duration MpvMediaPlayer::played(Clock::time_point now) const {
    return playedBefore_ + (playingSince_ ? now - *playingSince_ : Clock::duration::zero());
}

std::string MpvMediaPlayer::stateText() const {
    switch (phase_) {
        case Phase::Ready:
            return status_text::kReady;
        case Phase::Stopped:
            return status_text::kStopped;
        case Phase::Failed:
            return failure_;
        case Phase::WaitingToRetry:
            return status_text::kReconnecting;
        case Phase::Active:
            break;
    }
    if (isPlaying()) return status_text::kPlaying;
    // The stream ended a moment ago and is about to be tried again, or to fail; a file that
    // has a length is over.
    if (pendingEnd_) {
        if (pendingEnd_->finite && pendingEnd_->reason == MPV_END_FILE_REASON_EOF) {
            return status_text::kStopped;
        }
        return pendingEnd_->loaded || retrying_ ? status_text::kReconnecting
                                                : status_text::kConnecting;
    }
    // paused-for-cache flips to no for a moment when a stream loads, before buffering has
    // begun; only its yes means buffering.
    if (loaded_ && pausedForCache_) return status_text::buffering(countShown_);
    return retrying_ ? status_text::kReconnecting : status_text::kConnecting;
}

void MpvMediaPlayer::update() {
    const auto now = Clock::now();
    const bool playing = isPlaying();
    if (playing && !playingSince_) {
        playingSince_ = now;
        // Audio flows: the try worked, and a later drop gets the whole schedule again.
        watchdog_.stop();
        retrying_ = false;
        schedule_.reset();
    } else if (!playing && playingSince_) {
        playedBefore_ += now - *playingSince_;
        playingSince_.reset();
        // A stall: the buffer has this long to fill again before the stream counts as lost.
        if (attemptStarted() && loaded_) {
            watchdog_.startOnce(options_.bufferTimeout, [this] { onWatchdog(); });
        }
    }

    // A count that comes sooner after the one on show waits for its turn.
    if (bufferingPercent_ != countShown_) {
        const auto since = now - countShownAt_;
        if (!countOnShow_ || since >= kBufferCountStep) {
            countShown_ = bufferingPercent_;
            countShownAt_ = now;
        } else if (!countTimer_.isActive()) {
            countTimer_.startOnce(
                std::chrono::ceil<std::chrono::milliseconds>(kBufferCountStep - since),
                [this] { update(); });
        }
    }

    StatusLine line;
    line.state = stateText();
    countOnShow_ = line.state == status_text::buffering(countShown_);
    if (playing) line.title = title_;
    const bool counting = phase_ == Phase::Active || phase_ == Phase::WaitingToRetry;
    if (counting && (playing || playedBefore_ > Clock::duration::zero())) {
        line.elapsed =
            status_text::elapsed(std::chrono::duration_cast<std::chrono::seconds>(played(now)));
    }
    if (line != shown_) {
        shown_ = line;
        display_.show(shown_);
    }
    if (this->playing() != reportedPlaying_ || streamTitle() != reportedTitle_) {
        reportedPlaying_ = this->playing();
        reportedTitle_ = streamTitle();
        if (PlaybackChanged) PlaybackChanged();
    }

    if (playing) {
        // Wake when the shown second changes, and only while playing.
        const auto intoSecond = played(now) % std::chrono::seconds(1);
        const auto untilNext = std::chrono::ceil<std::chrono::milliseconds>(1s - intoSecond);
        clockTimer_.startOnce(untilNext + 1ms, [this] { update(); });
    } else {
        clockTimer_.stop();
    }
}

}  // namespace

std::unique_ptr<MediaPlayer> makeMpvMediaPlayer(StatusDisplay& display, EngineOptions options) {
    return std::make_unique<MpvMediaPlayer>(display, std::move(options));
}

}  // namespace media
