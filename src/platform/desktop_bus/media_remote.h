#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

// What the desktop's media controls show of the player.
struct MediaRemoteState {
    bool playing = false;  // sound plays or is on its way
    bool canPlay = false;  // something was opened, so play has something to start
    // Empty while nothing was tuned.
    std::string title;
    std::string album;
    std::string url;
    double volume = 1.0;  // 0 to 1

    bool operator==(const MediaRemoteState&) const = default;
};

// The player on the session bus as a media player (MPRIS 2): media keys, the desktop's sound
// menu, phones paired with the desktop and playerctl reach it here. Every command arrives as
// one of the handlers below, run on the UI thread like any window event; what the controls
// show is read from State whenever refresh() is called, and only what changed is announced.
class MediaRemote {
public:
    enum class Start { Published, NoSessionBus, AnotherCopyRuns, AnotherCopyHangs };

    // The bus name is org.mpris.MediaPlayer2.<playerName>.
    MediaRemote(std::string playerName, std::string identity, std::string desktopEntry);
    ~MediaRemote();
    MediaRemote(const MediaRemote&) = delete;
    MediaRemote& operator=(const MediaRemote&) = delete;

    std::function<void()> Raise, Quit, Play, Pause, PlayPause, Stop, Next, Previous;
    std::function<void(double volume)> SetVolume;
    std::function<MediaRemoteState()> State;

    // Takes the player's name on the session bus. When another copy holds it, that copy is
    // asked to raise its window; AnotherCopyHangs when it gives no answer within a few
    // seconds. Without a session bus nothing happens at all.
    Start publish();
    // The process that holds the name, as the bus knows it; 0 when unknown.
    unsigned otherCopyProcess() const;

    // Reads State and announces what changed since the last time.
    void refresh();

    // Leaves the bus: the player is going, and a new start must not find it there.
    void withdraw();

    // The object on the bus; its interfaces live with it in the implementation.
    class Object;

private:
    std::unique_ptr<Object> object_;
};

}  // namespace platform
