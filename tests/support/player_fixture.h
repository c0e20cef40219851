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

class QWidget;

// Runs each test in a fresh working folder with message boxes and web sites recorded, and
// offers a player window whose media player is a recorder.
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
    std::unique_ptr<Form1> form;
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
