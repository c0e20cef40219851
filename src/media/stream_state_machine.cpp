#include "media/stream_state_machine.h"

#include <algorithm>
#include <limits>

#include "media/icy_title.h"
#include "media/status_text.h"

namespace media {

namespace {

using namespace std::chrono_literals;
using Time = StreamStateMachine::Time;

// How long an end of file waits for mpv to move on to a further entry of a playlist before it
// counts as the end of the stream. Log lines that explain a failure also arrive after the
// end-file event, so this wait lets them in too.
constexpr Time kEndSettleDelay = 150ms;

// mpv counts the buffer up on its 250 ms tick and again as data arrives, up to 8 times a
// second; the strip takes a new count at most as often as the tick, so that with the state
// changes around them it repaints at most 5 times a second while a stream fills.
constexpr Time kBufferCountStep = 250ms;

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
    phase_ = Phase::Active;
    retrying_ = retry;
    if (!retry) {
        title_.clear();
        playedBefore_ = {};
        schedule_.reset();
    }
    commands_.push_back({Command::Load, ++loadSerial_});
    watchdogAt_ = now + settings_.openTimeout;
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
    retryAt_.reset();
    settleAt_.reset();
    resetAttempt();
}

void StreamStateMachine::resetAttempt() {
    loaded_ = false;
    restarted_ = false;
    coreIdle_ = true;
    pausedForCache_ = false;
    bufferingPercent_ = 0;
    finite_ = false;
    fullestAhead_ = {};
}

void StreamStateMachine::scheduleRetry(Time now) {
    auto delay = schedule_.next();
    // A station that played since it was chosen is not given up: it may be back at any time.
    if (!delay && played(now) > Time::zero()) delay = settings_.retryEvery;
    if (!delay) {
        giveUp(status_text::kFailed, now);
        return;
    }
    endSession(now);
    // mpv may still be trying on its own (a stall); the new try starts from scratch.
    commands_.push_back({Command::Stop});
    phase_ = Phase::WaitingToRetry;
    retryAt_ = now + *delay;
}

void StreamStateMachine::giveUp(std::string why, Time now) {
    endSession(now);
    commands_.push_back({Command::Stop});
    phase_ = Phase::Failed;
    failure_ = std::move(why);
}

void StreamStateMachine::onWatchdog(Time now) {
    if (phase_ != Phase::Active) return;
    // A stall after the stream played is a drop; a hanging try of a dropped stream is one
    // try used up. Only a first connection that never gets going is given up at once.
    if (retrying_ || played(now) > Time::zero()) {
        scheduleRetry(now);
    } else {
        giveUp(status_text::kTimedOut, now);
    }
}

void StreamStateMachine::decideAfterEnd(Time now) {
    if (!pendingEnd_ || phase_ != Phase::Active) return;
    const EndOfFile end = *pendingEnd_;
    pendingEnd_.reset();
    // Retrying cannot help these, unless the stream had played before and the server now
    // answers with something else for a while.
    // A certificate that is not trusted does not mend itself either.
    const bool noDevice =
        FailureDiagnosis::noSoundDevice(end.error) || diagnosis_.certificateRefused();
    const bool hopeless = noDevice || FailureDiagnosis::unplayable(end.error);
    if (noDevice || (hopeless && !retrying_)) {
        giveUp(diagnosis_.verdict(end.error), now);
    } else if (end.loaded && end.reason == EndReason::Eof && end.finite) {
        // A file with a length, not a live stream, has simply ended.
        endSession(now);
        phase_ = Phase::Stopped;
    } else if (end.loaded || retrying_) {
        scheduleRetry(now);
    } else {
        giveUp(diagnosis_.verdict(end.error), now);
    }
}

// --- The engine ----------------------------------------------------------------------------

void StreamStateMachine::loadReplied(std::uint64_t serial, bool ok,
                                     std::optional<std::int64_t> firstEntry, Time now) {
    if (serial == 0 || serial != loadSerial_ || phase_ != Phase::Active) return;
    if (!ok) {
        giveUp(status_text::kFailed, now);
        return;
    }
    // loadfile answers with the id of the entry it added; entries that a playlist expands
    // into get later ids, so the session is every entry from this one on.
    if (firstEntry) sessionFirstEntry_ = *firstEntry;
}

void StreamStateMachine::fileStarted(std::int64_t entry, Time now) {
    if (!inSession(entry)) return;
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
}

void StreamStateMachine::fileLoaded(Time now) {
    if (!attemptStarted()) return;
    loaded_ = true;
    watchdogAt_ = now + settings_.bufferTimeout;
}

void StreamStateMachine::playbackRestarted() {
    if (attemptStarted()) restarted_ = true;
}

void StreamStateMachine::fileEnded(std::int64_t entry, EndReason reason, int error, Time now) {
    if (!inSession(entry)) return;
    // Any other reason follows our own stop or replacing load, or is a playlist being
    // expanded, whose first entry starts next.
    if (reason == EndReason::Other) return;
    pendingEnd_ = EndOfFile{reason, error, loaded_, finite_};
    resetAttempt();
    settleAt_ = now + kEndSettleDelay;
}

void StreamStateMachine::coreIdleChanged(bool idle) {
    if (attemptStarted()) coreIdle_ = idle;
}

void StreamStateMachine::pausedForCacheChanged(bool paused) {
    if (!attemptStarted()) return;
    // The percentage seen before the pause may be stale (it reads 100 for a moment as a
    // stream loads); count from 0 until mpv reports afresh.
    if (paused && !pausedForCache_) bufferingPercent_ = 0;
    pausedForCache_ = paused;
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

void StreamStateMachine::bufferAhead(std::chrono::milliseconds ahead, bool endReached, Time now) {
    // Bytes stopped coming while the socket stays open (a suspend, a dropped Wi-Fi): a new
    // connection now plays sooner than waiting for the buffer to empty and the network timeout.
    if (!isPlaying() || endReached || finite_) return;
    fullestAhead_ = std::max(fullestAhead_, ahead);
    if (fullestAhead_ - ahead >= settings_.stallBound) begin(true, now);
}

void StreamStateMachine::systemResumed(Time now) {
    // A first connection that never played starts again as a first connection.
    const bool retry = phase_ == Phase::WaitingToRetry || retrying_ || played(now) > Time::zero();
    if (phase_ == Phase::Active || phase_ == Phase::WaitingToRetry) begin(retry, now);
}

void StreamStateMachine::networkConnected(Time now) {
    if (phase_ == Phase::WaitingToRetry) begin(true, now);
}

void StreamStateMachine::engineLog(std::string_view prefix, std::string_view level,
                                   std::string_view text) {
    if (phase_ == Phase::Active) diagnosis_.noteLog(prefix, level, text);
}

void StreamStateMachine::engineLost(Time now) {
    endSession(now);
    phase_ = Phase::Failed;
    failure_ = status_text::kFailed;
}

void StreamStateMachine::engineUnavailable(Time now) {
    endSession(now);
    phase_ = Phase::Failed;
    failure_ = status_text::kNoAudioEngine;
}

// --- Time ----------------------------------------------------------------------------------

void StreamStateMachine::wake(Time now) {
    // The strip's clock and a held-back count need only the decide() that follows.
    if (due(clockAt_, now)) clockAt_.reset();
    if (due(countAt_, now)) countAt_.reset();
    // The rest in the order they fell due; each may cancel the others.
    for (;;) {
        std::optional<Time> next;
        for (const auto* at : {&watchdogAt_, &retryAt_, &settleAt_}) {
            if (due(*at, now)) earliest(next, *at);
        }
        if (!next) return;
        if (watchdogAt_ == next) {
            watchdogAt_.reset();
            onWatchdog(now);
        } else if (retryAt_ == next) {
            retryAt_.reset();
            begin(true, now);
        } else {
            settleAt_.reset();
            decideAfterEnd(now);
        }
    }
}

// --- What comes out ------------------------------------------------------------------------

Time StreamStateMachine::played(Time now) const {
    return playedBefore_ + (playingSince_ ? now - *playingSince_ : Time::zero());
}

std::string StreamStateMachine::stateText() const {
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
        if (pendingEnd_->finite && pendingEnd_->reason == EndReason::Eof) {
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

StreamStateMachine::Decisions StreamStateMachine::decide(Time now) {
    const bool playing = isPlaying();
    if (playing && !playingSince_) {
        playingSince_ = now;
        // Audio flows: the try worked, and a later drop gets the whole schedule again.
        watchdogAt_.reset();
        retrying_ = false;
        schedule_.reset();
    } else if (!playing && playingSince_) {
        playedBefore_ += now - *playingSince_;
        playingSince_.reset();
        // A stall: the buffer has this long to fill again before the stream counts as lost.
        if (attemptStarted() && loaded_) watchdogAt_ = now + settings_.bufferTimeout;
    }

    // A count that comes sooner after the one on show waits for its turn.
    if (bufferingPercent_ != countShown_) {
        if (!countOnShow_ || now - countShownAt_ >= kBufferCountStep) {
            countShown_ = bufferingPercent_;
            countShownAt_ = now;
        } else if (!countAt_) {
            countAt_ = countShownAt_ + kBufferCountStep;
        }
    }

    Decisions decisions;
    decisions.commands = std::move(commands_);
    commands_.clear();

    StatusLine line;
    line.state = stateText();
    countOnShow_ = line.state == status_text::buffering(countShown_);
    if (playing) line.title = title_;
    const bool counting = phase_ == Phase::Active || phase_ == Phase::WaitingToRetry;
    if (counting && (playing || playedBefore_ > Time::zero())) {
        line.elapsed =
            status_text::elapsed(std::chrono::duration_cast<std::chrono::seconds>(played(now)));
    }
    // Once per played second, as the clock moves.
    decisions.sampleBuffer = playing && shown_ && line.elapsed != shown_->elapsed;
    if (line != shown_) {
        shown_ = line;
        decisions.show = line;
    }

    // Sound plays or is on its way to playing while a load or a retry is under way.
    const std::string title = counting ? title_ : std::string();
    if (counting != reportedPlaying_ || title != reportedTitle_) {
        reportedPlaying_ = counting;
        reportedTitle_ = title;
        decisions.playbackChanged = true;
    }

    if (playing) {
        // Wake when the shown second changes, and only while playing.
        const Time intoSecond = played(now) % std::chrono::seconds(1);
        clockAt_ = now + (1s - intoSecond) + 1ms;
    } else {
        clockAt_.reset();
    }

    for (const auto* at : {&watchdogAt_, &retryAt_, &settleAt_, &clockAt_, &countAt_}) {
        earliest(decisions.wakeAt, *at);
    }
    return decisions;
}

}  // namespace media
