// Rollover: a skin button's highlighted image shows while the pointer is over it and takes the
// click; the panel and the window background hide them again.
#include <initializer_list>

#include "player/form1.h"

namespace {
void show(platform::Image& image) { image.setVisible(true); }
void hide(std::initializer_list<platform::Image*> images) {
    for (platform::Image* image : images) image->setVisible(false);
}
}  // namespace

void Form1::Form_MouseMove() {
    hide({&stopcontrol1, &play1, &down1control, &up1control, &nomute1control, &mute1control});
    Label1.setFontBold(false);
    for (platform::Label* slot : StationSlot) slot->setForeColor(platform::kButtonText);
}

void Form1::Frame1_MouseMove() {
    hide({&stopcontrol1, &play1, &down1control, &up1control, &nomute1control, &mute1control});
}

void Form1::playcontrol_MouseMove() {
    show(play1);
    hide({&stopcontrol1, &down1control, &up1control});
}

void Form1::stopcontrol_MouseMove() {
    show(stopcontrol1);
    hide({&play1, &down1control, &up1control});
}

void Form1::Image1_MouseMove() {
    show(down1control);
    hide({&up1control, &stopcontrol1, &play1});
}

void Form1::Image2_MouseMove() {
    show(up1control);
    hide({&down1control, &stopcontrol1, &play1});
}

void Form1::mutecontrol_MouseMove() {
    show(mute1control);
    hide({&nomute1control, &play1, &stopcontrol1, &down1control, &up1control});
}

void Form1::nomutecontrol_MouseMove() {
    show(nomute1control);
    hide({&mute1control, &play1, &stopcontrol1, &down1control, &up1control});
}
