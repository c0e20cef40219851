#pragma once

#include <string>
#include <string_view>

namespace platform {

bool isValidUtf8(std::string_view bytes);

// Text from a file or a stream whose encoding nobody declared: UTF-8 when the bytes are valid
// UTF-8, otherwise Windows-1252 (of which Latin-1 is a part). The result is UTF-8.
std::string decodeText(std::string_view bytes);

// The first count characters (not bytes) of UTF-8 text.
std::string leftCharacters(std::string_view utf8, std::size_t count);

}  // namespace platform
