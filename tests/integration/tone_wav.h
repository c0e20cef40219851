#pragma once

#include <string>

// The bytes of a 16-bit mono WAV file holding a sine tone, at PcmCapture's sample rate.
std::string toneWav(double frequency, double seconds);
