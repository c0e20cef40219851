#pragma once

#include "platform/control_widget.h"

namespace platform {

class Form;

// The window of a form: turns the close box into an unload and a minimise into a Resize event,
// and Escape into a press of the form's cancel control.
class FormWidget : public ControlWidget {
public:
    FormWidget(Form& form);
    ~FormWidget() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    Form& form_;
};

}  // namespace platform
