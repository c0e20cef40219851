#pragma once

class QWidget;

namespace platform {

// The mark around the control that has the keyboard's focus, in the skin's colours: a thin
// black frame with the display's green inside it, which shows on the light skin and on the
// black panel alike. It lies above every control of its window (a skin button's covering copy
// included) and takes no mouse input.
void showFocusMark(QWidget* focused);
void hideFocusMark(QWidget* focused);

}  // namespace platform
