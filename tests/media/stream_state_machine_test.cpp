// The stream's life in milliseconds of test time: no engine, no event loop. Each rule is one
// test, with short waits of the tests' own; the product's waits are pinned once, below.
#include <gtest/gtest.h>

#include <mpv/client.h>

#include <functional>

#include "media/status_text.h"
#include "media/stream_state_machine.h"

using namespace std::chrono_literals;
using Machine = media::StreamStateMachine;
using Time = Machine::Time;
using EndReason = Machine::EndReason;

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
    return settings;
}

// Drives the machine the way the adapter does: every step ends in update() and decide(), and
// moving the clock wakes the machine whenever it asked to be woken.
class StreamLife : public ::testing::Test {
protected:
    struct Shown {
        Time at;
        StatusLine line;
    };

    void decide() {
        machine.update(now);
        auto decisions = machine.decide(now);
        for (const auto& command : decisions.commands) {
            if (command.kind == Machine::Command::Load) {
                loads.push_back(now);
                serial = command.serial;
            } else {
                ++stops;
            }
        }
        if (decisions.status) shown.push_back({now, media::status_text::line(*decisions.status)});
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
    std::string state() const { return shown.back().line.text(); }

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
    void end(EndReason reason, int error = 0) {
        machine.fileEnded(entry, reason, error, now);
        decide();
    }
    // The last end counts as final.
    void settle() { advance(settings.settleDelay); }
    // The engine starts the try and fails it at once, saying why in its log.
    void failTry(int error = MPV_ERROR_LOADING_FAILED, const char* log = "") {
        start();
        machine.engineLog("ffmpeg", "error", log);
        end(EndReason::Error, error);
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
    std::int64_t entry = 0;
    std::vector<Shown> shown;
    int samples = 0;

    void SetUp() override { decide(); }
};

TEST_F(StreamLife, DropIsRetriedAfterEachWaitOfTheScheduleThenEveryRetryWait) {
    EXPECT_EQ(state(), "Ready");
    dropAfterPlaying();
    std::vector<Time> tries = {now - settings.settleDelay};
    EXPECT_EQ(state(), "Reconnecting\u2026");
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(machine.wanted());
    // Each try fails at once, however it fails; it is tried again after the next wait.
    const std::vector<const char*> failures = {
        "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused",
        "http: HTTP error 404 File Not Found",
        "tcp: Failed to resolve hostname radio.invalid: Name or service not known"};
    const std::size_t scheduled = settings.reconnectDelays.size();
    for (std::size_t i = 0; i < scheduled + 3; ++i) {
        toNextWake();
        tries.push_back(now);
        failTry(MPV_ERROR_LOADING_FAILED, failures[i % failures.size()]);
        EXPECT_EQ(state(), "Reconnecting\u2026");
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
    EXPECT_EQ(state(), "Reconnecting\u2026");
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
    EXPECT_EQ(state(), "Failed");
    EXPECT_FALSE(wakeAt);
    EXPECT_FALSE(machine.wanted());
}

// No new try mends these, even for a station that played before.
TEST_F(StreamLife, UntrustedCertificateAndMissingSoundDeviceAreFinal) {
    const struct {
        const char* log;
        int error;
        const char* expected;
    } cases[] = {
        {"tls: Peer certificate failed verification\n", MPV_ERROR_LOADING_FAILED,
         "Certificate not trusted"},
        {"Could not open/initialize audio device -> no sound.\n", MPV_ERROR_AO_INIT_FAILED,
         "No sound device"},
    };
    for (const auto& c : cases) {
        dropAfterPlaying();
        toNextWake();
        failTry(c.error, c.log);
        EXPECT_EQ(state(), c.expected);
        EXPECT_FALSE(wakeAt) << c.expected;
    }
}

TEST_F(StreamLife, LogLinesNameTheFailureOnceTheEndSettles) {
    open();
    start();
    machine.engineLog("ffmpeg", "error",
                      "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused");
    end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
    EXPECT_EQ(state(), "Connecting\u2026");
    settle();
    EXPECT_EQ(state(), "Connection refused");
}

// The buffer ahead is asked for once per played second; while data flows it stays about as full
// as the pre-buffer left it, so a fall by the stall bound means nothing came for that long.
TEST_F(StreamLife, StalledStreamIsReplacedBeforeTheBufferRunsDry) {
    open();
    start();
    play();
    advance(3500ms);
    EXPECT_EQ(samples, 4);  // at 0:00, 0:01, 0:02 and 0:03, nothing in between
    const Time fullest = 4900ms;
    machine.bufferAhead(fullest, false, now);
    machine.bufferAhead(fullest - settings.stallBound, true, now);  // the end is in: no stall
    machine.bufferAhead(fullest - settings.stallBound + 100ms, false, now);
    decide();
    EXPECT_EQ(loads.size(), 1u);
    machine.bufferAhead(fullest - settings.stallBound, false, now);
    decide();
    EXPECT_EQ(loads.size(), 2u);
    EXPECT_EQ(state(), "Reconnecting\u2026");
    EXPECT_EQ(shown.back().line.elapsed, "0:03");
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
    EXPECT_EQ(state(), "Reconnecting\u2026");
    machine.networkConnected(now);
    decide();
    EXPECT_EQ(loads.size(), 3u);

    machine.stop(now);
    machine.systemResumed(now);
    machine.networkConnected(now);
    decide();
    EXPECT_EQ(loads.size(), 3u);
    EXPECT_EQ(state(), "Stopped");
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
    EXPECT_EQ(state(), "Connecting\u2026");
    advance(1ms);
    EXPECT_EQ(state(), "Timed out");
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
    EXPECT_EQ(state(), "Buffering 40%");
    advance(settings.bufferTimeout - 1ms);
    EXPECT_EQ(state(), "Buffering 40%");
    advance(1ms);
    EXPECT_EQ(state(), "Timed out");

    // After a stall: a stream that played is tried again.
    open();
    start();
    play();
    advance(5s);
    machine.coreIdleChanged(true);
    machine.pausedForCacheChanged(true);
    decide();
    advance(settings.bufferTimeout - 1ms);
    EXPECT_EQ(state(), "Buffering 0%");
    advance(1ms);
    EXPECT_EQ(state(), "Reconnecting\u2026");
    EXPECT_EQ(shown.back().line.elapsed, "0:05");
}

TEST_F(StreamLife, FiniteFileThatEndsIsStopped) {
    open();
    start();
    machine.sizeKnown(true);
    play();
    end(EndReason::Eof);
    EXPECT_EQ(state(), "Stopped");
    advance(settings.openTimeout + settings.retryEvery);
    EXPECT_EQ(state(), "Stopped");
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
        machine.fileEnded(entry, EndReason::Other, 0, now);  // expanded into a further entry
        decide();
        advance(step);
    }
    EXPECT_EQ(state(), "Connecting\u2026");
    advance(2 * step);
    EXPECT_EQ(state(), "Timed out");
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
        EXPECT_EQ(state(), "Stopped") << name;
        EXPECT_FALSE(wakeAt) << name;
        EXPECT_FALSE(machine.wanted()) << name;
        advance(settings.openTimeout + settings.bufferTimeout + settings.retryEvery);
        EXPECT_EQ(state(), "Stopped") << name;
        EXPECT_EQ(loads.size(), loadsBefore) << name;
    }
}

// The engine that went away, that never started, or that refused the load: the strip says so
// and nothing is tried until the listener asks again.
TEST_F(StreamLife, EngineFailuresEndTheStreamWithTheirReason) {
    const std::vector<std::pair<const char*, std::function<void()>>> failures = {
        {"Failed", [&] { machine.engineLost(now); }},
        {"No audio engine", [&] { machine.engineUnavailable(now); }},
        {"Failed", [&] { machine.loadReplied(serial, false, std::nullopt, now); }},
    };
    for (const auto& [expected, fail] : failures) {
        open();
        fail();
        decide();
        EXPECT_EQ(state(), expected);
        EXPECT_FALSE(wakeAt) << expected;
        EXPECT_FALSE(machine.wanted()) << expected;
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
    machine.fileEnded(staleEntry, EndReason::Error, MPV_ERROR_LOADING_FAILED, now);
    decide();
    settle();
    EXPECT_EQ(state(), "Connecting\u2026");
    EXPECT_EQ(stops, 0);
    play();
    EXPECT_EQ(state(), "Playing");
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
    advance(settings.bufferCountStep);
    EXPECT_EQ(state(), "Buffering 95%");
    std::optional<Time> last;
    for (const auto& [at, line] : shown) {
        if (line.state != "Buffering") continue;
        if (last) {
            EXPECT_GE(at - *last, settings.bufferCountStep) << line.text();
        }
        last = at;
    }

    machine.bufferingChanged(100);
    machine.titleSent("Artist - Song");
    play();
    EXPECT_EQ(state(), "Playing: Artist - Song");
    EXPECT_EQ(machine.streamTitle(), "Artist - Song");
    const auto lines = shown.size();
    advance(2500ms);
    EXPECT_EQ(shown.back().line.elapsed, "0:02");
    EXPECT_EQ(shown.size(), lines + 2);  // once a second, nothing in between
}

}  // namespace
