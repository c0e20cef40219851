#pragma once

#include <optional>
#include <string>

#include "platform/desktop_bus/desktop_notification.h"
#include "platform/desktop_bus/media_remote.h"
#include "platform/timer.h"
#include "player/notification_pace.h"

class PlayerWindow;

// The desktop's media keys, sound menu and playerctl, and a notification for each new song
// while the window is hidden. Every command acts through the window's own handlers, so the
// window, its readouts and the tray show exactly what the same click would have shown.
class RemoteControl {
public:
    explicit RemoteControl(PlayerWindow& window);
    ~RemoteControl();

    // Puts the player on the session bus. When another copy already runs there, that copy
    // has been asked to show its window and this one should end: the status to end with.
    std::optional<int> publish();

    // The commands that are more than one click of the window.
    void Next();
    void Previous();
    void SetVolume(double volume);
    platform::MediaRemoteState State() const;

private:
    void Tune(int direction);
    void PlaybackChanged();
    void refreshSoon();
    void notify(std::optional<NotificationPace::Notice> notice);

    PlayerWindow& window_;
    platform::MediaRemote remote_;
    platform::DesktopNotification notification_;
    // Whether publish() found a session bus; without one nothing is sent anywhere.
    bool onBus_ = false;
    // The last title the stream sent, so that a repeat of it notifies nobody.
    std::string lastTitle_;
    NotificationPace pace_{std::chrono::seconds(3)};
    platform::Timer paceTimer_;
    platform::Timer refreshTimer_;
};
