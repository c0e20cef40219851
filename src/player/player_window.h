#pragma once

#include <functional>
#include <string>

#include "media/media_player.h"

// What the desktop's media controls may use of the player window: its own handlers, as a click
// would run them, what it shows, and word of what happens to it. The window implements it; the
// remote control sees nothing else of it.
class PlayerWindow {
public:
    // The tray menu's "&Show" and "&Exit".
    virtual void showWindow() = 0;
    virtual void exitPlayer() = 0;
    // The play, stop and volume buttons, and a click on a station slot.
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void volumeUp() = 0;
    virtual void volumeDown() = 0;
    virtual void clickSlot(int slot) = 0;

    virtual bool onShow() const = 0;
    virtual std::string stationName() const = 0;
    // The slot whose station was handed to the media player last, -1 before any.
    virtual int tunedSlot() const = 0;
    // The window's media player; nullptr once the window is unloaded, which takes it along.
    virtual media::MediaPlayer* mediaPlayer() const = 0;

    // Runs after each of the window's event handlers: any of them may change what it shows.
    std::function<void()> HandlerDone;
    // Runs once the window is unloaded, after its Unload handler did not cancel.
    std::function<void()> Unloaded;

protected:
    ~PlayerWindow() = default;
};
