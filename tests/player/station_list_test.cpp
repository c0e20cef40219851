// The station list, the rollover of the skin buttons, play and stop: driven by real mouse events
// entering at the window, so the wiring from pixels to handlers is what is tested.
#include <QApplication>
#include <QWidget>

#include "player_fixture.h"
#include "shared/addresses.h"

namespace {

// Pixel places in the window's client area.
const QPoint kSlot0{20, 14}, kSlot8{20, 141}, kSlot9{20, 158}, kSlot10{108, 14}, kSlot13{108, 62},
    kSlot15{108, 94};
const QPoint kBackground{200, 150};
const QPoint kPanelBackground{236, 27};
const QPoint kPlay{195, 40}, kStop{216, 40}, kDown{258, 40}, kMute{282, 40}, kUp{305, 40};
const QPoint kStationReadout{260, 62}, kStrip{300, 82};

constexpr platform::Colour kHighlight = 0xC00000;

class StationListTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        std::string file;
        for (int k = 0; k < 12; ++k) file += stationLine(k) + "\r\n";
        writeStationFile(file);
        loadForm();
        window = form->widget();
    }
    std::vector<platform::Label*> highlighted() const {
        std::vector<platform::Label*> result;
        for (platform::Label* slot : form->StationSlot)
            if (slot->ForeColor() == kHighlight) result.push_back(slot);
        return result;
    }
    QWidget* window = nullptr;
};

TEST_F(StationListTest, HighlightFollowsThePointerAndTheBackgroundClearsIt) {
    input::moveTo(window, kSlot0);
    EXPECT_EQ(highlighted(), std::vector<platform::Label*>{&form->Label4});

    input::moveTo(window, kSlot10);
    EXPECT_EQ(highlighted(), std::vector<platform::Label*>{&form->Label15});
    EXPECT_EQ(form->Label4.ForeColor(), platform::kButtonText);
    EXPECT_EQ(form->Label10.ForeColor(), platform::kButtonText)
        << "a designed-black slot joins the others";

    // Other controls keep the highlight; only the window background clears it.
    input::moveTo(window, kPlay);
    input::moveTo(window, kStationReadout);
    input::moveTo(window, kStrip);
    EXPECT_EQ(highlighted(), std::vector<platform::Label*>{&form->Label15});

    input::moveTo(window, kBackground);
    EXPECT_TRUE(highlighted().empty());
    for (platform::Label* slot : form->StationSlot)
        EXPECT_EQ(slot->ForeColor(), platform::kButtonText);
}

TEST_F(StationListTest, ClickTunesTheSlotsOwnLineWhateverTheLabelIsCalled) {
    input::click(window, kSlot8);
    input::click(window, kSlot9);
    EXPECT_EQ(player->calls,
              (std::vector<std::string>{"open http://127.0.0.1/s8", "open http://127.0.0.1/s9"}));
    EXPECT_EQ(form->station.Caption(), "Name 9");

    writeStationFile(stationLine(0) + "\r\nEdited,http://127.0.0.1/edited,Edited FM\r\n");
    input::click(window, kSlot15);
    EXPECT_EQ(player->calls.size(), 2u) << "a slot below the last line tunes nothing";
    EXPECT_EQ(form->Label6.Caption(), "Edited") << "but the list is read afresh";
    EXPECT_EQ(form->station.Caption(), "Name 9");
    EXPECT_TRUE(messages.empty());
}

TEST_F(StationListTest, SlotThirteenPlaysTheBuiltInStationWithoutTheFile) {
    std::filesystem::remove(folder / "wavelark.ini");
    input::click(window, kSlot13);
    EXPECT_EQ(player->calls,
              std::vector<std::string>{std::string("open ") + addresses::kBuiltInStationAddress});
    EXPECT_EQ(form->station.Caption(), addresses::kBuiltInStationName);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(form->Label16.Caption(), "") << "the list was not read";
}

TEST_F(StationListTest, ButtonsTakeClicksOnlyOnceTheirNormalImageWasHovered) {
    // Play and stop do nothing before anything was opened.
    input::moveTo(window, kPlay);
    input::click(window, kPlay);
    input::moveTo(window, kStop);
    input::click(window, kStop);
    EXPECT_TRUE(player->calls.empty());

    input::click(window, kSlot0);
    ASSERT_EQ(player->calls.size(), 1u);

    // The pointer rests on the stop button while its highlight is hidden (as when the window is
    // shown again under a resting pointer): the click lands on the normal image and does nothing;
    // the first move makes the button clickable again.
    input::moveTo(window, kStop);
    form->stopcontrol1.setVisible(false);
    input::press(window, kStop);
    input::release(window, kStop);
    EXPECT_EQ(player->calls.size(), 1u);

    input::moveTo(window, kStop + QPoint(1, 0));
    EXPECT_TRUE(form->stopcontrol1.Visible());
    input::click(window, kStop + QPoint(1, 0));
    input::moveTo(window, kPlay);
    EXPECT_FALSE(form->stopcontrol1.Visible());
    EXPECT_TRUE(form->play1.Visible());
    input::click(window, kPlay);
    input::click(window, kPlay);
    EXPECT_EQ(player->calls,
              (std::vector<std::string>{"open http://127.0.0.1/s0", "stop", "play", "play"}));
    EXPECT_EQ(form->station.Caption(), "Name 0") << "play and stop leave the readout alone";

    input::moveTo(window, kPanelBackground);
    EXPECT_FALSE(form->play1.Visible());
}

TEST_F(StationListTest, StopThenPlayReplaysTheSameAddressWithoutReadingTheFile) {
    input::click(window, kSlot0);
    std::filesystem::remove(folder / "wavelark.ini");
    input::moveTo(window, kStop);
    input::click(window, kStop);
    input::moveTo(window, kPlay);
    input::click(window, kPlay);
    EXPECT_EQ(player->calls,
              (std::vector<std::string>{"open http://127.0.0.1/s0", "stop", "play"}));
    EXPECT_EQ(player->fileName(), "http://127.0.0.1/s0");
    EXPECT_TRUE(messages.empty());
}

TEST_F(StationListTest, QuickMoveFromMuteToVolumeUpLeavesBothHighlighted) {
    form->mutecontrol.setVisible(true);  // muted look
    input::moveTo(window, kMute);
    EXPECT_TRUE(form->mute1control.Visible());
    input::moveTo(window, kUp);  // no move over the panel between them
    EXPECT_TRUE(form->mute1control.Visible());
    EXPECT_TRUE(form->up1control.Visible());

    input::moveTo(window, kDown);
    EXPECT_TRUE(form->down1control.Visible());
    EXPECT_FALSE(form->up1control.Visible());
    input::moveTo(window, kPanelBackground);
    for (platform::Image* image : {&form->play1, &form->stopcontrol1, &form->down1control,
                                   &form->up1control, &form->mute1control, &form->nomute1control}) {
        EXPECT_FALSE(image->Visible());
    }
}

TEST_F(StationListTest, AboutLabelIsBoldUnderThePointerUntilTheBackground) {
    input::moveTo(window, {425, 110});
    EXPECT_TRUE(form->Label1.FontBold());
    input::moveTo(window, kSlot0);
    EXPECT_TRUE(form->Label1.FontBold());
    input::moveTo(window, kBackground);
    EXPECT_FALSE(form->Label1.FontBold());
}

}  // namespace
