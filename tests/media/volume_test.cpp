#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "media/mpv_media_player.h"
#include "media/volume_scale.h"

namespace {

// mpv's volume property acts as a cubic gain: (volume/100)^3.
double decibelsOf(double mpvVolume) { return 20.0 * std::log10(std::pow(mpvVolume / 100.0, 3.0)); }

class NoDisplay : public StatusDisplay {
public:
    void show(const StatusLine& line) override { lines.push_back(line); }
    std::vector<StatusLine> lines;
};

}  // namespace

TEST(VolumeScale, EachHundredthOfADecibelIsOne) {
    for (int volume = 0; volume >= -10000; volume -= 100) {
        EXPECT_NEAR(decibelsOf(media::mpvVolumeFor(volume)), volume / 100.0, 1e-9) << volume;
    }
    // The values the engine notes measured at the sink.
    EXPECT_NEAR(media::mpvVolumeFor(0), 100.0, 1e-9);
    EXPECT_NEAR(media::mpvVolumeFor(-200), 92.612, 1e-3);
    EXPECT_NEAR(media::mpvVolumeFor(-6200), 9.261, 1e-3);
}

TEST(VolumeScale, OutOfRangeVolumesAreBroughtIn) {
    EXPECT_EQ(media::clampVolume(500), 0);
    EXPECT_EQ(media::clampVolume(-20000), -10000);
    EXPECT_NEAR(media::mpvVolumeFor(500), 100.0, 1e-9);
}

// The engine is not started by these calls: no mpv handle, no network.
TEST(MpvMediaPlayerSettings, StartsReadyAtFullVolumeAndReadsBackWhatTheWindowSets) {
    NoDisplay display;
    auto player = media::makeMpvMediaPlayer(display);
    EXPECT_EQ(player->volume(), 0);
    EXPECT_FALSE(player->mute());
    EXPECT_EQ(player->fileName(), "");
    ASSERT_FALSE(display.lines.empty());
    EXPECT_EQ(display.lines.back().text(), "Ready");

    for (int volume = -6200; volume <= 0; volume += 200) {
        player->setVolume(volume);
        EXPECT_EQ(player->volume(), volume);
    }
    player->setVolume(-3000);
    player->setMute(true);
    EXPECT_TRUE(player->mute());
    EXPECT_EQ(player->volume(), -3000);
    player->setMute(false);
    EXPECT_EQ(player->volume(), -3000);

    // Play and stop with nothing opened change nothing.
    player->play();
    player->stop();
    EXPECT_EQ(player->fileName(), "");
    EXPECT_EQ(display.lines.back().text(), "Ready");
}
