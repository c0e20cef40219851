#include "media/icy_title.h"

#include <cstdint>
#include <functional>

#include "platform/text_encoding.h"

namespace media {

namespace {

// Whether the UTF-8 sequence at i breaks a line or is a control: C0 and DEL (one byte), C1
// controls (U+0080..U+009F) and the line and paragraph separators (U+2028, U+2029). Returns
// its length, or 0 for anything printable.
std::size_t lineBreakingAt(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    if (byte(i) < 0x20 || byte(i) == 0x7F) return 1;
    if (byte(i) == 0xC2 && i + 1 < text.size() && byte(i + 1) <= 0x9F) return 2;
    if (byte(i) == 0xE2 && i + 2 < text.size() && byte(i + 1) == 0x80 &&
        (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
        return 3;
    }
    return 0;
}

std::string oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = lineBreakingAt(text, i)) {
            out += ' ';
            i += length;
        } else {
            out += text[i++];
        }
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

// Far more bytes than kTitleCharacters can need, cut where no UTF-8 sequence is split, so
// that a title of megabytes is never decoded whole.
constexpr std::size_t kTitleBytes = 4096;

std::string_view leading(std::string_view bytes) {
    if (bytes.size() <= kTitleBytes) return bytes;
    std::size_t end = kTitleBytes;
    while (end > kTitleBytes - 4 && (static_cast<std::uint8_t>(bytes[end]) & 0xC0) == 0x80) --end;
    return bytes.substr(0, end);
}

// At most kTitleCharacters characters of valid UTF-8, an ellipsis after a cut.
std::string bounded(std::string text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<std::uint8_t>(text[i]) & 0xC0) == 0x80) continue;
        if (++characters > kTitleCharacters) {
            text.resize(i);
            return text + "\u2026";
        }
    }
    return text;
}

}  // namespace

std::string decodeIcyTitle(std::string_view bytes) {
    return bounded(oneLine(platform::decodeText(leading(bytes))));
}

std::string_view ChainedTitle::newest(std::string_view joined) {
    const std::hash<std::string_view> hash;
    const bool same = joined.size() == length_ && hash(joined) == hash_;
    if (!same) {
        const bool extends = length_ > 0 && joined.size() > length_ && joined[length_] == ';' &&
                             hash(joined.substr(0, length_)) == hash_;
        newestAt_ = extends ? length_ + 1 : 0;
        length_ = joined.size();
        hash_ = hash(joined);
    }
    return joined.substr(newestAt_);
}

}  // namespace media
