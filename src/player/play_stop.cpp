// Play and stop act on whatever the player last opened, and only once something was opened.
#include "player/form1.h"

void Form1::play1_Click() {
    if (MediaPlayer1->fileName() == "") return;
    MediaPlayer1->play();
}

void Form1::stopcontrol1_Click() {
    if (MediaPlayer1->fileName() == "") return;
    MediaPlayer1->stop();
}
