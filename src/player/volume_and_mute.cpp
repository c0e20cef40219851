// Volume in 32 levels of 200 hundredths of a decibel, the mute toggle and the arrow keys. The
// player holds the volume and the mute state; every command reads them afresh.
#include "platform/key_codes.h"
#include "platform/number_text.h"
#include "player/form1.h"

void Form1::up1control_Click() {
    if (MediaPlayer1->volume() < 0) MediaPlayer1->setVolume(MediaPlayer1->volume() + kVolumeStep);
    ShowVolume();
}

void Form1::down1control_Click() {
    if (MediaPlayer1->volume() > kLowestVolume)
        MediaPlayer1->setVolume(MediaPlayer1->volume() - kVolumeStep);
    ShowVolume();
}

// The menu moves four levels at a time and stops short of the ends it cannot reach in one go.
void Form1::MenuUp_Click() {
    if (MediaPlayer1->volume() < -700) MediaPlayer1->setVolume(MediaPlayer1->volume() + 800);
    ShowVolume();
}

void Form1::MenuDown_Click() {
    if (MediaPlayer1->volume() > -5400) MediaPlayer1->setVolume(MediaPlayer1->volume() - 800);
    ShowVolume();
}

void Form1::ShowVolume() {
    if (MediaPlayer1->volume() == 0) {
        volume.setCaption("31 Highest");
    } else if (MediaPlayer1->volume() == kLowestVolume) {
        volume.setCaption("0 Lowest");
    } else {
        volume.setCaption(platform::NumberToText(volumeLevel(MediaPlayer1->volume())));
    }
}

void Form1::mute1control_Click() { ToggleMute(); }
void Form1::nomute1control_Click() { ToggleMute(); }

// The highlighted image of the new state ends up under the pointer, so the next click toggles back.
void Form1::ToggleMute() {
    if (!MediaPlayer1->mute()) {
        MediaPlayer1->setMute(true);
        mutecontrol.setVisible(true);
        volume.setCaption("Mute");
        mute1control.setVisible(true);
        nomute1control.setVisible(false);
    } else {
        MediaPlayer1->setMute(false);
        mutecontrol.setVisible(false);
        mute1control.setVisible(false);
        nomute1control.setVisible(true);
        ShowVolume();
    }
}

// Down is tested first and consumes the key, so one press never runs both commands.
void Form1::Form_KeyDown(int& keyCode, int) {
    if (keyCode == platform::kKeyDown) {
        keyCode = 0;
        down1control_Click();
    }
    if (keyCode == platform::kKeyUp) {
        keyCode = 0;
        up1control_Click();
    }
}
