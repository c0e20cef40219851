// The "About" label of the player window.
#include "about/about.h"
#include "player/form1.h"

void Form1::Label1_MouseMove() { Label1.setFontBold(true); }

// A fresh About window every time, shown modeless; the main window is disabled meanwhile.
void Form1::Label1_Click() {
    aboutWindow = std::make_unique<about>(*this);
    platform::Load(*aboutWindow);
    setEnabled(false);
    Label1.setFontBold(false);
}
