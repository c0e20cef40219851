#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "media/engine_teardown.h"
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
    const int status = application.Run();
    // The window is gone. An engine still waiting out a name lookup may take half a minute;
    // the process does not wait for it, nor run the libraries' exit code beneath it.
    if (!media::enginesEnded(std::chrono::seconds(2))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
