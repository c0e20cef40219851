// The window as a screen reader reads and presses it, through Qt's accessibility interfaces,
// and as the keyboard alone drives it.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QWidget>

#include "player_fixture.h"

namespace {

using Seen = std::pair<QAccessible::Role, std::string>;

class AccessibilityTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        // Slot 2 is left empty, and one caption has an access key.
        std::string file = "&Tone,http://127.0.0.1/tone,Tone\r\n" + stationLine(1) + "\r\n" +
                           ",http://127.0.0.1/s2,Name 2\r\n";
        for (int k = 3; k < kSlotCount; ++k) file += stationLine(k) + "\r\n";
        writeStationFile(file);
        loadForm();
        window = form->widget();
    }

    std::vector<Seen> tree() const {
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
        std::vector<Seen> seen;
        for (int i = 0; i < root->childCount(); ++i) {
            QAccessibleInterface* child = root->child(i);
            EXPECT_EQ(child->parent()->object(), window);
            seen.push_back({child->role(), child->text(QAccessible::Name).toStdString()});
        }
        return seen;
    }
    static void press(platform::Control& control) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(control.widget());
        ASSERT_TRUE(button->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QApplication::processEvents();
    }
    std::string focused() const {
        for (platform::Control* control : form->readingOrder())
            if (control->widget() == QApplication::focusWidget()) return control->accessibleName();
        return "";
    }
    // The words of the window's notification, once the loop has said what is waiting.
    std::string announced() const {
        QApplication::processEvents();
        QAccessibleInterface* strip =
            QAccessible::queryAccessibleInterface(form->MediaPlayer1Strip.widget());
        if (strip->childCount() != 1) return "";
        EXPECT_EQ(strip->child(0)->role(), QAccessible::Notification);
        EXPECT_EQ(strip->child(0)->parent()->object(), strip->object());
        return strip->child(0)->text(QAccessible::Name).toStdString();
    }
    QWidget* window = nullptr;
};

// A screen reader that listens while it lives. The offscreen platform has no bridge to send it
// anything, so what it would be told to say is read from the window's notification.
class Listener {
public:
    Listener() { QAccessible::setActive(true); }
    ~Listener() { QAccessible::setActive(false); }
};

TEST_F(AccessibilityTest, SlotsButtonsAndTextsInReadingOrderAndAPressTunesItsSlot) {
    std::vector<Seen> expected{{QAccessible::Button, "Tone"}, {QAccessible::Button, "Station 1"}};
    for (int k = 3; k < kSlotCount; ++k)
        expected.push_back({QAccessible::Button, "Station " + std::to_string(k)});
    for (const char* button : {"Play", "Stop", "Volume down", "Mute", "Volume up"})
        expected.push_back({QAccessible::Button, button});
    for (const char* text : {"Volume:", "Volume 31 Highest", "Station:", "None"})
        expected.push_back({QAccessible::StaticText, text});
    expected.push_back({QAccessible::StatusBar, ""});
    expected.push_back({QAccessible::Button, "About"});
    EXPECT_EQ(tree(), expected) << "the empty slot and the hover copies are not offered";

    press(*form->StationSlot[1]);
    EXPECT_EQ(player->calls, std::vector<std::string>{"open http://127.0.0.1/s1"});
    const std::vector<Seen> after = tree();
    EXPECT_EQ(after[after.size() - 3], (Seen{QAccessible::StaticText, "Name 1"})) << "the readout";
}

TEST_F(AccessibilityTest, SkinButtonsPressLikeAClickAndMuteNamesItsNextState) {
    press(*form->StationSlot[0]);
    press(form->stopcontrol);
    press(form->playcontrol);
    press(form->Image1);
    EXPECT_EQ(player->calls, (std::vector<std::string>{"open http://127.0.0.1/tone", "stop", "play",
                                                       "volume -200"}));
    EXPECT_EQ(form->volume.Caption(), "30");

    press(form->nomutecontrol);
    EXPECT_TRUE(player->mute());
    EXPECT_EQ(form->nomutecontrol.accessibleName(), "Unmute");
    press(form->nomutecontrol);
    EXPECT_EQ(form->nomutecontrol.accessibleName(), "Mute");
    press(form->Image2);
    EXPECT_EQ(form->volume.Caption(), "31 Highest");
}

TEST_F(AccessibilityTest, TheStripIsNamedByItsStateWithoutTheBufferingCount) {
    form->MediaPlayer1Strip.show({.state = "Buffering", .progress = "40%"});
    EXPECT_EQ(form->MediaPlayer1Strip.accessibleName(), "Buffering");
    form->MediaPlayer1Strip.show({"Playing", "Song 100%", "0:01"});
    EXPECT_EQ(form->MediaPlayer1Strip.accessibleName(), "Playing: Song 100%");
    EXPECT_EQ(form->MediaPlayer1Strip.accessibleDescription(), "Playing: Song 100%, 0:01");
}

TEST_F(AccessibilityTest, TabVisitsStationsButtonsAndAboutSpacePressesAndArrowsStillSetVolume) {
    std::vector<std::string> visited;
    for (int stop = 0; stop < 26; ++stop) {
        input::key(window, Qt::Key_Tab);
        visited.push_back(focused());
    }
    EXPECT_EQ(visited[0], "Tone");
    EXPECT_EQ(visited[1], "Station 1");
    EXPECT_EQ(visited[2], "Station 3") << "the empty slot is skipped";
    EXPECT_EQ(std::vector<std::string>(visited.begin() + 18, visited.end()),
              (std::vector<std::string>{"Play", "Stop", "Volume down", "Mute", "Volume up", "About",
                                        "Tone", "Station 1"}));
    QWidget* mark = window->findChild<QWidget*>("wavelark_focus_mark");
    ASSERT_TRUE(mark && mark->isVisible());
    EXPECT_TRUE(mark->geometry().contains(form->StationSlot[1]->widget()->geometry()));

    input::key(window, Qt::Key_Space);
    EXPECT_EQ(player->calls, std::vector<std::string>{"open http://127.0.0.1/s1"});
    input::key(window, Qt::Key_Down);
    EXPECT_EQ(form->volume.Caption(), "30") << "the arrows keep the volume wherever the focus is";
    input::key(window, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "Tone");
    input::key(window, Qt::Key_Return);
    EXPECT_EQ(player->calls.back(), "open http://127.0.0.1/tone");
}

// Orca speaks a name change only for the focused control, never a label's, and Qt 6.4 sends it
// the object in place of the name: changes are said through a notification in the status bar.
TEST_F(AccessibilityTest, AListenerHearsChangesWithoutTheFocusMovingAndStartsOnAStation) {
    Listener listener;
    EXPECT_EQ(focused(), "Tone") << "the window gives its focus to the first station";
    press(*form->StationSlot[1]);
    EXPECT_EQ(announced(), "Name 1");
    input::key(window, Qt::Key_Down);
    EXPECT_EQ(announced(), "Volume 30");

    form->nomutecontrol.widget()->setFocus();
    input::key(window, Qt::Key_Space);
    EXPECT_EQ(announced(), "Unmute, Volume Mute")
        << "the pressed button's new name first, then the readout";
    form->MediaPlayer1Strip.show({.state = "Buffering", .progress = "10%"});
    form->MediaPlayer1Strip.show({.state = "Buffering", .progress = "60%"});
    EXPECT_EQ(announced(), "Buffering");
}

}  // namespace
