#pragma once

#include <QPointer>

#include "platform/control_widget.h"

namespace platform {

class Form;

// The window of a form: turns the close box into an unload and a minimise into a Resize event,
// and Escape into a press of the form's cancel control.
class FormWidget : public ControlWidget {
public:
    FormWidget(Form& form);
    ~FormWidget() override;

    // With a screen reader listening, the focus moves from the window itself to its first
    // control; otherwise the window keeps it until the first Tab.
    void focusFirstStopForReader();
    // Disabling a window takes the focus from its control; enabling it again gives it back.
    void setEnabledKeepingFocus(bool enabled);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    Form& form_;
    QPointer<QWidget> focusWhileDisabled_;
};

}  // namespace platform
