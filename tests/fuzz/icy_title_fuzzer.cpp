// Titles as stations send them, in whatever bytes they like. The title shown must be UTF-8 on
// one trimmed line, and decoding a shown title again must leave it as it is.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "media/icy_title.h"
#include "platform/text_encoding.h"

namespace {

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

void checkTitle(std::string_view raw) {
    const std::string title = media::decodeIcyTitle(raw);
    require(platform::isValidUtf8(title), "the title is UTF-8");
    for (const char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        require(byte >= 0x20 && byte != 0x7F, "no control characters");
    }
    require(title.empty() || (title.front() != ' ' && title.back() != ' '), "the title is trimmed");
    require(media::decodeIcyTitle(title) == title, "decoding a shown title changes nothing");
}

}  // namespace

// The input is fed whole, and, when it looks like an ICY metadata block, its StreamTitle value
// is fed on its own as the stream library hands it over: up to the closing "';", as a C string.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkTitle(bytes);

    constexpr std::string_view kKey = "StreamTitle='";
    const std::size_t start = bytes.find(kKey);
    if (start == std::string_view::npos) return 0;
    std::string_view value = bytes.substr(start + kKey.size());
    value = value.substr(0, value.find("';"));
    value = value.substr(0, value.find('\0'));
    checkTitle(value);
    return 0;
}
