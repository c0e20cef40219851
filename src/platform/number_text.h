#pragma once

#include <string>

namespace platform {

// A number as the user's locale writes it: no decimals for a whole number, a fraction kept.
std::string NumberToText(double value);

}  // namespace platform
