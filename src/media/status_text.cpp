#include "media/status_text.h"

#include <algorithm>
#include <cstdio>

namespace media::status_text {

std::string buffering(int percent) {
    return "Buffering " + std::to_string(std::clamp(percent, 0, 100)) + "%";
}

std::string serverError(int httpStatus) {
    return "Server error (" + std::to_string(httpStatus) + ")";
}

std::string elapsed(std::chrono::seconds played) {
    const long long total = std::max<long long>(0, played.count());
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    char text[32];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
    }
    return text;
}

}  // namespace media::status_text
