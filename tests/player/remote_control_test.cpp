// The desktop's media controls as the player side sees them, without a bus: Next and Previous
// click the neighbouring slot that holds a station, the volume walks the window's steps, and
// the state shown names the song and the station.
#include <string>

#include "player/remote_control.h"
#include "player_fixture.h"
#include "shared/addresses.h"

namespace {

class RemoteControlTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        // Slots 0, 5 and 18 hold stations; slot 3 an address the window cannot tune.
        std::string file;
        for (int k = 0; k < Form1::kSlotCount; ++k) {
            if (k == 0 || k == 5 || k == 18) {
                file += stationLine(k) + "\r\n";
            } else {
                file += k == 3 ? "Ftp,ftp://127.0.0.1/x,Ftp\r\n" : "Empty,,\r\n";
            }
        }
        writeStationFile(file);
        loadForm();
        remote = std::make_unique<RemoteControl>(*form);
    }
    void TearDown() override {
        remote.reset();
        PlayerFixture::TearDown();
    }
    std::string opened() const { return player->fileName(); }
    std::unique_ptr<RemoteControl> remote;
};

TEST_F(RemoteControlTest, NextAndPreviousStepThroughTheStationsRoundTheEnds) {
    remote->Previous();  // nothing tuned yet: the last station
    EXPECT_EQ(opened(), "http://127.0.0.1/s18");
    EXPECT_EQ(form->station.Caption(), "Name 18");
    remote->Next();  // round the end
    EXPECT_EQ(opened(), "http://127.0.0.1/s0");
    remote->Next();  // past slot 3, which cannot be tuned
    EXPECT_EQ(opened(), "http://127.0.0.1/s5");
    remote->Next();  // the built-in station, whatever the file says
    EXPECT_EQ(opened(), addresses::kBuiltInStationAddress);
    EXPECT_EQ(form->station.Caption(), addresses::kBuiltInStationName);
    remote->Next();
    EXPECT_EQ(opened(), "http://127.0.0.1/s18");
    remote->Previous();
    remote->Previous();
    EXPECT_EQ(opened(), "http://127.0.0.1/s5");
    EXPECT_TRUE(messages.empty());
}

TEST_F(RemoteControlTest, VolumeWalksTheWindowsStepsAndLeavesMuteAlone) {
    remote->SetVolume(0.5);
    EXPECT_EQ(form->volume.Caption(), "16");
    EXPECT_EQ(player->volume(), -3000);
    EXPECT_NEAR(remote->State().volume, 16.0 / 31, 1e-9);
    remote->SetVolume(-3);
    EXPECT_EQ(form->volume.Caption(), "0 Lowest");

    player->setMute(true);
    remote->SetVolume(1.0);
    EXPECT_EQ(form->volume.Caption(), "31 Highest");
    EXPECT_TRUE(player->mute());
    EXPECT_EQ(remote->State().volume, 1.0);
}

TEST_F(RemoteControlTest, StateNamesTheSongElseTheStation) {
    EXPECT_FALSE(remote->State().canPlay);
    EXPECT_EQ(remote->State().title, "");

    remote->Next();
    player->holdPlayback(true, "A song");
    platform::MediaRemoteState state = remote->State();
    EXPECT_TRUE(state.playing && state.canPlay);
    EXPECT_EQ(state.title, "A song");
    EXPECT_EQ(state.album, "Name 0");

    player->holdPlayback(false, "");
    state = remote->State();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(state.title, "Name 0");
}

}  // namespace
