#include "media/station_playlist.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace media {

namespace {

bool isText(std::string_view bytes) {
    return !bytes.empty() && std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F;
    });
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The scheme of an absolute address ("http" of "http://..."), empty for a relative path.
std::string schemeOf(std::string_view entry) {
    const auto colon = entry.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    const std::string_view scheme = entry.substr(0, colon);
    const bool valid =
        std::isalpha(static_cast<unsigned char>(scheme[0])) &&
        std::all_of(scheme.begin(), scheme.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        });
    return valid ? lowered(scheme) : std::string();
}

// The address a playlist entry names, or none when a station may not name it.
std::optional<std::string> streamFor(std::string_view entry, std::string_view address) {
    const std::string scheme = schemeOf(entry);
    if (!scheme.empty()) {
        const bool stream = scheme == "http" || scheme == "https" || scheme == "mms";
        if (stream && entry.substr(scheme.size()).starts_with("://")) return std::string(entry);
        return std::nullopt;
    }
    // A path of this machine (absolute, or a drive or share) or of another server.
    if (entry.starts_with('/') || entry.starts_with('\\')) return std::nullopt;
    const auto authority = address.find("://");
    const auto pathStart =
        address.find('/', authority == std::string_view::npos ? 0 : authority + 3);
    if (pathStart == std::string_view::npos) return std::string(address) + "/" + std::string(entry);
    const auto query = address.find_first_of("?#", pathStart);
    const auto folderEnd = address.substr(0, query).rfind('/');
    return std::string(address.substr(0, folderEnd + 1)) + std::string(entry);
}

// M3U entries are the lines that are not comments; PLS entries the values of File<n>=.
std::vector<std::string_view> entriesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(trimmed(text.substr(0, end)));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    std::erase_if(lines, [](std::string_view line) { return line.empty(); });
    std::vector<std::string_view> entries;
    const bool pls = !lines.empty() && lowered(lines.front()) == "[playlist]";
    for (std::string_view line : lines) {
        if (pls) {
            const auto equals = line.find('=');
            if (equals == std::string_view::npos || !lowered(line).starts_with("file")) continue;
            line = trimmed(line.substr(equals + 1));
        } else if (line.starts_with('#')) {
            continue;
        }
        if (!line.empty()) entries.push_back(line);
    }
    return entries;
}

}  // namespace

StationPlaylist readStationPlaylist(std::string_view bytes, bool whole, std::string_view address) {
    // A byte-order mark before a text playlist.
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (!isText(bytes)) return {};
    if (!whole) return {StationPlaylist::Kind::TooLarge, {}};
    const auto entries = entriesOf(bytes);
    if (entries.empty()) return {};
    StationPlaylist playlist{StationPlaylist::Kind::NoStreams, {}};
    for (std::string_view entry : entries) {
        if (playlist.streams.size() == kPlaylistStreams) break;
        if (auto stream = streamFor(entry, address)) playlist.streams.push_back(std::move(*stream));
    }
    if (!playlist.streams.empty()) playlist.kind = StationPlaylist::Kind::Streams;
    return playlist;
}

}  // namespace media
