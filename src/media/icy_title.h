#pragma once

#include <string>
#include <string_view>

namespace media {

// Turns a title as a station sent it into UTF-8 for display. Stations send UTF-8 or, many
// older ones, Windows-1252 (a superset of Latin-1) with nothing saying which: see
// platform::decodeText. Control characters and line separators become spaces and the ends are
// trimmed, so the title always fits one line.
std::string decodeIcyTitle(std::string_view bytes);

}  // namespace media
