#include "player/station_line.h"

#include "platform/runtime_error.h"
#include "platform/text_encoding.h"

#include <string_view>

StationLine StationLine::split(const std::string& line) {
    const std::size_t first = line.find(',');
    if (first == std::string::npos) throw platform::errors::invalidCall();
    const std::size_t second = line.find(',', first + 1);
    if (second == std::string::npos) throw platform::errors::invalidCall();
    return {line.substr(0, first), line.substr(first + 1, second - first - 1),
            platform::leftCharacters(std::string_view(line).substr(second + 1), kMaxDisplayName)};
}

bool isTunableAddress(const std::string& address) {
    const std::string_view text = address;
    return text.starts_with("http:/") || text.starts_with("mms://") || text.starts_with("https://");
}
