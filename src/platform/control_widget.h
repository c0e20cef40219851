#pragma once

#include <QWidget>

namespace platform {

class Control;

// The one QWidget behind every control: it paints through its control and turns Qt's mouse
// events into the control's handlers, accepting every event so that none reaches the container.
class ControlWidget : public QWidget {
public:
    ControlWidget(Control& owner, QWidget* parent);
    ~ControlWidget() override;
    Control& owner() const { return owner_; }
    static Control* controlOf(QWidget* widget);

    // Set by Control's destructor so that late events find no control.
    void detach() { detached_ = true; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // Space and Return press a button or link that has the focus, which shows its mark.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Control& owner_;
    bool detached_ = false;
    bool pressed_ = false;
};

}  // namespace platform
