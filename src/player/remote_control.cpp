// The player as the desktop's media controls see it. Play, pause and stop are the play and stop
// buttons (a live stream has no pause), Next and Previous click the neighbouring slot that holds
// a station, the volume moves like the arrow keys, Raise is a left click on the tray icon and
// Quit is the tray menu's Exit.
#include "player/remote_control.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <functional>

#include "platform/event_dispatch.h"
#include "platform/message_box.h"
#include "platform/text_file.h"
#include "player/form1.h"
#include "player/station_line.h"
#include "shared/addresses.h"

namespace {
constexpr int kLevels = 31;  // volume steps above the lowest

NotificationPace::Time now() {
    return std::chrono::duration_cast<NotificationPace::Time>(
        std::chrono::steady_clock::now().time_since_epoch());
}
}  // namespace

RemoteControl::RemoteControl(Form1& form)
    : form_(form),
      remote_("wavelark", "Wavelark", "example.skyvane.Wavelark"),
      notification_("Wavelark", "example.skyvane.Wavelark") {
    // Once the window is unloaded (the About window may keep the program a while longer)
    // the controls have nothing left to act on.
    auto whileLoaded = [this](std::function<void()> command) {
        return [this, command = std::move(command)] {
            if (form_.Loaded() && form_.MediaPlayer1) command();
        };
    };
    remote_.Raise = whileLoaded([this] { form_.menuOpen_Click(); });
    remote_.Quit = whileLoaded([this] { form_.menuExit_Click(); });
    remote_.Play = whileLoaded([this] { form_.play1_Click(); });
    remote_.Pause = whileLoaded([this] { form_.stopcontrol1_Click(); });
    remote_.Stop = whileLoaded([this] { form_.stopcontrol1_Click(); });
    remote_.PlayPause = whileLoaded([this] {
        if (form_.MediaPlayer1->playing()) {
            form_.stopcontrol1_Click();
        } else {
            form_.play1_Click();
        }
    });
    remote_.Next = whileLoaded([this] { Next(); });
    remote_.Previous = whileLoaded([this] { Previous(); });
    remote_.SetVolume = [this](double volume) {
        if (form_.Loaded() && form_.MediaPlayer1) SetVolume(volume);
    };
    remote_.State = [this] { return State(); };
    form_.MediaPlayer1->PlaybackChanged = [this] { PlaybackChanged(); };
    // The About window may keep the program running after the player window is unloaded; a
    // new start must then find no player to raise, and start one of its own.
    formUnload_ = form_.Unload;
    form_.Unload = [this](int& cancel) {
        if (formUnload_) formUnload_(cancel);
        if (cancel == 0) remote_.withdraw();
    };
}

RemoteControl::~RemoteControl() {
    platform::setAfterEveryHandler({});
    form_.Unload = formUnload_;
    if (form_.MediaPlayer1) form_.MediaPlayer1->PlaybackChanged = {};
}

std::optional<int> RemoteControl::publish() {
    using Start = platform::MediaRemote::Start;
    const Start start = remote_.publish();
    if (start == Start::AnotherCopyRuns) return 0;
    if (start == Start::AnotherCopyHangs) {
        // Ending without a word would leave the user unable to start the player, and not
        // knowing why.
        const unsigned process = remote_.otherCopyProcess();
        const std::string id = process ? std::to_string(process) : "<process id>";
        platform::MsgBox("Wavelark is already running but not responding.\n\nEnd it with \"kill " +
                         id + "\" (or \"kill -9 " + id +
                         "\" if it stays), then start Wavelark again.");
        return 1;
    }
    onBus_ = start == Start::Published;
    // A click, a key or a menu item may change what the controls show.
    if (onBus_) platform::setAfterEveryHandler([this] { remote_.refresh(); });
    return std::nullopt;
}

void RemoteControl::Next() { Tune(+1); }
void RemoteControl::Previous() { Tune(-1); }

// Reads the station file as a click would and clicks the next slot in the given direction that
// holds a tunable address, going round at the ends. The step is taken from the slot tuned last,
// however it was tuned: the same station may stand in several slots. Before any station was
// tuned, forwards starts at the first slot and backwards at the last.
void RemoteControl::Tune(int direction) {
    std::array<std::string, Form1::kSlotCount> addresses;
    try {
        platform::TextFile file("wavelark.ini");
        for (int n = 0; !file.atEnd() && n < Form1::kSlotCount; ++n)
            addresses[n] = StationLine::split(file.lineInput()).address;
    } catch (const std::exception&) {
        // A click on any of these slots would only show the file's message.
        addresses.fill("");
    }
    addresses[Form1::kBuiltInSlot] = addresses::kBuiltInStationAddress;

    const int current = form_.tunedSlot();
    int slot = current < 0 ? (direction > 0 ? -1 : Form1::kSlotCount) : current;
    for (int tries = 0; tries < Form1::kSlotCount; ++tries) {
        slot = (slot + direction + Form1::kSlotCount) % Form1::kSlotCount;
        if (isTunableAddress(addresses[slot])) {
            if (form_.StationSlot[slot]->Click) form_.StationSlot[slot]->Click();
            return;
        }
    }
}

// The 32 steps of the window spread over 0 to 1; the window's buttons walk there one step at a
// time, so the readout and its limits are exactly theirs.
void RemoteControl::SetVolume(double volume) {
    if (!std::isfinite(volume)) return;
    const int wanted = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kLevels));
    for (int steps = 0; steps <= kLevels; ++steps) {
        const int level = kLevels + form_.MediaPlayer1->volume() / 200;
        if (level == wanted) return;
        const int before = form_.MediaPlayer1->volume();
        if (level < wanted) {
            form_.up1control_Click();
        } else {
            form_.down1control_Click();
        }
        if (form_.MediaPlayer1->volume() == before) return;
    }
}

platform::MediaRemoteState RemoteControl::State() const {
    platform::MediaRemoteState state;
    if (!form_.Loaded() || !form_.MediaPlayer1) return state;
    const media::MediaPlayer& player = *form_.MediaPlayer1;
    state.playing = player.playing();
    state.canPlay = !player.fileName().empty();
    if (state.canPlay) {
        const std::string title = player.streamTitle();
        state.album = form_.station.Caption();
        state.title = title.empty() ? state.album : title;
        state.url = player.fileName();
    }
    state.volume = std::clamp((kLevels + player.volume() / 200.0) / kLevels, 0.0, 1.0);
    return state;
}

// A new song while the window hides behind the tray icon is worth a notification; a repeat of
// the same title is not, and neither is anything while the window is on show.
void RemoteControl::PlaybackChanged() {
    const std::string title = form_.MediaPlayer1->streamTitle();
    if (title != lastTitle_) {
        lastTitle_ = title;
        if (onBus_ && !title.empty() && !form_.Visible())
            notify(pace_.offer({form_.station.Caption(), title}, now()));
    }
    remote_.refresh();
}

// Shows what the pace lets through and sleeps until the next notice may show, if one waits.
void RemoteControl::notify(std::optional<NotificationPace::Notice> notice) {
    if (notice) notification_.show(notice->summary, notice->body);
    const auto wakeAt = pace_.wakeAt();
    if (!wakeAt) return;
    paceTimer_.startOnce(std::max(*wakeAt - now(), NotificationPace::Time{0}), [this] {
        if (!form_.Loaded() || form_.Visible()) pace_.drop();
        notify(pace_.wake(now()));
    });
}
