#include <optional>

#include "media/mpv_media_player.h"
#include "platform/application.h"
#include "player/form1.h"
#include "player/remote_control.h"

int main(int argc, char** argv) {
    if (!platform::chooseWindowSystem()) return 1;
    platform::Application application(argc, argv, "Wavelark");
    Form1 form1([](platform::StatusStrip& strip) { return media::makeMpvMediaPlayer(strip); });
    // A second start shows the copy that runs already and plays nothing of its own; when that
    // copy does not answer, it says so and fails.
    RemoteControl remoteControl(form1);
    if (const std::optional<int> status = remoteControl.publish()) return *status;
    platform::Load(form1);
    return application.Run();
}
