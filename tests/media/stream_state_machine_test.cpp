// The stream's life in milliseconds of test time: no engine, no event loop. Each rule is one
// test, with short waits of the tests' own; the product's waits are pinned once, below.
#include <gtest/gtest.h>

#include <functional>

#include "media/stream_state_machine.h"

using namespace std::chrono_literals;
using Machine = media::StreamStateMachine;
using Time = Machine::Time;
using EndReason = Machine::EndReason;
using media::Failure;
using media::StreamState;
using Cause = Failure::Cause;

namespace {

TEST(StreamSettings, TheProductsWaitsAndBounds) {
    const Machine::Settings settings;
    EXPECT_EQ(settings.openTimeout, 10s);
    EXPECT_EQ(settings.bufferTimeout, 15s);
    EXPECT_EQ(settings.hold, 5s);
    EXPECT_EQ(settings.readAhead, 10s);
    EXPECT_EQ(settings.reconnectDelays,
              (std::vector<std::chrono::milliseconds>{1s, 2s, 4s, 8s, 16s}));
    EXPECT_EQ(settings.retryEvery, 30s);
    EXPECT_EQ(settings.stallBound, 2500ms);
    EXPECT_EQ(settings.engineStartBound, 1000ms);
    EXPECT_EQ(settings.soundRetryEvery, 2000ms);
    EXPECT_EQ(settings.settleDelay, 150ms);
    EXPECT_EQ(settings.bufferCountStep, 250ms);
}

Machine::Settings shortWaits() {
    Machine::Settings settings;
    settings.openTimeout = 400ms;
    settings.bufferTimeout = 600ms;
    settings.reconnectDelays = {10ms, 20ms, 40ms};
    settings.retryEvery = 100ms;
    settings.settleDelay = 5ms;
    settings.bufferCountStep = 60ms;
    settings.engineStartBound = 50ms;
    settings.soundRetryEvery = 30ms;
    return settings;
}

// Drives the machine the way the adapter does: every step ends in decide(), and moving the clock
// wakes the machine whenever it asked to be woken. It reads the typed status; the words for it
// are status_text's.
class StreamLife : public ::testing::Test {
protected:
    struct Shown {
        Time at;
        media::StreamStatus status;
    };

    void decide() {
        auto decisions = machine.decide(now);
        for (const auto& command : decisions.commands) {
            switch (command.kind) {
                case Machine::Command::Load:
                    loads.push_back(now);
                    serial = command.serial;
                    break;
                case Machine::Command::Stop:
                    ++stops;
                    break;
                case Machine::Command::ReloadSound:
                    ++soundTries;
                    break;
                case Machine::Command::ReplaceEngine:
                    ++freshEngines;
                    break;
            }
        }
        if (decisions.status) shown.push_back({now, *decisions.status});
        if (decisions.stateChanged) ++stateChanges;
        if (decisions.sampleBuffer) ++samples;
        wakeAt = decisions.wakeAt;
    }
    void advance(Time span) {
        const Time end = now + span;
        while (wakeAt && *wakeAt <= end) {
            now = *wakeAt;
            machine.wake(now);
            decide();
        }
        now = end;
    }
    // Jumps to the next moment the machine asked to be woken.
    void toNextWake() {
        ASSERT_TRUE(wakeAt);
        advance(*wakeAt - now);
    }
    const media::StreamStatus& status() const { return shown.back().status; }
    StreamState state() const { return status().state; }
    // What the strip shows of a failure: its state and cause.
    bool failedWith(Cause cause) const {
        return state() == StreamState::Failed && status().failure.cause == cause;
    }

    void open() {
        machine.load(now);
        decide();
    }
    // The engine answers the last load and starts its entry.
    void start() {
        ++entry;
        machine.loadReplied(serial, true, entry, now);
        machine.fileStarted(entry, now);
        decide();
    }
    void play() {
        machine.fileLoaded(now);
        machine.playbackRestarted();
        machine.coreIdleChanged(false);
        machine.pausedForCacheChanged(false);
        decide();
    }
    void end(EndReason reason, Failure atEnd = {}) {
        machine.fileEnded(entry, reason, atEnd, now);
        decide();
    }
    // The last end counts as final.
    void settle() { advance(settings.settleDelay); }
    // The engine starts the try and fails it at once, saying why in its log.
    void failTry(Failure logged = {}, Failure atEnd = {}) {
        start();
        machine.failureLogged(logged);
        end(EndReason::Error, atEnd);
        settle();
    }
    // A station that played and went away, now waiting for its first new try.
    void dropAfterPlaying() {
        open();
        start();
        play();
        advance(1s);
        end(EndReason::Eof);
        settle();
    }

    const Machine::Settings settings = shortWaits();
    Machine machine{settings};
    Time now{100000};
    std::optional<Time> wakeAt;
    std::vector<Time> loads;
    std::uint64_t serial = 0;
    int stops = 0;
    int soundTries = 0;
    int freshEngines = 0;
    std::int64_t entry = 0;
    std::vector<Shown> shown;
    int samples = 0;
    int stateChanges = 0;

    void SetUp() override { decide(); }
};

TEST_F(StreamLife, DropIsRetriedAfterEachWaitOfTheScheduleThenEveryRetryWait) {
    EXPECT_EQ(state(), StreamState::Ready);
    dropAfterPlaying();
    std::vector<Time> tries = {now - settings.settleDelay};
    EXPECT_EQ(state(), StreamState::Reconnecting);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(machine.wanted());
    // Each try fails at once, however it fails; it is tried again after the next wait.
    const Failure failures[] = {
        {Cause::ConnectionRefused}, {Cause::NotFound}, {Cause::HostNotFound}};
    const std::size_t scheduled = settings.reconnectDelays.size();
    for (std::size_t i = 0; i < scheduled + 3; ++i) {
        toNextWake();
        tries.push_back(now);
        failTry(failures[i % std::size(failures)]);
        EXPECT_EQ(state(), StreamState::Reconnecting);
    }
    ASSERT_EQ(loads.size(), tries.size());
    // Each gap is the wait plus the moment an end takes to count as final.
    for (std::size_t i = 0; i + 1 < tries.size(); ++i) {
        const Time wait = i < scheduled ? settings.reconnectDelays[i] : settings.retryEvery;
        EXPECT_EQ(tries[i + 1] - tries[i], wait + settings.settleDelay) << i;
    }
    EXPECT_TRUE(machine.wanted());
}

TEST_F(StreamLife, RetryThatHangsIsBoundedAndWaitsItsTurn) {
    dropAfterPlaying();
    toNextWake();
    start();
    advance(settings.openTimeout);
    EXPECT_EQ(state(), StreamState::Reconnecting);
    toNextWake();
    EXPECT_EQ(now - loads[loads.size() - 2], settings.openTimeout + settings.reconnectDelays[1]);
}

TEST_F(StreamLife, StationThatNeverPlayedFailsWhenTheScheduleRunsOut) {
    open();
    start();
    machine.fileLoaded(now);
    end(EndReason::Eof);  // loaded but never played
    settle();
    for (std::size_t i = 0; i < settings.reconnectDelays.size(); ++i) {
        toNextWake();
        failTry();
    }
    EXPECT_TRUE(failedWith(Cause::Unknown));
    EXPECT_FALSE(wakeAt);
    EXPECT_FALSE(machine.wanted());
}

// No new try mends these, even for a station that played before.
TEST_F(StreamLife, UntrustedCertificateAndMissingSoundDeviceAreFinal) {
    for (const Cause cause : {Cause::CertificateNotTrusted, Cause::NoSoundDevice}) {
        dropAfterPlaying();
        toNextWake();
        failTry({cause}, cause == Cause::NoSoundDevice ? Failure{cause} : Failure{});
        EXPECT_TRUE(failedWith(cause));
        EXPECT_FALSE(wakeAt);
    }
}

TEST_F(StreamLife, LoggedCauseNamesTheFailureOnceTheEndSettles) {
    open();
    start();
    end(EndReason::Error);
    machine.failureLogged({Cause::ConnectionRefused});  // log lines may follow the end
    EXPECT_EQ(state(), StreamState::Connecting);
    settle();
    EXPECT_TRUE(failedWith(Cause::ConnectionRefused));
}

// The buffer is asked for once per played second; its end moves on while bytes come, however
// slowly, and stands still when none come.
TEST_F(StreamLife, StreamIsReplacedWhenNoBytesComeNotWhenTheyComeSlowly) {
    open();
    start();
    play();
    advance(3500ms);
    EXPECT_EQ(samples, 4);  // at 0:00, 0:01, 0:02 and 0:03, nothing in between
    // A link at 90 % of the stream's rate, for longer than the bound.
    Time end = 4900ms;
    for (int second = 0; second < 10; ++second, end += 900ms) {
        machine.bufferEnd(end, false, now);
        advance(1s);
    }
    EXPECT_EQ(loads.size(), 1u);
    machine.bufferEnd(end, false, now);
    advance(settings.stallBound - 1ms);
    machine.bufferEnd(end, true, now);  // the end is in: no stall
    machine.bufferEnd(end, false, now);
    decide();
    EXPECT_EQ(loads.size(), 1u);
    advance(1ms);
    machine.bufferEnd(end, false, now);
    decide();
    EXPECT_EQ(loads.size(), 2u);
    EXPECT_EQ(state(), StreamState::Reconnecting);
    EXPECT_EQ(status().played, 16s);
}

TEST_F(StreamLife, SoundDeviceThatNeverOpenedIsFinalOneThatWentAwayIsWaitedFor) {
    open();
    start();
    play();
    machine.soundOutputChanged(false);
    decide();
    EXPECT_TRUE(failedWith(Cause::NoSoundDevice));
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(wakeAt);

    open();
    start();
    machine.soundOutputChanged(true);
    play();
    advance(1s);
    machine.soundOutputChanged(false);  // the server went away; the stream plays on into nothing
    decide();
    EXPECT_EQ(state(), StreamState::NoSound);
    EXPECT_TRUE(machine.wanted());
    // No watchdog and no new connection while away: only the sound output is tried again.
    advance(settings.bufferTimeout + settings.openTimeout);
    EXPECT_EQ(soundTries,
              (settings.bufferTimeout + settings.openTimeout) / settings.soundRetryEvery);
    EXPECT_EQ(loads.size(), 2u);
    machine.soundOutputChanged(true);
    decide();
    EXPECT_EQ(state(), StreamState::Playing);
    const int tries = soundTries;
    advance(10 * settings.soundRetryEvery);
    EXPECT_EQ(soundTries, tries);
}

// An engine waiting for an earlier opener (a name lookup that hangs) does not start the load.
TEST_F(StreamLife, LoadTheEngineDoesNotStartGoesToAFreshEngine) {
    open();
    start();
    advance(2 * settings.engineStartBound);
    EXPECT_EQ(freshEngines, 0);

    open();
    advance(settings.engineStartBound - 1ms);
    EXPECT_EQ(freshEngines, 0);
    advance(1ms);
    EXPECT_EQ(freshEngines, 1);
    ASSERT_EQ(loads.size(), 3u);
    entry = 0;  // a fresh engine counts its entries from 1 again
    start();
    play();
    EXPECT_EQ(state(), StreamState::Playing);
    EXPECT_EQ(freshEngines, 1);
}

TEST_F(StreamLife, ResumeReloadsAWantedStationAndTheNetworkCutsTheWaitShort) {
    open();
    start();
    play();
    machine.networkConnected(now);  // playing: nothing to do
    decide();
    EXPECT_EQ(loads.size(), 1u);
    machine.systemResumed(now);
    decide();
    EXPECT_EQ(loads.size(), 2u);

    start();
    play();
    end(EndReason::Eof);
    settle();
    EXPECT_EQ(state(), StreamState::Reconnecting);
    machine.networkConnected(now);
    decide();
    EXPECT_EQ(loads.size(), 3u);

    machine.stop(now);
    machine.systemResumed(now);
    machine.networkConnected(now);
    decide();
    EXPECT_EQ(loads.size(), 3u);
    EXPECT_EQ(state(), StreamState::Stopped);
}

TEST_F(StreamLife, StreamThatPlaysAgainEarnsTheWholeScheduleBack) {
    dropAfterPlaying();
    toNextWake();
    failTry();
    toNextWake();
    start();
    play();
    end(EndReason::Eof);
    settle();
    toNextWake();
    EXPECT_EQ(loads.back() - loads[loads.size() - 2],
              settings.reconnectDelays[0] + settings.settleDelay);
}

TEST_F(StreamLife, FirstConnectionThatNeverPlaysTimesOut) {
    open();
    start();
    advance(settings.openTimeout - 1ms);
    EXPECT_EQ(state(), StreamState::Connecting);
    advance(1ms);
    EXPECT_TRUE(failedWith(Cause::TimedOut));
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(loads.size(), 1u);
}

TEST_F(StreamLife, BufferThatDoesNotFillIsBounded) {
    // At the start: a first connection gives up.
    open();
    start();
    advance(settings.openTimeout / 2);
    machine.fileLoaded(now);
    machine.pausedForCacheChanged(true);
    machine.bufferingChanged(40);
    decide();
    EXPECT_EQ(state(), StreamState::Buffering);
    EXPECT_EQ(status().bufferPercent, 40);
    advance(settings.bufferTimeout - 1ms);
    EXPECT_EQ(state(), StreamState::Buffering);
    advance(1ms);
    EXPECT_TRUE(failedWith(Cause::TimedOut));

    // After a stall: a stream that played is tried again.
    open();
    start();
    play();
    advance(5s);
    machine.coreIdleChanged(true);
    machine.pausedForCacheChanged(true);
    decide();
    advance(settings.bufferTimeout - 1ms);
    EXPECT_EQ(state(), StreamState::Buffering);
    EXPECT_EQ(status().bufferPercent, 0);
    advance(1ms);
    EXPECT_EQ(state(), StreamState::Reconnecting);
    EXPECT_EQ(status().played, 5s);
}

TEST_F(StreamLife, FiniteFileThatEndsIsStopped) {
    open();
    start();
    machine.sizeKnown(true);
    play();
    end(EndReason::Eof);
    EXPECT_EQ(state(), StreamState::Stopped);
    advance(settings.openTimeout + settings.retryEvery);
    EXPECT_EQ(state(), StreamState::Stopped);
    EXPECT_EQ(loads.size(), 1u);
    EXPECT_FALSE(wakeAt);
}

TEST_F(StreamLife, PlaylistThatNamesItselfTimesOut) {
    open();
    machine.loadReplied(serial, true, 1, now);
    const Time step = settings.openTimeout / 40;
    for (entry = 1; now + 2 * step < loads[0] + settings.openTimeout; ++entry) {
        machine.fileStarted(entry, now);
        decide();
        advance(step);
        machine.fileEnded(entry, EndReason::Other, {}, now);  // expanded into a further entry
        decide();
        advance(step);
    }
    EXPECT_EQ(state(), StreamState::Connecting);
    advance(2 * step);
    EXPECT_TRUE(failedWith(Cause::TimedOut));
}

// Whatever phase the stream is in, stop ends it: no timer is left to bring it back.
TEST_F(StreamLife, StopInEveryPhaseLeavesNothingWaiting) {
    const std::vector<std::pair<const char*, std::function<void()>>> phases = {
        {"connecting", [&] { start(); }},
        {"buffering",
         [&] {
             start();
             machine.fileLoaded(now);
             machine.pausedForCacheChanged(true);
         }},
        {"playing",
         [&] {
             start();
             play();
         }},
        {"ending",
         [&] {
             start();
             play();
             end(EndReason::Eof);
         }},
        {"waiting to retry",
         [&] {
             start();
             play();
             end(EndReason::Eof);
             settle();
         }},
    };
    for (const auto& [name, reach] : phases) {
        open();
        reach();
        decide();
        const auto loadsBefore = loads.size();
        machine.stop(now);
        decide();
        EXPECT_EQ(state(), StreamState::Stopped) << name;
        EXPECT_FALSE(wakeAt) << name;
        EXPECT_FALSE(machine.wanted()) << name;
        advance(settings.openTimeout + settings.bufferTimeout + settings.retryEvery);
        EXPECT_EQ(state(), StreamState::Stopped) << name;
        EXPECT_EQ(loads.size(), loadsBefore) << name;
    }
}

// The engine that went away, that never started, or that refused the load: the strip says so
// and nothing is tried until the listener asks again.
TEST_F(StreamLife, EngineFailuresEndTheStreamWithTheirReason) {
    const std::vector<std::pair<Cause, std::function<void()>>> failures = {
        {Cause::Unknown, [&] { machine.engineLost(now); }},
        {Cause::NoAudioEngine, [&] { machine.engineUnavailable(now); }},
        {Cause::Unknown, [&] { machine.loadReplied(serial, false, std::nullopt, now); }},
    };
    for (const auto& [cause, fail] : failures) {
        open();
        fail();
        decide();
        EXPECT_TRUE(failedWith(cause));
        EXPECT_FALSE(wakeAt);
        EXPECT_FALSE(machine.wanted());
    }
}

TEST_F(StreamLife, EventsOfAnEarlierLoadChangeNothing) {
    open();
    start();
    const auto staleSerial = serial;
    const auto staleEntry = entry;
    open();  // the listener clicked again
    start();
    machine.loadReplied(staleSerial, false, std::nullopt, now);
    machine.fileEnded(staleEntry, EndReason::Error, {}, now);
    decide();
    settle();
    EXPECT_EQ(state(), StreamState::Connecting);
    EXPECT_EQ(stops, 0);
    play();
    EXPECT_EQ(state(), StreamState::Playing);
}

TEST_F(StreamLife, StripTakesABufferCountAtMostEveryStepAndTheTitleWhilePlaying) {
    open();
    start();
    machine.fileLoaded(now);
    machine.pausedForCacheChanged(true);
    machine.bufferingChanged(5);
    decide();
    for (int percent = 10; percent <= 95; percent += 5) {
        machine.bufferingChanged(percent);
        decide();
        advance(settings.bufferCountStep / 6);
    }
    const int changesBefore = stateChanges;
    advance(settings.bufferCountStep);
    EXPECT_EQ(status().bufferPercent, 95);
    EXPECT_EQ(stateChanges, changesBefore);  // a new count is the same state
    std::optional<Time> last;
    for (const auto& [at, shownStatus] : shown) {
        if (shownStatus.state != StreamState::Buffering) continue;
        if (last) {
            EXPECT_GE(at - *last, settings.bufferCountStep) << shownStatus.bufferPercent;
        }
        last = at;
    }

    machine.bufferingChanged(100);
    machine.titleSent("Artist - Song");
    play();
    EXPECT_EQ(state(), StreamState::Playing);
    EXPECT_EQ(status().title, "Artist - Song");
    EXPECT_EQ(machine.streamTitle(), "Artist - Song");
    const auto lines = shown.size();
    advance(2500ms);
    EXPECT_EQ(status().played, 2s);
    EXPECT_EQ(shown.size(), lines + 2);          // once a second, nothing in between
    EXPECT_EQ(stateChanges, changesBefore + 1);  // Playing, once
}

}  // namespace
