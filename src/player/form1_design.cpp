// The player window's design: the window itself, every control with its place, look and state
// at start, the stacking order and the menu tree. Places are Left, Top, Width, Height in twips.
#include "player/form1.h"

#include "about/about.h"
#include "platform/notify_icon.h"

namespace {
using platform::AccessibleRole;
using platform::BackStyle;
using platform::Font;
using platform::kBlack;
using platform::kButtonText;
using platform::kWhite;
using platform::Picture;

constexpr platform::Colour kOrange = 0xFF8000;
constexpr platform::Colour kGreen = 0x008000;

const Font kArialBold{"Arial", 8.25, true};
const Font kSansBold{"MS Sans Serif", 8.25, true};
const Font kSans{"MS Sans Serif", 8.25, false};

Picture artwork(const char* name) {
    return Picture::fromResource(std::string(":/artwork/") + name);
}

void designReadout(platform::Label& label, int left, int top, int width, int height,
                   const std::string& caption, platform::Colour foreColor) {
    label.design(left, top, width, height, caption, kArialBold, foreColor);
    label.setBackStyle(BackStyle::Opaque);
    label.setBackColor(kBlack);
}

void designImage(platform::Image& image, int left, int top, int width, int height,
                 const char* picture, bool visible) {
    image.Move(left, top, width, height);
    image.setPicture(artwork(picture));
    image.setVisible(visible);
}

void designBar(platform::Frame& frame, int left, int top, int width, int height) {
    frame.Move(left, top, width, height);
    frame.setBackColor(kBlack);
}
}  // namespace

Form1::Form1(const MediaPlayerFactory& makeMediaPlayer)
    : MediaPlayer1(*this, makeMediaPlayer(MediaPlayer1Strip)),
      StationSlot{&Label4,  &Label6,  &Label7,  &Label8,  &Label9,  &Label10, &Label11,
                  &Label12, &Label23, &Label5,  &Label15, &Label14, &Label13, &Label16,
                  &Label17, &Label18, &Label19, &Label20, &Label21} {
    design();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::design() {
    setCaption(kTitle);
    setBorderStyle(platform::BorderStyle::FixedSingle);
    setClientSize(7005, 3240);
    setStartPosition(3300, 1305);
    setBackColor(kOrange);
    setPicture(artwork("skin.jpg"));
    setIcon(artwork("staff.ico"));
    KeyPreview = true;

    designBar(Frame3_0, 2760, 360, 60, 1095);
    designBar(Frame2, 2760, 1395, 3975, 60);
    designBar(Frame1, 2760, 360, 3975, 735);
    designBar(Frame3_1, 6720, 360, 60, 1095);

    Picture1.Move(6720, 2880, 690, 585);
    Picture1.setPicture(artwork("staff.ico"));
    Picture1.setVisible(false);

    // The station list: two columns of slots 240 twips apart; Label23 stands 10 twips high.
    struct Slot {
        platform::Label& label;
        int left, top;
        platform::Colour foreColor;
        const Font& font;
    };
    const Slot slots[] = {
        {Label4, 120, 120, kButtonText, kArialBold},
        {Label6, 120, 360, kButtonText, kArialBold},
        {Label7, 120, 600, kButtonText, kArialBold},
        {Label8, 120, 840, kButtonText, kArialBold},
        {Label9, 120, 1080, kButtonText, kArialBold},
        {Label10, 120, 1320, kBlack, kArialBold},
        {Label11, 120, 1560, kButtonText, kArialBold},
        {Label12, 120, 1800, kButtonText, kArialBold},
        {Label23, 120, 2030, kBlack, kSansBold},
        {Label5, 120, 2280, kButtonText, kArialBold},
        {Label15, 1440, 120, kButtonText, kArialBold},
        {Label14, 1440, 360, kButtonText, kArialBold},
        {Label13, 1440, 600, kButtonText, kArialBold},
        {Label16, 1440, 840, kButtonText, kArialBold},
        {Label17, 1440, 1080, kButtonText, kArialBold},
        {Label18, 1440, 1320, kButtonText, kArialBold},
        {Label19, 1440, 1560, kButtonText, kArialBold},
        {Label20, 1440, 1800, kButtonText, kArialBold},
        {Label21, 1440, 2040, kButtonText, kArialBold},
    };
    for (const Slot& slot : slots)
        slot.label.design(slot.left, slot.top, 1095, 255, "", slot.font, slot.foreColor);

    // Only the player's status bar is drawn; the panel and the bars frame it to 260 x 20 pixels.
    MediaPlayer1Strip.Move(2760, 1080, 3975, 360);

    Label1.design(6240, 1560, 495, 255, "About", kSans, kButtonText);

    // The display panel; places are inside Frame1.
    designImage(mute1control, 1320, 120, 315, 300, "muted_hover.jpg", false);
    designImage(mutecontrol, 1320, 120, 315, 300, "muted.jpg", false);
    designImage(nomute1control, 1320, 120, 315, 300, "sound_on_hover.jpg", false);
    designImage(nomutecontrol, 1320, 120, 315, 300, "sound_on.jpg", true);
    designImage(up1control, 1680, 120, 300, 255, "up_hover.jpg", false);
    designImage(down1control, 960, 120, 315, 255, "down_hover.jpg", false);
    designImage(stopcontrol1, 360, 120, 270, 255, "stop_hover.jpg", false);
    designImage(play1, 0, 120, 360, 255, "play_hover.jpg", false);
    designReadout(station, 840, 480, 3975, 255, "None", kGreen);
    designReadout(Label3, 120, 480, 735, 255, "Station:", kWhite);
    designReadout(Label2, 2160, 160, 735, 255, "Volume:", kWhite);
    designReadout(volume, 2950, 165, 975, 255, "31 Highest", kGreen);
    designImage(Image2, 1680, 120, 300, 255, "up.jpg", true);
    designImage(Image1, 960, 120, 315, 255, "down.jpg", true);
    designImage(stopcontrol, 360, 120, 270, 255, "stop.jpg", true);
    designImage(playcontrol, 0, 120, 360, 255, "play.jpg", true);

    // Stacking, back to front: where two overlap, the later one covers the earlier.
    for (platform::Control* control : std::initializer_list<platform::Control*>{
             &Label1,   &MediaPlayer1Strip, &Label4,  &Label6,  &Label7,  &Label8,  &Label9,
             &Label10,  &Label11,           &Label12, &Label23, &Label5,  &Label15, &Label14,
             &Label13,  &Label16,           &Label17, &Label18, &Label19, &Label20, &Label21,
             &Frame3_1, &Picture1,          &Frame1,  &Frame2,  &Frame3_0}) {
        control->ZOrder();
    }
    for (platform::Control* control : std::initializer_list<platform::Control*>{
             &playcontrol, &stopcontrol, &Image1, &Image2, &volume, &Label2, &Label3, &station,
             &play1, &stopcontrol1, &down1control, &up1control, &nomutecontrol, &nomute1control,
             &mutecontrol, &mute1control}) {
        control->ZOrder();
    }

    // What a screen reader is told, and the order it reads the window in (Tab follows it). A
    // slot is a button named by its caption while it holds a station; each skin button is
    // offered once, as the picture that is always shown, and pressing it clicks its hover copy.
    for (platform::Label* slot : StationSlot) slot->setAccessibleRole(AccessibleRole::PushButton);
    struct SkinButton {
        platform::Image& shown;
        platform::Image& hoverCopy;
        const char* name;
    };
    for (const SkinButton& button :
         {SkinButton{playcontrol, play1, "Play"}, SkinButton{stopcontrol, stopcontrol1, "Stop"},
          SkinButton{Image1, down1control, "Volume down"},
          SkinButton{nomutecontrol, nomute1control, "Mute"},
          SkinButton{Image2, up1control, "Volume up"}}) {
        button.shown.setAccessibleRole(AccessibleRole::PushButton);
        button.shown.setAccessibleName(button.name);
        button.shown.setPressTarget(button.hoverCopy);
    }
    // Mute says what pressing it does, read from the player, which holds the mute state (and
    // is gone once the window is unloaded).
    nomutecontrol.setAccessibleName(
        [this] { return MediaPlayer1 && MediaPlayer1->mute() ? "Unmute" : "Mute"; });
    for (platform::Label* text : {&Label2, &volume, &Label3, &station})
        text->setAccessibleRole(AccessibleRole::Text);
    // The volume readout says what its number is, for it is heard alone when it changes.
    volume.setAccessibleName([this] { return "Volume " + volume.Caption(); });
    MediaPlayer1Strip.setAccessibleRole(AccessibleRole::StatusBar);
    Label1.setAccessibleRole(AccessibleRole::PushButton);
    std::vector<platform::Control*> reading(StationSlot.begin(), StationSlot.end());
    reading.insert(reading.end(),
                   {&playcontrol, &stopcontrol, &Image1, &nomutecontrol, &Image2, &Label2, &volume,
                    &Label3, &station, &MediaPlayer1Strip, &Label1});
    setReadingOrder(reading);

    // The menu tree: one hidden top-level menu, shown only as the tray popup.
    menuDatei.setVisible(false);
    for (platform::MenuItem* item :
         {&menuOpen, &menuMini, &mnBarSep1, &MenuUp, &MenuDown, &mnBarSep2, &menuExit}) {
        menuDatei.add(*item);
    }
    // A panel that draws the tray icon's menu itself shows this one.
    platform::setNotifyIconMenu(Picture1.hWnd(), menuDatei);
}

void Form1::connectHandlers() {
    // Every handler ends by saying so: any of them may change what the media controls show.
    auto done = [this] {
        if (HandlerDone) HandlerDone();
    };
    auto on = [this, done](void (Form1::*handler)()) {
        return [this, handler, done](auto&&...) {
            (this->*handler)();
            done();
        };
    };
    Load = on(&Form1::Form_Load);
    Unload = [this, done](int& cancel) {
        Form_Unload(cancel);
        done();
    };
    Resize = on(&Form1::Form_Resize);
    KeyDown = [this, done](int& keyCode, int shift) {
        Form_KeyDown(keyCode, shift);
        done();
    };
    MouseMove = on(&Form1::Form_MouseMove);
    menuExit.Click = on(&Form1::menuExit_Click);

    const std::array<void (Form1::*)(), kSlotCount> clicks = {
        &Form1::Label4_Click,  &Form1::Label6_Click,  &Form1::Label7_Click,  &Form1::Label8_Click,
        &Form1::Label9_Click,  &Form1::Label10_Click, &Form1::Label11_Click, &Form1::Label12_Click,
        &Form1::Label23_Click, &Form1::Label5_Click,  &Form1::Label15_Click, &Form1::Label14_Click,
        &Form1::Label13_Click, &Form1::Label16_Click, &Form1::Label17_Click, &Form1::Label18_Click,
        &Form1::Label19_Click, &Form1::Label20_Click, &Form1::Label21_Click};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        platform::Label& label = *StationSlot[slot];
        label.Click = on(clicks[slot]);
        label.MouseMove = [this, &label, done](const platform::MouseArgs&) {
            StationSlot_MouseMove(label);
            done();
        };
    }

    Frame1.MouseMove = on(&Form1::Frame1_MouseMove);
    playcontrol.MouseMove = on(&Form1::playcontrol_MouseMove);
    stopcontrol.MouseMove = on(&Form1::stopcontrol_MouseMove);
    Image1.MouseMove = on(&Form1::Image1_MouseMove);
    Image2.MouseMove = on(&Form1::Image2_MouseMove);
    mutecontrol.MouseMove = on(&Form1::mutecontrol_MouseMove);
    nomutecontrol.MouseMove = on(&Form1::nomutecontrol_MouseMove);

    play1.Click = on(&Form1::play1_Click);
    stopcontrol1.Click = on(&Form1::stopcontrol1_Click);
    up1control.Click = on(&Form1::up1control_Click);
    down1control.Click = on(&Form1::down1control_Click);
    MenuUp.Click = on(&Form1::MenuUp_Click);
    MenuDown.Click = on(&Form1::MenuDown_Click);
    mute1control.Click = on(&Form1::mute1control_Click);
    nomute1control.Click = on(&Form1::nomute1control_Click);

    Picture1.MouseMove = [this, done](const platform::MouseArgs& args) {
        Picture1_MouseMove(args);
        done();
    };
    menuOpen.Click = on(&Form1::menuOpen_Click);
    menuMini.Click = on(&Form1::menuMini_Click);

    Label1.MouseMove = on(&Form1::Label1_MouseMove);
    Label1.Click = on(&Form1::Label1_Click);

    atUnload([this] {
        if (Unloaded) Unloaded();
    });
}
