#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "player/form1.h"
#include "recording_media_player.h"
#include "scratch_folder.h"

class QWidget;

// The window layer's test seams, set for one test and put back by one object: message boxes and
// web sites recorded; afterwards the real dialog and browser, the desktop's own answer about a
// notification area, no icon left behind and an empty tray record.
class TestSeams {
public:
    TestSeams(std::vector<std::string>& messages, std::vector<std::string>& openedUrls);
    ~TestSeams();
    TestSeams(const TestSeams&) = delete;
    TestSeams& operator=(const TestSeams&) = delete;
};

// Runs each test in a fresh working folder of its own with the seams set, and offers a player
// window whose media player is a recorder.
class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the station file of the working folder, bytes as given.
    void writeStationFile(const std::string& bytes);
    // A well-formed line for slot k.
public:
    static std::string stationLine(int k);

protected:
    // Creates Form1 without loading it, or loads it as start-up does.
    Form1& makeForm();
    Form1& loadForm();

    std::vector<std::string> captions() const;

    std::filesystem::path folder;
    std::filesystem::path previousFolder;
    std::vector<std::string> messages;
    std::vector<std::string> openedUrls;
    RecordingMediaPlayer* player = nullptr;
    // Set when the window lets its media player go.
    bool playerReleased = false;
    std::unique_ptr<Form1> form;

private:
    std::unique_ptr<ScratchFolder> scratch;
    std::unique_ptr<TestSeams> seams;
};

// Real input through the window system: events enter at the window and reach whatever control
// lies under the pointer, as a user's would. Points are pixels in the window's client area.
namespace input {
void moveTo(QWidget* window, QPoint point);
void click(QWidget* window, QPoint point);
void press(QWidget* window, QPoint point);
void release(QWidget* window, QPoint point);
void key(QWidget* window, int qtKey, int qtModifiers = 0);
QImage grab(QWidget* window);
// Twips, as the design gives places, to pixels.
QPoint at(int leftTwips, int topTwips);
}  // namespace input
