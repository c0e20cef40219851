#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// A station's address may serve a playlist (M3U or PLS) naming its streams. mpv would read one
// to its end, however long a server makes it, so the player reads playlists itself, bounded:
// a real station's is a few hundred bytes and names a handful of streams.
constexpr std::size_t kPlaylistBytes = 64 * 1024;
constexpr std::size_t kPlaylistStreams = 16;

struct StationPlaylist {
    enum class Kind {
        NotAPlaylist,  // not text: the engine's verdict on it stands
        Streams,       // the streams to try, in order
        NoStreams,     // names nothing a station may: this machine's files, other schemes
        TooLarge,      // text that goes on past kPlaylistBytes
    };
    Kind kind = Kind::NotAPlaylist;
    std::vector<std::string> streams;
};

// Reads what address served: bytes is its start, whole says whether it ended within
// kPlaylistBytes. Entries may be http, https or mms addresses, or paths relative to the
// playlist, which stay on its server; anything else is refused.
StationPlaylist readStationPlaylist(std::string_view bytes, bool whole, std::string_view address);

}  // namespace media
