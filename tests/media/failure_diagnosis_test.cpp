#include <gtest/gtest.h>

#include <mpv/client.h>

#include "media/failure_diagnosis.h"
#include "media/mpv_engine.h"

using media::Failure;
using media::FailureDiagnosis;
using Cause = Failure::Cause;

namespace {
// What a try's log lines and its end's code come to, as the engine's edge reads them.
Failure verdict(const std::vector<std::pair<const char*, const char*>>& lines, int mpvError) {
    FailureDiagnosis diagnosis;
    for (const auto& [prefix, line] : lines) {
        for (const char* level : {"error", "warn"}) {
            if (auto failure = media::failureInLog(prefix, level, line)) diagnosis.note(*failure);
        }
    }
    return diagnosis.verdict(media::failureAtEnd(mpvError));
}
}  // namespace

// The log lines are those mpv 0.35 sends for each case.
TEST(FailureDiagnosis, NamesTheCauseFromTheLogLines) {
    const std::pair<const char*, Failure> cases[] = {
        {"tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused\n",
         {Cause::ConnectionRefused}},
        {"http: HTTP error 404 File Not Found\n", {Cause::NotFound}},
        {"http: HTTP error 503 Service Unavailable\n", {Cause::ServerError, 503}},
        {"tcp: Failed to resolve hostname nowhere.invalid: Name or service not known\n",
         {Cause::HostNotFound}},
        {"tls: Peer certificate failed verification\n", {Cause::CertificateNotTrusted}},
        {"Failed to recognize file format.\n", {Cause::UnsupportedFormat}},
        {"Refusing to load potentially unsafe URL from a playlist.\n",
         {Cause::UnsafePlaylistEntry}},
        {"Failed to open http://127.0.0.1:9/.\n", {}},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(verdict({{"ffmpeg", line}, {"stream", "Failed to open http://127.0.0.1/.\n"}},
                          MPV_ERROR_LOADING_FAILED),
                  expected)
            << line;
    }
}

TEST(FailureDiagnosis, ASoundServerRefusingIsNoSoundDeviceNotTheStation) {
    EXPECT_EQ(verdict({{"ao/pulse", "Init failed: Connection refused\n"},
                       {"ao", "Failed to initialize audio driver 'pulse'\n"},
                       {"cplayer", "Could not open/initialize audio device -> no sound.\n"}},
                      MPV_ERROR_AO_INIT_FAILED),
              Failure{Cause::NoSoundDevice});
}

TEST(FailureDiagnosis, ErrorCodeAloneStillSaysSomething) {
    EXPECT_EQ(verdict({}, MPV_ERROR_UNKNOWN_FORMAT), Failure{Cause::UnsupportedFormat});
    EXPECT_EQ(verdict({}, MPV_ERROR_AO_INIT_FAILED), Failure{Cause::NoSoundDevice});
    EXPECT_EQ(verdict({}, MPV_ERROR_LOADING_FAILED), Failure{});
    EXPECT_EQ(verdict({}, 0), Failure{});
}

TEST(FailureDiagnosis, IgnoresHarmlessLinesAndForgetsOnClear) {
    // Icecast's own .m3u logs this at error level although the playlist works.
    EXPECT_FALSE(media::failureInLog(
        "ffmpeg", "error",
        "http: Stream ends prematurely at 33, should be 18446744073709551615\n"));
    EXPECT_FALSE(media::failureInLog("ffmpeg", "info", "HTTP error 404 File Not Found\n"));

    FailureDiagnosis diagnosis;
    diagnosis.note({Cause::ConnectionRefused});
    diagnosis.clear();
    EXPECT_EQ(diagnosis.verdict({}), Failure{});
}

TEST(FailureDiagnosis, TheMostTellingCauseWins) {
    EXPECT_EQ(verdict({{"ffmpeg", "http: HTTP error 404 File Not Found\n"},
                       {"cplayer", "Failed to recognize file format.\n"}},
                      MPV_ERROR_UNKNOWN_FORMAT),
              Failure{Cause::NotFound});
}
