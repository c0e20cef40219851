#pragma once

#include <string>

// What the player's status strip shows: the engine's state in words, the station's
// now-playing title when the stream sends one, and the time played.
struct StatusLine {
    std::string state;
    std::string title;
    std::string elapsed;
    // How far the state has come ("40%" while buffering); a screen reader is spared it.
    std::string progress;

    // The left-hand text: the state with its progress, then the title when there is one.
    std::string text() const {
        const std::string shown = progress.empty() ? state : state + " " + progress;
        return title.empty() ? shown : shown + ": " + title;
    }

    bool operator==(const StatusLine&) const = default;
};

// Where the engine shows its status; the window's status strip implements it. The engine
// calls show only when the line changed.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void show(const StatusLine& line) = 0;
};
