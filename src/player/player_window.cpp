// The window as the desktop's media controls see it: each command is what the click on its
// control runs, so it ends, like every handler, with HandlerDone.
#include "player/form1.h"

namespace {
void click(const platform::Control& control) {
    if (control.Click) control.Click();
}
}  // namespace

void Form1::showWindow() {
    if (menuOpen.Click) menuOpen.Click();
}
void Form1::exitPlayer() {
    if (menuExit.Click) menuExit.Click();
}
void Form1::play() { click(play1); }
void Form1::stop() { click(stopcontrol1); }
void Form1::volumeUp() { click(up1control); }
void Form1::volumeDown() { click(down1control); }
void Form1::clickSlot(int slot) { click(*StationSlot.at(slot)); }

bool Form1::onShow() const { return Visible(); }
std::string Form1::stationName() const { return station.Caption(); }
media::MediaPlayer* Form1::mediaPlayer() const { return MediaPlayer1.get(); }
