#include <gtest/gtest.h>

#include <mpv/client.h>

#include "media/failure_diagnosis.h"
#include "media/status_text.h"

using media::FailureDiagnosis;

namespace {
// The verdict as the strip words it.
std::string verdict(const FailureDiagnosis& diagnosis, int mpvError) {
    return media::status_text::line(
               {.state = media::StreamState::Failed, .failure = diagnosis.verdict(mpvError)})
        .state;
}
}  // namespace

// The log lines are those mpv 0.35 sends for each case.
TEST(FailureDiagnosis, NamesTheCauseFromTheLogLines) {
    struct Case {
        const char* prefix;
        const char* level;
        const char* line;
        int error;
        const char* expected;
    };
    const Case cases[] = {
        {"ffmpeg", "error", "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused\n",
         MPV_ERROR_LOADING_FAILED, "Connection refused"},
        {"ffmpeg", "warn", "http: HTTP error 404 File Not Found\n", MPV_ERROR_LOADING_FAILED,
         "Not found (404)"},
        {"ffmpeg", "warn", "http: HTTP error 503 Service Unavailable\n", MPV_ERROR_LOADING_FAILED,
         "Server error (503)"},
        {"ffmpeg", "error",
         "tcp: Failed to resolve hostname nowhere.invalid: Name or service not known\n",
         MPV_ERROR_LOADING_FAILED, "Host not found"},
        {"cplayer", "error", "Failed to recognize file format.\n", MPV_ERROR_UNKNOWN_FORMAT,
         "Unsupported format"},
        {"stream", "error", "Refusing to load potentially unsafe URL from a playlist.\n",
         MPV_ERROR_LOADING_FAILED, "Refused playlist entry"},
        {"ffmpeg", "error", "tls: Peer certificate failed verification\n", MPV_ERROR_LOADING_FAILED,
         "Certificate not trusted"},
        {"stream", "error", "Failed to open http://127.0.0.1:9/.\n", MPV_ERROR_LOADING_FAILED,
         "Failed"},
    };
    for (const Case& c : cases) {
        FailureDiagnosis diagnosis;
        diagnosis.noteLog(c.prefix, c.level, c.line);
        diagnosis.noteLog("stream", "error", "Failed to open http://127.0.0.1/.\n");
        EXPECT_EQ(verdict(diagnosis, c.error), c.expected) << c.line;
    }
}

TEST(FailureDiagnosis, ASoundServerRefusingIsNoSoundDeviceNotTheStation) {
    FailureDiagnosis diagnosis;
    diagnosis.noteLog("ao/pulse", "error", "Init failed: Connection refused\n");
    diagnosis.noteLog("ao", "error", "Failed to initialize audio driver 'pulse'\n");
    diagnosis.noteLog("cplayer", "error", "Could not open/initialize audio device -> no sound.\n");
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_AO_INIT_FAILED), "No sound device");
}

TEST(FailureDiagnosis, ErrorCodeAloneStillSaysSomething) {
    FailureDiagnosis diagnosis;
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_UNKNOWN_FORMAT), "Unsupported format");
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_AO_INIT_FAILED), "No sound device");
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_LOADING_FAILED), "Failed");
    EXPECT_EQ(verdict(diagnosis, 0), "Failed");
}

TEST(FailureDiagnosis, IgnoresHarmlessLinesAndForgetsOnClear) {
    FailureDiagnosis diagnosis;
    // Icecast's own .m3u logs this at error level although the playlist works.
    diagnosis.noteLog("ffmpeg", "error",
                      "http: Stream ends prematurely at 33, should be 18446744073709551615\n");
    diagnosis.noteLog("ffmpeg", "info", "HTTP error 404 File Not Found\n");
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_LOADING_FAILED), "Failed");

    diagnosis.noteLog("ffmpeg", "error",
                      "tcp: Connection to tcp://127.0.0.1:1 failed: Connection refused\n");
    diagnosis.clear();
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_LOADING_FAILED), "Failed");
}

TEST(FailureDiagnosis, TheMostTellingCauseWins) {
    FailureDiagnosis diagnosis;
    diagnosis.noteLog("ffmpeg", "warn", "http: HTTP error 404 File Not Found\n");
    diagnosis.noteLog("cplayer", "error", "Failed to recognize file format.\n");
    EXPECT_EQ(verdict(diagnosis, MPV_ERROR_UNKNOWN_FORMAT), "Not found (404)");
}
