#pragma once

#include "platform/control_widget.h"

namespace platform {

class Form;

// The window of a form: turns the close box into an unload and a minimise into a Resize event.
class FormWidget : public ControlWidget {
public:
    FormWidget(Form& form);
    ~FormWidget() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Form& form_;
};

}  // namespace platform
