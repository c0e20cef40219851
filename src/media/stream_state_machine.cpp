#include "media/stream_state_machine.h"

#include <limits>
#include <utility>

#include "media/icy_title.h"

namespace media {

namespace {

using namespace std::chrono_literals;
using Time = StreamStateMachine::Time;

// Playlist entry ids only grow; this one is past every id, so nothing matches it.
constexpr std::int64_t kNoEntry = std::numeric_limits<std::int64_t>::max();

bool due(const std::optional<Time>& at, Time now) { return at && *at <= now; }

void earliest(std::optional<Time>& result, const std::optional<Time>& at) {
    if (at && (!result || *at < *result)) result = at;
}

}  // namespace

StreamStateMachine::StreamStateMachine(Settings settings)
    : settings_(std::move(settings)),
      sessionFirstEntry_(kNoEntry),
      schedule_(settings_.reconnectDelays) {}

bool StreamStateMachine::reconnecting() const {
    return phase_ == Phase::Reconnecting || phase_ == Phase::WaitingToRetry ||
           (phase_ == Phase::Ending && pendingEnd_->shows == StreamState::Reconnecting);
}

bool StreamStateMachine::active() const {
    switch (phase_) {
        case Phase::Connecting:
        case Phase::Reconnecting:
        case Phase::Buffering:
        case Phase::Playing:
        case Phase::SoundAway:
        case Phase::Ending:
            return true;
        case Phase::Ready:
        case Phase::WaitingToRetry:
        case Phase::Stopped:
        case Phase::Failed:
            break;
    }
    return false;
}

// --- The window ----------------------------------------------------------------------------

void StreamStateMachine::load(Time now) { begin(false, now); }

void StreamStateMachine::stop(Time now) {
    endSession(now);
    phase_ = Phase::Stopped;
    commands_.push_back({Command::Stop});
}

// --- Sessions and attempts -----------------------------------------------------------------

void StreamStateMachine::begin(bool retry, Time now) {
    endSession(now);
    phase_ = retry ? Phase::Reconnecting : Phase::Connecting;
    chainedTitle_.forget();
    if (!retry) {
        title_.clear();
        playedBefore_ = {};
        schedule_.reset();
    }
    commands_.push_back({Command::Load, ++loadSerial_});
    watchdogAt_ = now + settings_.openTimeout;
    startAt_ = now + settings_.engineStartBound;
}

void StreamStateMachine::replaceStuckEngine(Time now) {
    commands_.push_back({Command::ReplaceEngine});
    // A fresh engine numbers its entries from 1 again and has no sound output yet.
    sessionFirstEntry_ = kNoEntry;
    soundAway_ = false;
    commands_.push_back({Command::Load, ++loadSerial_});
    startAt_ = now + settings_.engineStartBound;
}

void StreamStateMachine::endSession(Time now) {
    if (playingSince_) {
        playedBefore_ += now - *playingSince_;
        playingSince_.reset();
    }
    sessionFirstEntry_ = kNoEntry;
    currentEntry_ = 0;
    pendingEnd_.reset();
    watchdogAt_.reset();
    startAt_.reset();
    retryAt_.reset();
    settleAt_.reset();
    soundRetryAt_.reset();
    resetAttempt();
}

void StreamStateMachine::resetAttempt() {
    loaded_ = false;
    restarted_ = false;
    coreIdle_ = true;
    pausedForCache_ = false;
    bufferingPercent_ = 0;
    finite_ = false;
    bufferEnd_.reset();
}

// The phase of a try under way, as the engine's word on it stands. An entry that ended stays
// ended until the next one starts.
void StreamStateMachine::followEngine() {
    if (!active() || phase_ == Phase::Ending) return;
    if (loaded_ && soundAway_) {
        phase_ = Phase::SoundAway;
    } else if (loaded_ && restarted_ && !coreIdle_) {
        phase_ = Phase::Playing;
    } else if (phase_ == Phase::Reconnecting) {
        // A new try says so until the sound is back.
    } else if (loaded_ && pausedForCache_) {
        // paused-for-cache flips to no for a moment when a stream loads, before buffering has
        // begun; only its yes means buffering.
        phase_ = Phase::Buffering;
    } else {
        phase_ = Phase::Connecting;
    }
}

void StreamStateMachine::scheduleRetry(Time now) {
    auto delay = schedule_.next();
    // A station that played since it was chosen is not given up: it may be back at any time.
    if (!delay && hasPlayed(now)) delay = settings_.retryEvery;
    if (!delay) {
        giveUp({}, now);
        return;
    }
    endSession(now);
    // mpv may still be trying on its own (a stall); the new try starts from scratch.
    commands_.push_back({Command::Stop});
    phase_ = Phase::WaitingToRetry;
    retryAt_ = now + *delay;
}

void StreamStateMachine::giveUp(Failure why, Time now) {
    endSession(now);
    commands_.push_back({Command::Stop});
    phase_ = Phase::Failed;
    failure_ = why;
}

void StreamStateMachine::onWatchdog(Time now) {
    if (!active()) return;
    // A stall after the stream played is a drop; a hanging try of a dropped stream is one
    // try used up. Only a first connection that never gets going is given up at once.
    if (reconnecting() || hasPlayed(now)) {
        scheduleRetry(now);
    } else {
        giveUp({Failure::Cause::TimedOut}, now);
    }
}

void StreamStateMachine::settleEnd(Time now) {
    if (!pendingEnd_ || phase_ != Phase::Ending) return;
    const EndOfFile end = *pendingEnd_;
    pendingEnd_.reset();
    // No new try mends a certificate that is not trusted, nor a sound device on a machine
    // where none ever opened.
    const bool final = diagnosis_.certificateRefused() ||
                       (end.atEnd.cause == Failure::Cause::NoSoundDevice && !soundOpened_);
    if (final) {
        giveUp(diagnosis_.verdict(end.atEnd), now);
    } else if (end.loaded && end.reason == EndReason::Eof && end.finite) {
        // A file with a length, not a live stream, has simply ended.
        endSession(now);
        phase_ = Phase::Stopped;
    } else if (end.shows == StreamState::Reconnecting) {
        // It played or loaded, or was a new try already: the server may answer again.
        scheduleRetry(now);
    } else {
        giveUp(diagnosis_.verdict(end.atEnd), now);
    }
}

// --- The engine ----------------------------------------------------------------------------

void StreamStateMachine::loadReplied(std::uint64_t serial, bool ok,
                                     std::optional<std::int64_t> firstEntry, Time now) {
    if (serial == 0 || serial != loadSerial_ || !active()) return;
    if (!ok) {
        giveUp({}, now);
        return;
    }
    // loadfile answers with the id of the entry it added; entries that a playlist expands
    // into get later ids, so the session is every entry from this one on.
    if (firstEntry) sessionFirstEntry_ = *firstEntry;
}

void StreamStateMachine::fileStarted(std::int64_t entry, Time now) {
    if (!inSession(entry)) return;
    startAt_.reset();
    // One wait covers the whole way from the address to audio, however many entries a playlist
    // expands into: a playlist that names itself expands for ever and must still time out.
    // Only an entry after one that played starts a wait of its own.
    if (!watchdogAt_) watchdogAt_ = now + settings_.openTimeout;
    // mpv moved on to this entry, so an end of the one before was not the end of the stream.
    settleAt_.reset();
    pendingEnd_.reset();
    currentEntry_ = entry;
    resetAttempt();
    diagnosis_.clear();
    phase_ = reconnecting() ? Phase::Reconnecting : Phase::Connecting;
    followEngine();
}

void StreamStateMachine::fileLoaded(Time now) {
    if (!attemptStarted()) return;
    loaded_ = true;
    watchdogAt_ = now + settings_.bufferTimeout;
    followEngine();
}

void StreamStateMachine::playbackRestarted() {
    if (!attemptStarted()) return;
    restarted_ = true;
    followEngine();
}

void StreamStateMachine::fileEnded(std::int64_t entry, EndReason reason, const Failure& atEnd,
                                   Time now) {
    if (!inSession(entry)) return;
    // Any other reason follows our own stop or replacing load, or is a playlist being
    // expanded, whose first entry starts next.
    if (reason == EndReason::Other) return;
    // Until it settles, the strip says what most likely comes next: a file with a length is
    // over, a stream that loaded is tried again.
    StreamState shows =
        reconnecting() || loaded_ ? StreamState::Reconnecting : StreamState::Connecting;
    if (finite_ && reason == EndReason::Eof) shows = StreamState::Stopped;
    pendingEnd_ = EndOfFile{reason, atEnd, loaded_, finite_, shows};
    resetAttempt();
    phase_ = Phase::Ending;
    settleAt_ = now + settings_.settleDelay;
}

void StreamStateMachine::coreIdleChanged(bool idle) {
    if (!attemptStarted()) return;
    coreIdle_ = idle;
    followEngine();
}

void StreamStateMachine::pausedForCacheChanged(bool paused) {
    if (!attemptStarted()) return;
    // The percentage seen before the pause may be stale (it reads 100 for a moment as a
    // stream loads); count from 0 until mpv reports afresh.
    if (paused && !pausedForCache_) bufferingPercent_ = 0;
    pausedForCache_ = paused;
    followEngine();
}

void StreamStateMachine::bufferingChanged(int percent) {
    if (attemptStarted()) bufferingPercent_ = percent;
}

void StreamStateMachine::sizeKnown(bool hasSize) {
    // Live streams have no size; a file served whole does.
    if (attemptStarted()) finite_ = hasSize;
}

void StreamStateMachine::titleSent(std::string_view raw) {
    if (attemptStarted()) title_ = decodeIcyTitle(raw);
}

void StreamStateMachine::tagTitleSent(std::string_view raw) {
    if (attemptStarted()) title_ = decodeIcyTitle(chainedTitle_.newest(raw));
}

void StreamStateMachine::bufferEnd(std::chrono::milliseconds end, bool endReached, Time now) {
    // Bytes stopped coming while the socket stays open (a suspend, a dropped Wi-Fi): a new
    // connection now plays sooner than waiting for the buffer to empty and the network timeout.
    // Bytes that come slowly are no stall: the connection is kept, and mpv buffers again.
    if (phase_ != Phase::Playing || endReached || finite_) return;
    if (bufferEnd_ != end) {
        bufferEnd_ = end;
        bufferMovedAt_ = now;
    } else if (now - bufferMovedAt_ >= settings_.stallBound) {
        begin(true, now);
    }
}

void StreamStateMachine::soundOutputChanged(bool available) {
    // The engine's output outlives an entry: it is noted whatever plays.
    soundAway_ = !available;
    if (available) soundOpened_ = true;
    if (attemptStarted()) followEngine();
}

void StreamStateMachine::systemResumed(Time now) {
    // A first connection that never played starts again as a first connection.
    const bool retry = reconnecting() || hasPlayed(now);
    if (soundWanted()) begin(retry, now);
}

void StreamStateMachine::networkConnected(Time now) {
    if (phase_ == Phase::WaitingToRetry) begin(true, now);
}

void StreamStateMachine::failureLogged(const Failure& failure) {
    if (active()) diagnosis_.note(failure);
}

void StreamStateMachine::engineLost(Time now) {
    endSession(now);
    soundAway_ = false;  // the next engine opens an output of its own
    phase_ = Phase::Failed;
    failure_ = {};
}

void StreamStateMachine::engineUnavailable(Time now) {
    endSession(now);
    phase_ = Phase::Failed;
    failure_ = {Failure::Cause::NoAudioEngine};
}

// --- Time ----------------------------------------------------------------------------------

void StreamStateMachine::wake(Time now) {
    // The clock and a held-back count need only the decide() that follows.
    if (due(clockAt_, now)) clockAt_.reset();
    if (due(countAt_, now)) countAt_.reset();
    if (due(soundRetryAt_, now)) {
        soundRetryAt_.reset();
        commands_.push_back({Command::ReloadSound});
    }
    // The rest in the order they fell due; each may cancel the others.
    for (;;) {
        std::optional<Time> next;
        for (const auto* at : {&watchdogAt_, &startAt_, &retryAt_, &settleAt_}) {
            if (due(*at, now)) earliest(next, *at);
        }
        if (!next) return;
        if (watchdogAt_ == next) {
            watchdogAt_.reset();
            onWatchdog(now);
        } else if (startAt_ == next) {
            startAt_.reset();
            replaceStuckEngine(now);
        } else if (retryAt_ == next) {
            retryAt_.reset();
            begin(true, now);
        } else {
            settleAt_.reset();
            settleEnd(now);
        }
    }
}

Time StreamStateMachine::played(Time now) const {
    return playedBefore_ + (playingSince_ ? now - *playingSince_ : Time::zero());
}

void StreamStateMachine::update(Time now) {
    // Where no sound output ever opened, none is coming: say so instead of trying for ever.
    if (phase_ == Phase::SoundAway && !soundOpened_) giveUp({Failure::Cause::NoSoundDevice}, now);

    const bool playing = phase_ == Phase::Playing;
    if (playing && !playingSince_) {
        playingSince_ = now;
        bufferEnd_.reset();
        // Audio flows: the try worked, and a later drop gets the whole schedule again.
        watchdogAt_.reset();
        schedule_.reset();
    } else if (!playing && playingSince_) {
        playedBefore_ += now - *playingSince_;
        playingSince_.reset();
        // A stall: the buffer has this long to fill again before the stream counts as lost.
        // (Into a missing sound output the stream plays on; only the sound is waited for.)
        if (attemptStarted() && loaded_ && phase_ != Phase::SoundAway) {
            watchdogAt_ = now + settings_.bufferTimeout;
        }
    }

    if (phase_ != Phase::SoundAway) {
        soundRetryAt_.reset();
    } else if (!soundRetryAt_) {
        soundRetryAt_ = now + settings_.soundRetryEvery;
    }

    // A count that comes sooner after the one on show waits for its turn.
    if (bufferingPercent_ != countShown_) {
        const bool countOnShow = shown_ && shown_->state == StreamState::Buffering;
        if (!countOnShow || now - countShownAt_ >= settings_.bufferCountStep) {
            countShown_ = bufferingPercent_;
            countShownAt_ = now;
        } else if (!countAt_) {
            countAt_ = countShownAt_ + settings_.bufferCountStep;
        }
    }

    if (playing) {
        // Wake when the played second changes, and only while playing.
        const Time intoSecond = played(now) % std::chrono::seconds(1);
        clockAt_ = now + (1s - intoSecond) + 1ms;
    } else {
        clockAt_.reset();
    }
}

// --- What comes out ------------------------------------------------------------------------

StreamStatus StreamStateMachine::status(Time now) const {
    StreamStatus status;
    switch (phase_) {
        case Phase::Ready:
            status.state = StreamState::Ready;
            break;
        case Phase::Connecting:
            status.state = StreamState::Connecting;
            break;
        case Phase::Reconnecting:
        case Phase::WaitingToRetry:
            status.state = StreamState::Reconnecting;
            break;
        case Phase::Buffering:
            status.state = StreamState::Buffering;
            status.bufferPercent = countShown_;
            break;
        case Phase::Playing:
            status.state = StreamState::Playing;
            status.title = title_;
            break;
        case Phase::SoundAway:
            status.state = StreamState::NoSound;
            break;
        case Phase::Ending:
            status.state = pendingEnd_->shows;
            break;
        case Phase::Stopped:
            status.state = StreamState::Stopped;
            break;
        case Phase::Failed:
            status.state = StreamState::Failed;
            status.failure = failure_;
            break;
    }
    if (soundWanted() && (phase_ == Phase::Playing || playedBefore_ > Time::zero())) {
        status.played = std::chrono::duration_cast<std::chrono::seconds>(played(now));
    }
    return status;
}

StreamStateMachine::Decisions StreamStateMachine::decide(Time now) {
    update(now);
    Decisions decisions;
    decisions.commands = std::exchange(commands_, {});

    const StreamStatus status = this->status(now);
    // Once per played second, as the clock moves.
    decisions.sampleBuffer = phase_ == Phase::Playing && shown_ && status.played != shown_->played;
    if (status != shown_) {
        decisions.stateChanged =
            !shown_ || shown_->state != status.state || shown_->failure != status.failure;
        shown_ = status;
        decisions.status = status;
    }

    const bool wanted = soundWanted();
    const std::string title = wanted ? title_ : std::string();
    if (wanted != reportedWanted_ || title != reportedTitle_) {
        reportedWanted_ = wanted;
        reportedTitle_ = title;
        decisions.playbackChanged = true;
    }

    for (const auto* at :
         {&watchdogAt_, &startAt_, &retryAt_, &settleAt_, &clockAt_, &countAt_, &soundRetryAt_}) {
        earliest(decisions.wakeAt, *at);
    }
    return decisions;
}

}  // namespace media
