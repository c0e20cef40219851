#include "pcm_capture.h"

#include <cmath>
#include <fstream>
#include <numbers>

std::size_t PcmCapture::samples() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(path_, error);
    return error ? 0 : static_cast<std::size_t>(size / 2);
}

std::vector<std::int16_t> PcmCapture::read(std::size_t first, std::size_t count) const {
    std::vector<std::int16_t> samples(count);
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(first * 2));
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(count * 2));
    samples.resize(static_cast<std::size_t>(in.gcount() / 2));
    return samples;
}

double toneLevelDb(const std::vector<std::int16_t>& samples, double frequency) {
    if (samples.empty()) return -200.0;
    const double w = 2.0 * std::numbers::pi * frequency / PcmCapture::kSampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (const std::int16_t sample : samples) {
        const double s0 = sample / 32768.0 + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    const double amplitude = 2.0 * std::sqrt(std::max(power, 0.0)) / samples.size();
    return 20.0 * std::log10(std::max(amplitude, 1e-10));
}

double rmsLevelDb(const std::vector<std::int16_t>& samples) {
    if (samples.empty()) return -200.0;
    double sum = 0;
    for (const std::int16_t sample : samples) sum += (sample / 32768.0) * (sample / 32768.0);
    return 10.0 * std::log10(std::max(sum / samples.size(), 1e-20));
}
