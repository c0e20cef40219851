#include <gtest/gtest.h>

#include "media/status_text.h"
#include "shared/status_display.h"

using namespace std::chrono_literals;
namespace text = media::status_text;

TEST(StatusText, ElapsedIsMinutesAndSecondsThenHours) {
    EXPECT_EQ(text::elapsed(0s), "0:00");
    EXPECT_EQ(text::elapsed(59s), "0:59");
    EXPECT_EQ(text::elapsed(60s), "1:00");
    EXPECT_EQ(text::elapsed(59min + 59s), "59:59");
    EXPECT_EQ(text::elapsed(1h), "1:00:00");
    EXPECT_EQ(text::elapsed(10h + 5min + 9s), "10:05:09");
    EXPECT_EQ(text::elapsed(-5s), "0:00");
}

TEST(StatusText, BufferingPercentStaysInRange) {
    const auto buffering = [](int percent) {
        return text::line({.state = media::StreamState::Buffering, .bufferPercent = percent})
            .text();
    };
    EXPECT_EQ(buffering(40), "Buffering 40%");
    EXPECT_EQ(buffering(-3), "Buffering 0%");
    EXPECT_EQ(buffering(250), "Buffering 100%");
}

TEST(StatusText, TitleFollowsTheState) {
    EXPECT_EQ((StatusLine{.state = "Playing", .elapsed = "0:05"}).text(), "Playing");
    EXPECT_EQ((StatusLine{.state = "Playing", .title = "Artist - Song", .elapsed = "0:05"}).text(),
              "Playing: Artist - Song");
}

// The words for every state and failure, here alone: the machine's own tests read its types.
TEST(StatusText, WordsForEveryStateAndFailure) {
    using media::StreamState;
    using Cause = media::Failure::Cause;
    const auto words = [](StreamState state, media::Failure failure = {}) {
        return text::line({.state = state, .failure = failure}).text();
    };
    EXPECT_EQ(words(StreamState::Ready), "Ready");
    EXPECT_EQ(words(StreamState::Connecting), "Connecting\u2026");
    EXPECT_EQ(words(StreamState::Reconnecting), "Reconnecting\u2026");
    EXPECT_EQ(words(StreamState::Playing), "Playing");
    EXPECT_EQ(words(StreamState::NoSound), "No sound device");
    EXPECT_EQ(words(StreamState::Stopped), "Stopped");
    const std::pair<media::Failure, const char*> failures[] = {
        {{Cause::Unknown}, "Failed"},
        {{Cause::ConnectionRefused}, "Connection refused"},
        {{Cause::NotFound}, "Not found (404)"},
        {{Cause::ServerError, 503}, "Server error (503)"},
        {{Cause::HostNotFound}, "Host not found"},
        {{Cause::TimedOut}, "Timed out"},
        {{Cause::UnsupportedFormat}, "Unsupported format"},
        {{Cause::UnsafePlaylistEntry}, "Refused playlist entry"},
        {{Cause::CertificateNotTrusted}, "Certificate not trusted"},
        {{Cause::NoSoundDevice}, "No sound device"},
        {{Cause::NoAudioEngine}, "No audio engine"},
    };
    for (const auto& [failure, expected] : failures) {
        EXPECT_EQ(words(StreamState::Failed, failure), expected);
    }
}
