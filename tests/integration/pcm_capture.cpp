#include "pcm_capture.h"

#include <cmath>
#include <fstream>
#include <numbers>

std::size_t PcmCapture::samples() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(path_, error);
    return error ? 0 : static_cast<std::size_t>(size / sizeof(float));
}

std::vector<float> PcmCapture::read(std::size_t first, std::size_t count) const {
    std::vector<float> samples(count);
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(first * sizeof(float)));
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(count * sizeof(float)));
    samples.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
    return samples;
}

double toneLevelDb(const std::vector<float>& samples, double frequency) {
    if (samples.empty()) return -200.0;
    const double w = 2.0 * std::numbers::pi * frequency / PcmCapture::kSampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (const float sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    const double amplitude = 2.0 * std::sqrt(std::max(power, 0.0)) / samples.size();
    return 20.0 * std::log10(std::max(amplitude, 1e-10));
}

double rmsLevelDb(const std::vector<float>& samples) {
    if (samples.empty()) return -200.0;
    double sum = 0;
    for (const float sample : samples) sum += double(sample) * sample;
    return 10.0 * std::log10(std::max(sum / samples.size(), 1e-20));
}
