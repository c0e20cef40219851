// The desktop's media controls as the player side sees them, without a bus: Next and Previous
// click the neighbouring slot that holds a station, the volume walks the window's steps, and
// the state shown names the song and the station.
#include <fstream>
#include <sstream>
#include <string>

#include "player/notification_pace.h"
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
        for (int k = 0; k < kSlotCount; ++k) {
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

// The sample list holds the built-in station in slot 0 as well: the step goes from the slot
// tuned last, not from wherever its address stands first.
TEST_F(RemoteControlTest, NextAndPreviousStepFromTheSlotTunedLast) {
    std::stringstream sample;
    sample << std::ifstream(WAVELARK_SAMPLE_STATIONS, std::ios::binary).rdbuf();
    writeStationFile(sample.str());
    remote->Next();  // nothing tuned yet: the first station
    EXPECT_EQ(form->tunedSlot(), 0);
    form->StationSlot[13]->Click();
    remote->Next();
    EXPECT_EQ(form->tunedSlot(), 14);
    EXPECT_EQ(form->station.Caption(), "KEXP 90.3 Seattle - kexp.org");
    form->StationSlot[13]->Click();
    remote->Previous();
    EXPECT_EQ(form->tunedSlot(), 12);
    for (int k = 0; k < 13; ++k) remote->Previous();
    EXPECT_EQ(form->tunedSlot(), 18);  // round the start
    remote->Next();
    EXPECT_EQ(form->tunedSlot(), 0);  // and round the end
    EXPECT_EQ(opened(), addresses::kBuiltInStationAddress);
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

// At most one notice per pause, the latest of those that came meanwhile, never the one on show.
TEST(NotificationPace, OneAtATimeTheLatestAndNoRepeat) {
    using ms = std::chrono::milliseconds;
    NotificationPace pace(ms(3000));
    auto song = [](const char* title) { return NotificationPace::Notice{"Station", title}; };
    EXPECT_EQ(pace.offer(song("A"), ms(0)), song("A"));
    EXPECT_EQ(pace.offer(song("B"), ms(100)), std::nullopt);
    EXPECT_EQ(pace.offer(song("C"), ms(200)), std::nullopt);
    EXPECT_EQ(pace.wakeAt(), ms(3000));
    EXPECT_EQ(pace.wake(ms(2999)), std::nullopt);  // a timer that fires early
    EXPECT_EQ(pace.wake(ms(3000)), song("C"));
    EXPECT_EQ(pace.wakeAt(), std::nullopt);

    pace.offer(song("D"), ms(4000));
    pace.offer(song("C"), ms(4500));  // back to the one on show: nothing new to say
    EXPECT_EQ(pace.wakeAt(), std::nullopt);
    EXPECT_EQ(pace.offer(song("C"), ms(60000)), std::nullopt);
    EXPECT_EQ(pace.offer(song("E"), ms(60000)), song("E"));  // after a quiet spell, at once

    pace.offer(song("F"), ms(60100));
    pace.drop();  // the window came back
    EXPECT_EQ(pace.wake(ms(70000)), std::nullopt);
}

}  // namespace
