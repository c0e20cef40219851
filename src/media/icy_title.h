#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace media {

// The longest title kept, in characters: more than any strip, menu or notification shows,
// and a title of megabytes (a tag in the stream has no bound of its own) would otherwise
// reach the sound server, the desktop bus and the screen reader whole.
constexpr std::size_t kTitleCharacters = 256;

// Turns a title as a station sent it into UTF-8 for display. Stations send UTF-8 or, many
// older ones, Windows-1252 (a superset of Latin-1) with nothing saying which: see
// platform::decodeText. Control characters and line separators become spaces and the ends are
// trimmed, so the title always fits one line; a longer one is cut to kTitleCharacters and
// ends in an ellipsis.
std::string decodeIcyTitle(std::string_view bytes);

// FFmpeg joins the comments of each new part of a chained Ogg stream to the ones before it with
// ';' ("A", then "A;C", "A;C;A"). Remembering the text last seen (by length and hash, so a
// long one is not held twice) gives the newest part's title alone. A title that merely holds
// a ';' is kept whole, since it does not extend the one before.
class ChainedTitle {
public:
    std::string_view newest(std::string_view joined);
    void forget() { *this = {}; }

private:
    std::size_t length_ = 0;
    std::size_t hash_ = 0;
    std::size_t newestAt_ = 0;
};

}  // namespace media
