#include "media/public_address.h"

namespace media {

std::string publicAddress(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    const auto scheme = address.find("://");
    if (scheme == std::string_view::npos) return std::string(address);
    const auto host = scheme + 3;
    const auto authorityEnd = address.find('/', host);
    const auto at = address.substr(0, authorityEnd).rfind('@');
    if (at == std::string_view::npos || at < host) return std::string(address);
    return std::string(address.substr(0, host)) + std::string(address.substr(at + 1));
}

}  // namespace media
