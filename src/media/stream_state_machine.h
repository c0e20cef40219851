#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/failure_diagnosis.h"
#include "media/icy_title.h"
#include "media/reconnect_schedule.h"
#include "media/stream_status.h"

namespace media {

// The life of the opened stream, apart from any engine or event loop: what the engine reports
// and the passing of time go in; what to tell the engine, when to wake and the stream's status
// come out. Time is any steady count of milliseconds the caller keeps; tests move it by hand.
//
// The inputs only note what happened, in the machine's own terms (the engine's adapter words
// mpv's events so). decide() then works out the consequences of the batch (a drain of engine
// events, a call from the window, a wake-up), so that events arriving together count as one
// change, and reports what changed.
class StreamStateMachine {
public:
    using Time = std::chrono::milliseconds;

    struct Settings {
        // Longest wait from starting a stream to knowing what it holds: mpv has no bound of its
        // own on a server that keeps sending bytes it cannot recognise.
        std::chrono::milliseconds openTimeout{10000};
        // Longest wait for the buffer to fill, at the start or after a stall.
        std::chrono::milliseconds bufferTimeout{15000};
        // Stream held before playing starts, and again after a stall, so that a link's
        // hiccups pass unheard. The engine waits on it; the machine only follows.
        std::chrono::milliseconds hold{5000};
        // How far ahead of playback the engine may read. Never below the hold: mpv quietly
        // shortens the hold to it.
        std::chrono::milliseconds readAhead{10000};
        // Waits before each new try of a stream that dropped.
        ReconnectSchedule::Delays reconnectDelays{std::chrono::seconds(1), std::chrono::seconds(2),
                                                  std::chrono::seconds(4), std::chrono::seconds(8),
                                                  std::chrono::seconds(16)};
        // Once those are used up, the wait between tries of a station that played since it was
        // chosen: it is tried for as long as the listener wants it.
        std::chrono::milliseconds retryEvery{30000};
        // While a stream plays, the end of its buffer moves on as data arrives, slowly on a
        // link slower than the stream; when it has stood still this long, no data came, and the
        // connection is replaced before the buffer runs dry. (mpv's cache speed is no help: it
        // keeps its last figure while the socket is silent.)
        std::chrono::milliseconds stallBound{2500};
        // mpv starts a new entry within a few milliseconds of the load, unless the engine waits
        // for an earlier opener (a name lookup that hangs cannot be cut short); past this bound
        // the load goes to a fresh engine.
        std::chrono::milliseconds engineStartBound{1000};
        // While the sound server is away, how often the engine tries to reach it again: a local,
        // cheap try that leaves the station's connection as it is.
        std::chrono::milliseconds soundRetryEvery{2000};
        // How long an end of file waits for mpv to move on to a further entry of a playlist
        // before it counts as the end of the stream. Log lines that explain a failure also
        // arrive after the end-file event, so this wait lets them in too.
        std::chrono::milliseconds settleDelay{150};
        // mpv counts the buffer up on its 250 ms tick and again as data arrives, up to 8 times
        // a second; the status takes a new count at most this often, so that with the state
        // changes around them the strip repaints at most 5 times a second while a stream fills.
        std::chrono::milliseconds bufferCountStep{250};
    };

    // What the engine is to do. A load replaces whatever plays; its reply carries the serial.
    // ReloadSound opens the sound output again; ReplaceEngine leaves the engine to end on its
    // own, and the next load goes to a fresh one.
    struct Command {
        enum Kind { Load, Stop, ReloadSound, ReplaceEngine } kind;
        std::uint64_t serial = 0;
        bool operator==(const Command&) const = default;
    };

    struct Decisions {
        std::vector<Command> commands;       // in the order given
        std::optional<StreamStatus> status;  // when it changed
        // The state or the failure in that status is new: not only a count, a title or the clock.
        bool stateChanged = false;
        bool playbackChanged = false;  // wanted() or streamTitle() changed
        std::optional<Time> wakeAt;    // when to call wake(); none while nothing waits on time
        // Report the buffer with bufferEnd(): once per played second, on the wake that moves
        // the strip's clock, so watching for a stall costs no wake of its own.
        bool sampleBuffer = false;
    };

    enum class EndReason { Eof, Error, Other };

    explicit StreamStateMachine(Settings settings);

    // From the window: start the opened address afresh, or stop it.
    void load(Time now);
    void stop(Time now);
    // Whether a try is under way, so that play has nothing to start.
    bool active() const;

    // From the engine. Entries are the engine's playlist entry ids, growing from 1 in each engine.
    void loadReplied(std::uint64_t serial, bool ok, std::optional<std::int64_t> firstEntry,
                     Time now);
    void fileStarted(std::int64_t entry, Time now);
    void fileLoaded(Time now);
    void playbackRestarted();
    // atEnd is what the end itself says failed (often nothing: the log lines say more).
    void fileEnded(std::int64_t entry, EndReason reason, const Failure& atEnd, Time now);
    void coreIdleChanged(bool idle);
    void pausedForCacheChanged(bool paused);
    void bufferingChanged(int percent);
    void sizeKnown(bool hasSize);
    // The title the stream sends, as it comes (ICY title bytes or a tag).
    void titleSent(std::string_view raw);
    // How far into the stream the engine's buffer reaches, and whether it has the stream's end.
    void bufferEnd(std::chrono::milliseconds end, bool endReached, Time now);
    // The sound output opened (available), or the engine plays into nothing because the sound
    // server went away or was never there.
    void soundOutputChanged(bool available);
    // A cause of failure the engine logged for the try under way; it may come after the end.
    void failureLogged(const Failure& failure);
    // A tag title (Vorbis comments, ID3): of a chained stream, the newest part's is shown.
    void tagTitleSent(std::string_view raw);
    // The engine shut down by itself, or could not be started at all.
    void engineLost(Time now);
    void engineUnavailable(Time now);

    // From the system: the machine woke from sleep (connections are likely dead), and the
    // network became connected (a wait for the next try is pointless).
    void systemResumed(Time now);
    void networkConnected(Time now);

    // Runs whatever was due by now.
    void wake(Time now);

    // What the inputs since the last call mean and what changed, for the caller to carry out
    // and show. Called after each batch of inputs.
    Decisions decide(Time now);

    // As of the last decide(): whether the listener wants sound (it plays, or is on its way to
    // playing, or waits for the next try), and the stream's title meanwhile.
    bool wanted() const { return reportedWanted_; }
    std::string streamTitle() const { return reportedTitle_; }

private:
    enum class Phase {
        Ready,         // nothing loaded yet
        Connecting,    // a first try, until the stream buffers or plays
        Reconnecting,  // a new try of a stream that dropped or never played, until it plays
        Buffering,
        Playing,
        SoundAway,  // the stream plays on, but the sound server is gone; tried until it is back
        Ending,     // the entry ended; a further entry of a playlist may start yet
        WaitingToRetry,
        Stopped,  // by the listener, or a file with a length that played to its end
        Failed,   // failure_ says why
    };
    struct EndOfFile {
        EndReason reason;
        Failure atEnd;
        bool loaded;
        bool finite;
        StreamState shows;  // what the strip says while the end settles
    };

    // The consequences of a batch of inputs: the clock of time played, the buffer count on
    // show, what waits on time.
    void update(Time now);
    void begin(bool retry, Time now);
    void replaceStuckEngine(Time now);
    void endSession(Time now);
    void resetAttempt();
    void followEngine();
    void scheduleRetry(Time now);
    void giveUp(Failure why, Time now);
    void onWatchdog(Time now);
    void settleEnd(Time now);
    bool inSession(std::int64_t entry) const { return active() && entry >= sessionFirstEntry_; }
    bool attemptStarted() const { return active() && currentEntry_ != 0; }
    bool soundWanted() const { return active() || phase_ == Phase::WaitingToRetry; }
    // A new try of the stream is under way or waited for: what the listener sees as
    // reconnecting, and the one record of it.
    bool reconnecting() const;
    bool hasPlayed(Time now) const { return played(now) > Time::zero(); }
    Time played(Time now) const;
    StreamStatus status(Time now) const;

    const Settings settings_;
    std::vector<Command> commands_;

    // The current load of the address ("session"): events of older loads are ignored.
    Phase phase_ = Phase::Ready;
    std::uint64_t loadSerial_ = 0;
    std::int64_t sessionFirstEntry_;
    std::int64_t currentEntry_ = 0;
    std::optional<EndOfFile> pendingEnd_;  // while Ending
    Failure failure_;
    ReconnectSchedule schedule_;
    FailureDiagnosis diagnosis_;

    // What the engine said of the current attempt, from its start-file on.
    bool loaded_ = false;
    bool restarted_ = false;
    bool coreIdle_ = true;
    bool pausedForCache_ = false;
    int bufferingPercent_ = 0;
    bool finite_ = false;
    bool soundAway_ = false;
    // The buffer's end at the last sample, and when it last moved.
    std::optional<std::chrono::milliseconds> bufferEnd_;
    Time bufferMovedAt_{};

    // A sound output opened since the program started: only then may a missing one come back.
    bool soundOpened_ = false;

    // The buffer count in the status, and when it was taken.
    int countShown_ = 0;
    Time countShownAt_{};

    std::string title_;
    ChainedTitle chainedTitle_;
    Time playedBefore_{};
    std::optional<Time> playingSince_;

    // What waits on time.
    std::optional<Time> watchdogAt_;  // the open or buffering bound
    std::optional<Time> startAt_;     // the engine has not started the load
    std::optional<Time> soundRetryAt_;
    std::optional<Time> retryAt_;
    std::optional<Time> settleAt_;  // an end of file becomes final
    std::optional<Time> clockAt_;   // the played second changes
    std::optional<Time> countAt_;   // a held-back buffer count may show

    // What the last decide() reported.
    std::optional<StreamStatus> shown_;
    bool reportedWanted_ = false;
    std::string reportedTitle_;
};

}  // namespace media
