// The station list: a click tunes the slot's station, the slot under the pointer is highlighted.
#include "player/form1.h"
#include "shared/addresses.h"

namespace {
constexpr platform::Colour kHighlight = 0xC00000;
}

void Form1::Label4_Click() { TuneStation("0", "0"); }
void Form1::Label6_Click() { TuneStation("1", "1"); }
void Form1::Label7_Click() { TuneStation("2", "2"); }
void Form1::Label8_Click() { TuneStation("3", "3"); }
void Form1::Label9_Click() { TuneStation("4", "4"); }
void Form1::Label10_Click() { TuneStation("5", "5"); }
void Form1::Label11_Click() { TuneStation("6", "6"); }
void Form1::Label12_Click() { TuneStation("7", "7"); }
void Form1::Label23_Click() { TuneStation("8", "8"); }
void Form1::Label5_Click() { TuneStation("9", "9"); }
void Form1::Label15_Click() { TuneStation("10", "10"); }
void Form1::Label14_Click() { TuneStation("11", "11"); }
void Form1::Label13_Click() { TuneStation("12", "12"); }
void Form1::Label17_Click() { TuneStation("14", "14"); }
void Form1::Label18_Click() { TuneStation("15", "15"); }
void Form1::Label19_Click() { TuneStation("16", "16"); }
void Form1::Label20_Click() { TuneStation("17", "17"); }
void Form1::Label21_Click() { TuneStation("18", "18"); }

// Slot 13 (kBuiltInSlot) plays the built-in station whatever the station file holds
// (clickTunes).
void Form1::Label16_Click() {
    MediaPlayer1->open(addresses::kBuiltInStationAddress);
    tunedSlot_ = kBuiltInSlot;
    station.setCaption(addresses::kBuiltInStationName);
}

void Form1::StationSlot_MouseMove(platform::Label& slot) {
    slot.setForeColor(kHighlight);
    for (platform::Label* other : StationSlot) {
        if (other != &slot) other->setForeColor(platform::kButtonText);
    }
}
