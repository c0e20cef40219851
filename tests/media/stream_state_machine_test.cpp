// The stream's life in milliseconds of test time: no engine, no event loop.
#include <gtest/gtest.h>

#include <mpv/client.h>

#include "media/stream_state_machine.h"

using namespace std::chrono_literals;
using Machine = media::StreamStateMachine;
using Time = Machine::Time;
using EndReason = Machine::EndReason;

namespace {

// Drives the machine the way the adapter does: every step ends in decide(), and moving the
// clock wakes the machine whenever it asked to be woken.
class StreamLife : public ::testing::Test {
protected:
    struct Shown {
        Time at;
        StatusLine line;
    };

    void decide() {
        auto decisions = machine.decide(now);
        for (const auto& command : decisions.commands) {
            if (command.kind == Machine::Command::Load) {
                loads.push_back(now);
                serial = command.serial;
            } else {
                ++stops;
            }
        }
        if (decisions.show) shown.push_back({now, *decisions.show});
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

    Machine machine{Machine::Settings{}};
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

TEST_F(StreamLife, DropRetriesAfterOneTwoFourEightSixteenSecondsThenEveryThirty) {
    EXPECT_EQ(state(), "Ready");
    open();
    start();
    play();
    EXPECT_EQ(state(), "Playing");
    EXPECT_TRUE(machine.playing());
    advance(3100ms);
    EXPECT_EQ(shown.back().line.elapsed, "0:03");

    end(EndReason::Eof);  // the station went away
    std::vector<Time> tries = {now};
    advance(150ms);
    EXPECT_EQ(state(), "Reconnecting\u2026");
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(machine.playing());
    // Each try fails at once, however it fails; it is tried again after the next wait.
    const std::vector<const char*> failures = {
        "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused",
        "http: HTTP error 404 File Not Found",
        "tcp: Failed to resolve hostname radio.invalid: Name or service not known"};
    for (int i = 0; i < 8; ++i) {
        const auto before = loads.size();
        toNextWake();
        ASSERT_EQ(loads.size(), before + 1);
        tries.push_back(now);
        start();
        machine.engineLog("ffmpeg", "error", failures[i % failures.size()]);
        end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
        advance(150ms);
        EXPECT_EQ(state(), "Reconnecting\u2026");
    }
    // Each gap is the wait plus the moment an end takes to count as final.
    const std::vector<Time> gaps = {1150ms, 2150ms, 4150ms, 8150ms, 16150ms, 30150ms, 30150ms};
    for (std::size_t i = 0; i < gaps.size(); ++i) EXPECT_EQ(tries[i + 1] - tries[i], gaps[i]);
    // A try that hangs is bounded as ever, and waits its turn too.
    toNextWake();
    start();
    advance(10s);
    EXPECT_EQ(state(), "Reconnecting\u2026");
    toNextWake();
    EXPECT_EQ(now - loads[loads.size() - 2], 40s);
    EXPECT_TRUE(machine.playing());
}

TEST_F(StreamLife, StationThatNeverPlayedEndsAfterTheScheduleAndUntrustedCertificateAtOnce) {
    open();
    start();
    machine.fileLoaded(now);
    end(EndReason::Eof);  // loaded but never played
    advance(150ms);
    for (int i = 0; i < 5; ++i) {
        toNextWake();
        start();
        end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
        advance(150ms);
    }
    EXPECT_EQ(state(), "Failed");
    EXPECT_FALSE(wakeAt);

    // Played, dropped, and the server comes back with a certificate that is not trusted.
    open();
    start();
    play();
    end(EndReason::Eof);
    advance(150ms);
    toNextWake();
    start();
    machine.engineLog("ffmpeg", "error", "tls: Peer certificate failed verification\n");
    end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
    advance(150ms);
    EXPECT_EQ(state(), "Certificate not trusted");
    EXPECT_FALSE(wakeAt);
}

// The buffer ahead is asked for once per played second; while data flows it stays about as full
// as the pre-buffer left it, so 2.5 s less means nothing came for that long.
TEST_F(StreamLife, StalledStreamIsReplacedBeforeTheBufferRunsDry) {
    open();
    start();
    play();
    advance(3500ms);
    EXPECT_EQ(samples, 4);  // at 0:00, 0:01, 0:02 and 0:03, nothing in between
    const auto loadsBefore = loads.size();
    machine.bufferAhead(4900ms, false, now);
    machine.bufferAhead(2500ms, true, now);  // the stream's end is in: not a stall
    machine.bufferAhead(2500ms, false, now);
    decide();
    EXPECT_EQ(loads.size(), loadsBefore);
    machine.bufferAhead(2400ms, false, now);
    decide();
    EXPECT_EQ(loads.size(), loadsBefore + 1);
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
    advance(150ms);
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
    open();
    start();
    play();
    end(EndReason::Eof);
    advance(150ms + 1s);
    start();
    end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
    advance(150ms + 2s);
    start();
    play();
    end(EndReason::Eof);
    advance(150ms + 1s);
    EXPECT_EQ(loads.back() - loads[loads.size() - 2], 1150ms);
}

TEST_F(StreamLife, FirstConnectionThatNeverPlaysTimesOutAfterTenSeconds) {
    open();
    start();
    advance(9999ms);
    EXPECT_EQ(state(), "Connecting\u2026");
    advance(1ms);
    EXPECT_EQ(state(), "Timed out");
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(loads.size(), 1u);
}

TEST_F(StreamLife, BufferThatDoesNotFillIsBoundedToFifteenSeconds) {
    // At the start: a first connection gives up.
    open();
    start();
    advance(2s);
    machine.fileLoaded(now);
    machine.pausedForCacheChanged(true);
    machine.bufferingChanged(40);
    decide();
    EXPECT_EQ(state(), "Buffering 40%");
    advance(14999ms);
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
    advance(14999ms);
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
    advance(60s);
    EXPECT_EQ(state(), "Stopped");
    EXPECT_EQ(loads.size(), 1u);
    EXPECT_FALSE(wakeAt);
}

TEST_F(StreamLife, PlaylistThatNamesItselfTimesOut) {
    open();
    machine.loadReplied(serial, true, 1, now);
    for (entry = 1; now < loads[0] + 9900ms; ++entry) {
        machine.fileStarted(entry, now);
        decide();
        advance(50ms);
        machine.fileEnded(entry, EndReason::Other, 0, now);  // expanded into a further entry
        decide();
        advance(50ms);
    }
    EXPECT_EQ(state(), "Connecting\u2026");
    advance(100ms);
    EXPECT_EQ(state(), "Timed out");
}

TEST_F(StreamLife, LogLinesNameTheFailure) {
    open();
    start();
    machine.engineLog("ffmpeg", "error",
                      "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused");
    end(EndReason::Error, MPV_ERROR_LOADING_FAILED);
    EXPECT_EQ(state(), "Connecting\u2026");
    advance(150ms);
    EXPECT_EQ(state(), "Connection refused");
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
             advance(150ms);
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
        EXPECT_FALSE(machine.playing()) << name;
        advance(120s);
        EXPECT_EQ(state(), "Stopped") << name;
        EXPECT_EQ(loads.size(), loadsBefore) << name;
    }
}

TEST_F(StreamLife, StripTakesABufferCountAtMostEveryQuarterSecondAndTheTitleWhilePlaying) {
    open();
    start();
    machine.fileLoaded(now);
    machine.pausedForCacheChanged(true);
    machine.bufferingChanged(5);
    decide();
    for (int percent = 10; percent <= 95; percent += 5) {
        machine.bufferingChanged(percent);
        decide();
        advance(40ms);
    }
    advance(250ms);
    EXPECT_EQ(state(), "Buffering 95%");
    std::optional<Time> last;
    for (const auto& [at, line] : shown) {
        if (!line.state.starts_with("Buffering")) continue;
        if (last) EXPECT_GE(at - *last, 250ms) << line.state;
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
