#include "platform/control.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <unordered_map>

#include "platform/accessibility.h"
#include "platform/control_widget.h"
#include "platform/drag_session.h"
#include "platform/event_dispatch.h"
#include "platform/focus_mark.h"
#include "platform/twips.h"

namespace platform {

namespace {
std::unordered_map<std::uint32_t, Control*>& handles() {
    static std::unordered_map<std::uint32_t, Control*> table;
    return table;
}
std::uint32_t nextHandle() {
    static std::uint32_t last = 0x100;
    return last += 4;
}

int buttonOf(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}
int shiftOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}
MouseArgs argsOf(const QMouseEvent& event) {
    return {buttonOf(event.buttons() | event.button()), shiftOf(event.modifiers()),
            toTwips(event.position().x()), toTwips(event.position().y())};
}
}  // namespace

// --- ControlWidget -------------------------------------------------------------------------

ControlWidget::ControlWidget(Control& owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

ControlWidget::~ControlWidget() {
    // A container deleted before its children takes their widgets with it.
    if (!detached_) owner_.widget_ = nullptr;
}

Control* ControlWidget::controlOf(QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (auto* control = dynamic_cast<ControlWidget*>(widget)) {
            return control->detached_ ? nullptr : &control->owner_;
        }
    }
    return nullptr;
}

void ControlWidget::paintEvent(QPaintEvent*) {
    if (detached_) return;
    QPainter painter(this);
    owner_.paint(painter);
}

void ControlWidget::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (detached_) return;
    const MouseArgs args = argsOf(*event);
    dispatch([&] {
        if (owner_.MouseMove) owner_.MouseMove(args);
    });
}

void ControlWidget::mousePressEvent(QMouseEvent* event) {
    event->accept();
    pressed_ = event->button() == Qt::LeftButton;
}

void ControlWidget::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void ControlWidget::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (detached_ || !click) return;
    dispatch([&] {
        if (owner_.Click) owner_.Click();
    });
}

void ControlWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool press = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!press || detached_ || !owner_.pressable()) return QWidget::keyPressEvent(event);
    event->accept();
    if (!event->isAutoRepeat()) owner_.Press();
}

void ControlWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    showFocusMark(this);
}

void ControlWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    hideFocusMark(this);
}

// --- Control -------------------------------------------------------------------------------

Control::Control(Control* container) { init(container ? container->widget() : nullptr); }

Control::Control(TopLevel) {}

void Control::init(QWidget* parent) { adopt(new ControlWidget(*this, parent)); }

void Control::adopt(ControlWidget* widget) {
    widget_ = widget;
    handle_ = nextHandle();
    handles()[handle_] = this;
}

Control::~Control() {
    handles().erase(handle_);
    if (widget_) {
        widget_->detach();
        delete widget_;
    }
}

Control* Control::fromHandle(std::uint32_t handle) {
    auto found = handles().find(handle);
    return found == handles().end() ? nullptr : found->second;
}

QWidget* Control::widget() const { return widget_; }

void Control::Move(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (widget_)
        widget_->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// A control whose form was unloaded has no widget: it shows nothing and its settings are moot.
bool Control::Visible() const { return widget_ && !widget_->isHidden(); }
void Control::setVisible(bool visible) {
    if (widget_) widget_->setVisible(visible);
}
bool Control::Enabled() const { return widget_ && widget_->isEnabled(); }
void Control::setEnabled(bool enabled) {
    if (widget_) widget_->setEnabled(enabled);
}
void Control::ZOrder() {
    if (widget_) widget_->raise();
}

void Control::Drag(DragAction action) {
    if (action == DragAction::Begin) {
        if (!widget_) return;
        DragSession::begin(*this);
    } else {
        DragSession::end(action == DragAction::End);
    }
}

void Control::setAccessibleRole(AccessibleRole role) {
    role_ = role;
    accessibleNameMayHaveChanged();
}

void Control::setAccessibleName(const std::string& name) {
    setAccessibleName([name] { return name; });
}

void Control::setAccessibleName(std::function<std::string()> name) {
    name_ = std::move(name);
    accessibleNameMayHaveChanged();
}

std::string Control::accessibleName() const { return name_ ? name_() : defaultAccessibleName(); }

bool Control::pressable() const {
    return role_ == AccessibleRole::PushButton || role_ == AccessibleRole::Link;
}

bool Control::offered() const {
    if (!widget_ || role_ == AccessibleRole::None || !widget_->isVisibleTo(widget_->window()))
        return false;
    return !pressable() || !accessibleName().empty();
}

void Control::Press() {
    Control& target = pressTarget_ ? *pressTarget_ : *this;
    if (!pressable() || !Enabled() || !target.widget_) return;
    // A link opens when it is dropped on itself, which is how its click ends.
    dispatch([&target] {
        if (target.Click) {
            target.Click();
        } else if (target.DragDrop) {
            target.DragDrop(target, 0, 0);
        }
    });
}

// Only a control that can be pressed, and has a name to be announced by, is a Tab stop (Qt
// skips the hidden ones itself).
void Control::accessibleNameMayHaveChanged() {
    if (!widget_) return;
    const bool stop = pressable() && !accessibleName().empty();
    const Qt::FocusPolicy policy = stop ? Qt::TabFocus : Qt::NoFocus;
    if (widget_->focusPolicy() != policy && !widget_->isWindow()) {
        widget_->setFocusPolicy(policy);
        if (policy == Qt::NoFocus && widget_->hasFocus()) widget_->window()->setFocus();
    }
    if (role_ == AccessibleRole::None || widget_->isWindow() || !accessibilityActive()) return;
    std::string name = accessibleName();
    if (name == announcedName_) return;
    const bool heard = announcedName_.has_value();
    announcedName_ = std::move(name);
    announceNameChange(*this, heard);
}

void Control::announceChangedNames() {
    if (!accessibilityActive()) return;
    for (const auto& [handle, control] : handles()) control->accessibleNameMayHaveChanged();
}

void Control::paint(QPainter&) {}

void Control::repaint() {
    if (widget_) widget_->update();
}

}  // namespace platform
