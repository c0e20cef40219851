#pragma once

namespace platform {

// Key codes as the handlers see them: the virtual-key numbers of the keyboard (38 Up, 40 Down…).
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyDown = 40;

int virtualKeyOf(int qtKey);
// 1 Shift, 2 Ctrl, 4 Alt, added together.
int shiftStateOf(int qtModifiers);

}  // namespace platform
