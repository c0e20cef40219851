#pragma once

#include <string>
#include <string_view>

namespace media {

// Turns a title as a station sent it into UTF-8 for display. Stations send UTF-8 or, many
// older ones, Windows-1252 (a superset of Latin-1) with nothing saying which: bytes that are
// valid UTF-8 are taken as such, anything else is read as Windows-1252. Control characters
// become spaces and the ends are trimmed, so the title always fits one line.
std::string decodeIcyTitle(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

}  // namespace media
