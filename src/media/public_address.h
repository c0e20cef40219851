#pragma once

#include <string>
#include <string_view>

namespace media {

// A station's address as it may be shown to others (the desktop bus, the log): without the
// user name and password before its host, nor its query, where listening tokens go.
std::string publicAddress(std::string_view address);

}  // namespace media
