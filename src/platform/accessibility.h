#pragma once

class QWidget;

namespace platform {

class Control;

// Makes the self-drawn controls readable by screen readers: installs, once per program, the
// factory that gives every control's widget its accessible interface. Qt asks the factory only
// when an assistive technology is listening, so without one nothing is created.
void installAccessibility();

// Whether an assistive technology listens; nothing is announced otherwise.
bool accessibilityActive();
// Tells the screen reader that a control's name changed (a caption, a readout, the strip's
// state, a button's name that follows the state); `heard` says whether the listener knew the
// name before, for then the change is also spoken where it matters to them.
void announceNameChange(Control& control, bool heard);

}  // namespace platform
