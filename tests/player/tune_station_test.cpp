// What the station file's reading does over time and at its edges, beyond single files.
#include <sys/stat.h>

#include <QApplication>
#include <filesystem>
#include <fstream>

#include "player_fixture.h"

namespace {

class TuneStationTest : public PlayerFixture {};

std::string lines(int count) {
    std::string text;
    for (int k = 0; k < count; ++k) text += PlayerFixture::stationLine(k) + "\r\n";
    return text;
}

TEST_F(TuneStationTest, MissingFileAtStartUpThenPutInPlaceWorksAtTheNextClick) {
    Form1& window = loadForm();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(captions(), std::vector<std::string>(19, ""));

    window.TuneStation("2", "2");
    EXPECT_EQ(messages.size(), 2u) << "each later click shows the message again";
    EXPECT_TRUE(player->calls.empty());

    writeStationFile(lines(3));
    window.TuneStation("2", "2");
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(captions()[2], "Station 2");
    EXPECT_EQ(player->calls, std::vector<std::string>{"open http://127.0.0.1/s2"});
    EXPECT_EQ(window.station.Caption(), "Name 2");
}

TEST_F(TuneStationTest, DamagedFileKeepsTheListAndThePlayingStreamUntilMended) {
    writeStationFile(lines(4));
    Form1& window = loadForm();
    window.TuneStation("1", "1");
    ASSERT_EQ(window.station.Caption(), "Name 1");

    writeStationFile("Renamed,http://127.0.0.1/r,Renamed\r\nno commas here\r\n");
    window.TuneStation("0", "0");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(captions()[0], "Station 0") << "the list keeps what it showed";
    EXPECT_EQ(window.station.Caption(), "Name 1");
    EXPECT_EQ(player->calls.size(), 1u) << "the playing stream goes on";

    writeStationFile("Renamed,http://127.0.0.1/r,Renamed FM\r\n");
    window.TuneStation("0", "0");
    EXPECT_EQ(captions()[0], "Renamed");
    EXPECT_EQ(captions()[1], "");
    EXPECT_EQ(window.station.Caption(), "Renamed FM");
}

TEST_F(TuneStationTest, IndexOutOfBoundsOrNotANumberShowsTheMessageAfterTheListIsWritten) {
    writeStationFile(lines(19));
    Form1& window = makeForm();
    for (const char* index : {"20", "-1", "abc", "", "1.5", "0x3"}) {
        messages.clear();
        window.TuneStation(index, index);
        EXPECT_EQ(messages.size(), 1u) << index;
        EXPECT_EQ(captions()[18], "Station 18");
    }
    EXPECT_TRUE(player->calls.empty());

    // A caption index out of range fails after the stream was handed over: the new station plays
    // but the readout still names the previous one.
    messages.clear();
    window.TuneStation("5", "19");
    EXPECT_EQ(player->calls, std::vector<std::string>{"open http://127.0.0.1/s5"});
    EXPECT_EQ(window.station.Caption(), "None");
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(TuneStationTest, EngineThatCannotOpenShowsTheMessageUnlessThereIsNoEngineAtAll) {
    writeStationFile(lines(2));
    Form1& window = makeForm();
    player->failOpen = true;
    window.TuneStation("1", "1");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(window.station.Caption(), "None");

    // The strip says there is no engine; the station file is not to blame.
    player->failOpen = false;
    player->noEngine = true;
    writeStationFile(lines(3));
    window.TuneStation("1", "1");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(captions()[2], "Station 2");
    EXPECT_EQ(window.station.Caption(), "None");
}

TEST_F(TuneStationTest, StationFileThatIsNoRegularFileFailsAtOnce) {
    Form1& window = makeForm();
    std::filesystem::create_directory(folder / "wavelark.ini");
    window.TuneStation("0", "0");
    EXPECT_EQ(messages.size(), 1u) << "a folder";
    std::filesystem::remove(folder / "wavelark.ini");

    ASSERT_EQ(::mkfifo((folder / "wavelark.ini").c_str(), 0600), 0);
    window.TuneStation("0", "0");  // would block forever if the pipe were opened
    EXPECT_EQ(messages.size(), 2u) << "a named pipe";
    std::filesystem::remove(folder / "wavelark.ini");

    std::filesystem::create_symlink("/dev/zero", folder / "wavelark.ini");
    window.TuneStation("0", "0");
    EXPECT_EQ(messages.size(), 3u) << "a device";
}

TEST_F(TuneStationTest, UnreadableFileShowsTheMessage) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    writeStationFile(lines(2));
    std::filesystem::permissions(folder / "wavelark.ini", std::filesystem::perms::none);
    makeForm().TuneStation("0", "0");
    EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
