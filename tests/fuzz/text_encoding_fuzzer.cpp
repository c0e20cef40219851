// Decoding text of unknown encoding, and cutting it to a number of characters. Whatever the
// bytes, the result must be UTF-8 and a cut must fall between characters, or a label would show
// a broken glyph and the next conversion would see garbage.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace {

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return !isContinuation(c); }));
}

void checkLeft(std::string_view text, std::size_t count) {
    const std::string left = platform::leftCharacters(text, count);
    require(text.starts_with(left), "the cut is the text's start");
    // Between characters: the next byte, if any, starts a character of its own.
    require(left.empty() || left.size() == text.size() || !isContinuation(text[left.size()]),
            "the cut never splits a character");
    if (platform::isValidUtf8(text)) {
        require(platform::isValidUtf8(left), "a cut of UTF-8 is UTF-8");
        require(characters(left) == std::min(count, characters(text)),
                "the cut keeps the asked number of characters");
    }
}

}  // namespace

// The first byte, when there is one, is the number of characters to keep; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string decoded = platform::decodeText(bytes);
    require(platform::isValidUtf8(decoded), "decoded text is UTF-8");
    if (platform::isValidUtf8(bytes)) {
        require(decoded == bytes, "UTF-8 is kept as it is");
    } else {
        require(characters(decoded) == bytes.size(), "each other byte is one character");
    }
    require(platform::decodeText(decoded) == decoded, "decoding twice changes nothing");

    const std::size_t count = size > 0 ? data[0] : 0;
    const std::string_view text = size > 0 ? bytes.substr(1) : bytes;
    for (const std::size_t n : {count, std::size_t{0}, std::size_t{256}, characters(text) / 2}) {
        checkLeft(text, n);
        checkLeft(platform::decodeText(text), n);
    }
    return 0;
}
