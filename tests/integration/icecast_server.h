#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

// A real Icecast 2 on 127.0.0.1 with a temporary configuration, fed by ffmpeg sources playing
// known tones: /tone.mp3 (MP3 128 kbit/s), /tone.ogg (Ogg Vorbis, titled) and any further MP3
// mounts asked for.
class IcecastServer {
public:
    static constexpr double kMp3Frequency = 440.0;
    static constexpr double kOggFrequency = 1000.0;
    static constexpr const char* kOggTitle = "Ogg tone 1000 Hz";

    explicit IcecastServer(std::vector<std::string> moreMp3Mounts = {});
    ~IcecastServer();

    // Starts the server and both sources on the same port as before; throws when the mounts
    // are not live within a few seconds.
    void start();
    // Ends server and sources at once, as a crash or power cut would.
    void kill();

    int port() const { return port_; }
    std::string url(const std::string& mount) const;
    // Sets the ICY title of a mount through the admin interface, bytes as given.
    bool setTitle(const std::string& mount, const std::string& titleBytes);
    std::string log() const;

private:
    void writeConfig();
    void startMp3Source(ChildProcess& source, const std::string& target);

    std::filesystem::path folder_;
    int port_ = 0;
    ChildProcess server_;
    ChildProcess mp3Source_;
    ChildProcess oggSource_;
    std::vector<std::string> moreMp3Mounts_;
    std::vector<std::unique_ptr<ChildProcess>> moreMp3Sources_;
};
