// The player as the desktop's media controls see it. Play, pause and stop are the play and stop
// buttons (a live stream has no pause), Next and Previous click the neighbouring slot that holds
// a station, the volume moves like the arrow keys, Raise is a left click on the tray icon and
// Quit is the tray menu's Exit.
#include "player/remote_control.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>

#include "media/public_address.h"
#include "platform/message_box.h"
#include "player/player_window.h"
#include "player/station_file.h"
#include "player/volume_levels.h"
#include "shared/addresses.h"

namespace {
NotificationPace::Time now() {
    return std::chrono::duration_cast<NotificationPace::Time>(
        std::chrono::steady_clock::now().time_since_epoch());
}
}  // namespace

RemoteControl::RemoteControl(PlayerWindow& window)
    : window_(window),
      remote_("wavelark", "Wavelark", addresses::kDesktopId),
      notification_("Wavelark", addresses::kDesktopId) {
    // Once the window is unloaded (the About window may keep the program a while longer)
    // the controls have nothing left to act on.
    auto whileLoaded = [this](void (PlayerWindow::*command)()) {
        return [this, command] {
            if (window_.mediaPlayer()) (window_.*command)();
        };
    };
    remote_.Raise = whileLoaded(&PlayerWindow::showWindow);
    remote_.Quit = whileLoaded(&PlayerWindow::exitPlayer);
    remote_.Play = whileLoaded(&PlayerWindow::play);
    remote_.Pause = whileLoaded(&PlayerWindow::stop);
    remote_.Stop = whileLoaded(&PlayerWindow::stop);
    remote_.PlayPause = [this] {
        media::MediaPlayer* player = window_.mediaPlayer();
        if (!player) return;
        if (player->playing()) {
            window_.stop();
        } else {
            window_.play();
        }
    };
    remote_.Next = [this] {
        if (window_.mediaPlayer()) Next();
    };
    remote_.Previous = [this] {
        if (window_.mediaPlayer()) Previous();
    };
    remote_.SetVolume = [this](double volume) {
        if (window_.mediaPlayer()) SetVolume(volume);
    };
    remote_.State = [this] { return State(); };
    window_.mediaPlayer()->PlaybackChanged = [this] { PlaybackChanged(); };
    // The About window may keep the program running after the player window is unloaded; a
    // new start must then find no player to raise, and start one of its own.
    window_.Unloaded = [this] { remote_.withdraw(); };
}

RemoteControl::~RemoteControl() {
    window_.HandlerDone = {};
    window_.Unloaded = {};
    if (media::MediaPlayer* player = window_.mediaPlayer()) player->PlaybackChanged = {};
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
    if (onBus_) window_.HandlerDone = [this] { refreshSoon(); };
    return std::nullopt;
}

void RemoteControl::Next() { Tune(+1); }
void RemoteControl::Previous() { Tune(-1); }

// Reads the station file as a click would and clicks the next slot in the given direction that
// holds a tunable address, going round at the ends. The step is taken from the slot tuned last,
// however it was tuned: the same station may stand in several slots. Before any station was
// tuned, forwards starts at the first slot and backwards at the last.
void RemoteControl::Tune(int direction) {
    StationList stations;
    try {
        stations = readStationFile();
    } catch (const std::exception&) {
        // A click on any of these slots would only show the file's message.
        stations = {};
    }

    const int current = window_.tunedSlot();
    int slot = current < 0 ? (direction > 0 ? -1 : kSlotCount) : current;
    for (int tries = 0; tries < kSlotCount; ++tries) {
        slot = (slot + direction + kSlotCount) % kSlotCount;
        if (clickTunes(stations, slot)) {
            window_.clickSlot(slot);
            return;
        }
    }
}

// The 32 steps of the window spread over 0 to 1; the window's buttons walk there one step at a
// time, so the readout and its limits are exactly theirs.
void RemoteControl::SetVolume(double volume) {
    if (!std::isfinite(volume)) return;
    const int wanted = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kVolumeLevels));
    const media::MediaPlayer& player = *window_.mediaPlayer();
    for (int steps = 0; steps <= kVolumeLevels; ++steps) {
        // A step is one level: within one of the wanted level no step comes closer.
        const double level = volumeLevel(player.volume());
        if (std::abs(level - wanted) < 1) return;
        const int before = player.volume();
        if (level < wanted) {
            window_.volumeUp();
        } else {
            window_.volumeDown();
        }
        if (player.volume() == before) return;
    }
}

platform::MediaRemoteState RemoteControl::State() const {
    platform::MediaRemoteState state;
    const media::MediaPlayer* player = window_.mediaPlayer();
    if (!player) return state;
    state.playing = player->playing();
    state.canPlay = !player->fileName().empty();
    if (state.canPlay) {
        const std::string title = player->streamTitle();
        state.album = window_.stationName();
        state.title = title.empty() ? state.album : title;
        state.url = media::publicAddress(player->fileName());
    }
    state.volume = std::clamp(volumeLevel(player->volume()) / kVolumeLevels, 0.0, 1.0);
    return state;
}

// A new song while the window hides behind the tray icon is worth a notification; a repeat of
// the same title is not, and neither is anything while the window is on show.
void RemoteControl::PlaybackChanged() {
    const std::string title = window_.mediaPlayer()->streamTitle();
    if (title != lastTitle_) {
        lastTitle_ = title;
        if (onBus_ && !title.empty() && !window_.onShow())
            notify(pace_.offer({window_.stationName(), title}, now()));
    }
    refreshSoon();
}

// Once the event at hand is done: a click that tunes changes the playback inside its handler
// and the station's name after it, and the desktop hears of both in one announcement.
void RemoteControl::refreshSoon() {
    if (!refreshTimer_.isActive())
        refreshTimer_.startOnce(std::chrono::milliseconds(0), [this] { remote_.refresh(); });
}

// Shows what the pace lets through and sleeps until the next notice may show, if one waits.
void RemoteControl::notify(std::optional<NotificationPace::Notice> notice) {
    if (notice) notification_.show(notice->summary, notice->body);
    const auto wakeAt = pace_.wakeAt();
    if (!wakeAt) return;
    paceTimer_.startOnce(std::max(*wakeAt - now(), NotificationPace::Time{0}), [this] {
        if (!window_.mediaPlayer() || window_.onShow()) pace_.drop();
        notify(pace_.wake(now()));
    });
}
