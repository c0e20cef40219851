#include "platform/application.h"
#include "player/form1.h"
#include "player/media/mpv_media_player.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv, "Wavelark");
    Form1 form1([](platform::StatusStrip& strip) { return media::makeMpvMediaPlayer(strip); });
    platform::Load(form1);
    return application.Run();
}
