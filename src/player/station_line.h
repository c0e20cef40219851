#pragma once

#include <string>

// One line of the station file: list caption, stream address and display name, split at the
// first comma and the first comma after it. Further commas belong to the display name.
struct StationLine {
    static constexpr std::size_t kMaxDisplayName = 256;  // characters

    std::string caption;
    std::string address;
    std::string displayName;

    // Fails (platform::RuntimeError) for a line with fewer than two commas: a damaged file.
    static StationLine split(const std::string& line);
};

// Whether the player tunes an address: only those that begin with "http:/", "https://" or
// "mms://".
bool isTunableAddress(const std::string& address);
