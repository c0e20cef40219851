#include "tone_wav.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "pcm_capture.h"

std::string toneWav(double frequency, double seconds, const std::string& title) {
    const std::uint32_t rate = PcmCapture::kSampleRate;
    const auto count = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t bytes = count * 2;
    std::string wav;
    auto put = [&](auto value) { wav.append(reinterpret_cast<const char*>(&value), sizeof value); };
    // INAM holds the title and its NUL, padded to an even length.
    const auto nameSize = static_cast<std::uint32_t>(title.size() + 1);
    const std::uint32_t infoSize = title.empty() ? 0 : 12 + nameSize + nameSize % 2;
    wav += "RIFF";
    put(std::uint32_t{36 + bytes + (infoSize ? 8 + infoSize : 0)});
    wav += "WAVEfmt ";
    put(std::uint32_t{16});
    put(std::uint16_t{1});  // PCM
    put(std::uint16_t{1});  // mono
    put(rate);
    put(rate * 2);
    put(std::uint16_t{2});
    put(std::uint16_t{16});
    if (infoSize) {
        wav += "LIST";
        put(infoSize);
        wav += "INFOINAM";
        put(nameSize);
        wav += title;
        wav.append(1 + nameSize % 2, '\0');
    }
    wav += "data";
    put(bytes);
    for (std::uint32_t i = 0; i < count; ++i) {
        put(static_cast<std::int16_t>(8000 *
                                      std::sin(2 * std::numbers::pi * frequency * i / rate)));
    }
    return wav;
}
