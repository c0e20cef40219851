#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// The raw audio mpv's pcm output writes while it plays: headerless 32-bit float mono at
// kSampleRate, appended as it is decoded. Read by size, as the file grows. Float, because mpv
// turns quiet audio (-60 dB and below) into digital silence when it writes 16-bit samples.
class PcmCapture {
public:
    static constexpr int kSampleRate = 44100;

    explicit PcmCapture(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }
    // Samples written so far.
    std::size_t samples() const;
    std::vector<float> read(std::size_t first, std::size_t count) const;

private:
    std::filesystem::path path_;
};

// The amplitude of the tone at a frequency, in dB below full scale (Goertzel), and the level
// of everything, for silence checks.
double toneLevelDb(const std::vector<float>& samples, double frequency);
double rmsLevelDb(const std::vector<float>& samples);
