#pragma once

class QWidget;

namespace platform {

// Makes the self-drawn controls readable by screen readers: installs, once per program, the
// factory that gives every control's widget its accessible interface. Qt asks the factory only
// when an assistive technology is listening, so without one nothing is created.
void installAccessibility();

// Whether an assistive technology listens; nothing is announced otherwise.
bool accessibilityActive();
// Announces a control's new name (a caption, a readout, the strip's state).
void announceNameChange(QWidget* widget);

}  // namespace platform
