// Volume, mute and the arrow keys through the real widgets: button clicks after hovering, the
// tray menu's commands, and key presses entering at the window.
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "player_fixture.h"

namespace {

const QPoint kDown{258, 40}, kMute{282, 40}, kUp{305, 40};

class VolumeTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        writeStationFile("");
        loadForm();
        window = form->widget();
    }
    void clickButton(QPoint at) {
        input::moveTo(window, at);
        input::click(window, at);
    }
    std::string caption() const { return form->volume.Caption(); }
    QWidget* window = nullptr;
};

TEST_F(VolumeTest, ButtonsAndKeysStepOneLevelAndStopAtTheEnds) {
    EXPECT_EQ(caption(), "31 Highest");
    clickButton(kUp);
    EXPECT_EQ(caption(), "31 Highest");
    EXPECT_TRUE(player->calls.empty()) << "nothing written at the top";

    clickButton(kDown);
    EXPECT_EQ(player->volume(), -200);
    EXPECT_EQ(caption(), "30");
    input::key(window, Qt::Key_Down);
    EXPECT_EQ(caption(), "29");
    input::key(window, Qt::Key_Up, Qt::ShiftModifier);
    input::key(window, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(caption(), "31 Highest");
    input::key(window, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(caption(), "30") << "modifiers change nothing";

    // Held down, the key repeats: one level per repetition to the bottom, then it stays.
    for (int press = 0; press < 40; ++press) input::key(window, Qt::Key_Down);
    EXPECT_EQ(player->volume(), -6200);
    EXPECT_EQ(caption(), "0 Lowest");
    const auto writes = player->calls.size();
    clickButton(kDown);
    EXPECT_EQ(player->calls.size(), writes);
    EXPECT_EQ(caption(), "0 Lowest");
}

TEST_F(VolumeTest, MenuMovesFourLevelsWithinItsStrictGuards) {
    std::vector<std::string> shown;
    for (int command = 0; command < 8; ++command) {
        form->MenuDown.Click();
        shown.push_back(caption());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"27", "23", "19", "15", "11", "7", "3", "3"}));

    player->holdVolume(-5400);  // level 4: the menu does nothing, the button still steps
    form->MenuDown.Click();
    EXPECT_EQ(player->volume(), -5400);
    EXPECT_EQ(caption(), "4");
    clickButton(kDown);
    EXPECT_EQ(caption(), "3");

    for (int level : {28, 29, 30}) {
        player->holdVolume((level - 31) * 200);
        form->MenuUp.Click();
        EXPECT_EQ(player->volume(), (level - 31) * 200) << level;
        EXPECT_EQ(caption(), std::to_string(level));
    }
    player->holdVolume(-800);
    form->MenuUp.Click();
    EXPECT_EQ(caption(), "31 Highest");
}

TEST_F(VolumeTest, VolumeBetweenStepsShowsItsFraction) {
    player->holdVolume(-300);
    clickButton(kUp);  // -100
    EXPECT_EQ(caption(), "30.5");
}

TEST_F(VolumeTest, MuteSurvivesVolumeChangesAndUnmuteShowsTheCurrentLevel) {
    clickButton(kMute);
    EXPECT_TRUE(player->mute());
    EXPECT_EQ(caption(), "Mute");
    EXPECT_TRUE(form->mutecontrol.Visible());
    EXPECT_TRUE(form->mute1control.Visible());
    EXPECT_FALSE(form->nomute1control.Visible());

    clickButton(kDown);
    input::key(window, Qt::Key_Down);
    EXPECT_EQ(caption(), "29") << "the level replaces \"Mute\"";
    EXPECT_TRUE(player->mute()) << "but the sound stays off";
    EXPECT_TRUE(form->mutecontrol.Visible());

    clickButton(kMute);
    EXPECT_FALSE(player->mute());
    EXPECT_EQ(caption(), "29");
    EXPECT_FALSE(form->mutecontrol.Visible());
    EXPECT_TRUE(form->nomute1control.Visible());
    EXPECT_EQ(player->volume(), -400) << "muting kept the volume";
}

TEST_F(VolumeTest, TwoMuteClicksOnTheSameSpotLeaveTheSoundOn) {
    input::moveTo(window, kMute);
    input::click(window, kMute);
    input::click(window, kMute);  // the pointer has not moved: the new highlight took the click
    EXPECT_FALSE(player->mute());
    EXPECT_TRUE(form->nomute1control.Visible());
    EXPECT_FALSE(form->mute1control.Visible());
    EXPECT_EQ(caption(), "31 Highest");
}

TEST_F(VolumeTest, OtherKeysReachTheFocusedControlAndArrowsDoNot) {
    // A text field stands in for a control that takes keys, such as the engine's own window.
    QLineEdit field(window);
    field.setGeometry(300, 150, 100, 20);
    field.show();
    field.setText("ab");
    field.setFocus();
    field.setCursorPosition(1);
    QApplication::processEvents();

    input::key(window, Qt::Key_Left);
    EXPECT_EQ(field.cursorPosition(), 0) << "Left reaches the field";
    input::key(window, Qt::Key_Right);
    EXPECT_EQ(field.cursorPosition(), 1) << "Right reaches the field";
    input::key(window, Qt::Key_X);
    EXPECT_EQ(field.text(), "axb");
    EXPECT_TRUE(player->calls.empty());

    input::key(window, Qt::Key_Down);
    EXPECT_EQ(caption(), "30");
    input::key(window, Qt::Key_Up);
    input::key(window, Qt::Key_Up);  // at the top: still consumed, nothing written
    EXPECT_EQ(caption(), "31 Highest");
    EXPECT_EQ(field.text(), "axb");
    EXPECT_EQ(player->calls, (std::vector<std::string>{"volume -200", "volume 0"}));
}

}  // namespace
