#pragma once

#include <string>

// The bytes of a 16-bit mono WAV file holding a sine tone, at PcmCapture's sample rate, with
// its title in an INFO tag when one is given.
std::string toneWav(double frequency, double seconds, const std::string& title = {});
