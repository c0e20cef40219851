#include "platform/form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "platform/accessibility.h"
#include "platform/application.h"
#include "platform/event_dispatch.h"
#include "platform/form_widget.h"
#include "platform/key_codes.h"
#include "platform/twips.h"

namespace platform {

namespace {
int loadedForms = 0;
// The loop of RunUntilNoFormIsLoaded while it runs. Only this loop ends with the last form: a
// message box's own loop (a form unloaded from the tray menu while a box waits) runs on until
// the box is answered.
QEventLoop* mainLoop = nullptr;
}  // namespace

// Key preview: the form sees every key pressed in its window before the focused control does;
// a handler that sets the key code to 0 consumes the key.
class KeyPreviewFilter : public QObject {
public:
    KeyPreviewFilter(Form& form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !form_.KeyPreview || !form_.KeyDown) return false;
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget || widget->window() != form_.widget() || !form_.widget()->isEnabled())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        int keyCode = virtualKeyOf(key->key());
        const int shift = shiftStateOf(key->modifiers());
        dispatch([&] { form_.KeyDown(keyCode, shift); });
        return keyCode == 0;
    }

private:
    Form& form_;
};

FormWidget::FormWidget(Form& form) : ControlWidget(form, nullptr), form_(form) {
    setAttribute(Qt::WA_NoSystemBackground, false);
    setFocusPolicy(Qt::StrongFocus);
}

FormWidget::~FormWidget() { form_.window_ = nullptr; }

void FormWidget::closeEvent(QCloseEvent* event) {
    // The window system's close goes through the form's unload like every other way out. It is
    // input like a click: a disabled window ignores it.
    event->ignore();
    if (isEnabled() && form_.Loaded()) Unload(form_);
}

void FormWidget::changeEvent(QEvent* event) {
    ControlWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // Let the state change settle before the handler acts on it: hiding a window from inside
    // its own minimise leaves some window managers with an iconic window that never restores.
    QTimer::singleShot(0, this, [this] {
        if (form_.Loaded()) dispatch(form_.Resize);
    });
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && form_.cancel_) {
        event->accept();
        if (!event->isAutoRepeat()) form_.cancel_->Press();
        return;
    }
    ControlWidget::keyPressEvent(event);
}

// The window keeps the focus until the first Tab, so no control shows a focus mark before the
// keyboard is used; after that the window itself is no stop of Tab.
bool FormWidget::focusNextPrevChild(bool next) {
    const bool moved = ControlWidget::focusNextPrevChild(next);
    if (focusWidget() == this) return ControlWidget::focusNextPrevChild(next);
    return moved;
}

void FormWidget::focusFirstStopForReader() {
    QWidget* focused = focusWidget();
    if (focused && focused != this) return;
    setFocus();
    if (accessibilityActive()) focusNextPrevChild(true);
}

void FormWidget::setEnabledKeepingFocus(bool enabled) {
    if (!enabled && isEnabled()) focusWhileDisabled_ = focusWidget();
    setEnabled(enabled);
    if (!enabled || !focusWhileDisabled_) return;
    // A window that is not active gives the focus to this control when it is activated again.
    focusWhileDisabled_->setFocus();
    focusWhileDisabled_ = nullptr;
}

Form::Form() : Control(TopLevel{}) {
    window_ = new FormWidget(*this);
    adopt(window_);
    qApp->installEventFilter(new KeyPreviewFilter(*this, window_));
}

// The controls of a derived form are gone by now; their widgets went with them.
Form::~Form() {
    if (loaded_) --loadedForms;
    delete window_;
}

void Form::setReadingOrder(std::vector<Control*> controls) {
    readingOrder_ = std::move(controls);
    // Qt orders only widgets that take the focus; a slot without a station takes it later.
    QWidget* previous = nullptr;
    for (Control* control : readingOrder_) {
        if (!control->pressable() || !control->widget()) continue;
        control->widget()->setFocusPolicy(Qt::TabFocus);
        if (previous) QWidget::setTabOrder(previous, control->widget());
        previous = control->widget();
    }
    for (Control* control : readingOrder_) control->accessibleNameMayHaveChanged();
}

void Form::setEnabled(bool enabled) {
    if (window_) window_->setEnabledKeepingFocus(enabled);
}

void Form::setCaption(const std::string& caption) {
    window_->setWindowTitle(QString::fromStdString(caption));
}

void Form::setBorderStyle(BorderStyle style) {
    Qt::WindowFlags flags = Qt::Window;
    if (style == BorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    }
    window_->setWindowFlags(flags);
}

void Form::setClientSize(int widthTwips, int heightTwips) {
    Control::Move(Left(), Top(), widthTwips, heightTwips);
    window_->setFixedSize(toPixels(widthTwips), toPixels(heightTwips));
}

void Form::setStartPosition(int leftTwips, int topTwips) {
    positioned_ = true;
    Control::Move(leftTwips, topTwips, Width(), Height());
    window_->setFixedSize(toPixels(Width()), toPixels(Height()));
}

void Form::setBackColor(Colour colour) {
    backColor_ = colour;
    repaint();
}

void Form::setIcon(const Picture& icon) { window_->setWindowIcon(icon.icon()); }

void Form::setPicture(const Picture& picture) {
    picture_ = picture;
    repaint();
}

void Form::paint(QPainter& painter) {
    painter.fillRect(window_->rect(), resolve(backColor_, *window_));
    picture_.draw(painter);
}

FormWindowState Form::WindowState() const {
    return window_ && window_->isMinimized() ? FormWindowState::Minimized : FormWindowState::Normal;
}

void Form::setWindowState(FormWindowState state) {
    if (!window_) return;
    const Qt::WindowStates current = window_->windowState();
    window_->setWindowState(state == FormWindowState::Minimized ? (current | Qt::WindowMinimized)
                                                                : (current & ~Qt::WindowMinimized));
}

void Form::Show() {
    if (!window_) return;
    if (!positioned_) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area(QPoint(), window_->size());
            area.moveCenter(screen->availableGeometry().center());
            window_->move(area.topLeft());
        }
        positioned_ = true;
    }
    // Wayland tells no window that it was minimised or covered, and a window may not raise
    // itself: one that is on show as far as it knows may be out of sight. A window mapped
    // afresh is one the compositor puts in front, minimised or not before.
    if (window_->isVisible() && onWayland()) window_->hide();
    window_->focusFirstStopForReader();
    // A plain show of an iconified window leaves it iconic: restore, show, raise, activate.
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void Form::Hide() {
    if (window_) window_->hide();
}

void Form::PopupMenu(MenuItem& menu) {
    if (!window_) return;
    QMenu* popup = menu.buildPopup(window_);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->popup(QCursor::pos());
}

void Form::destroyWindow() {
    for (const auto& release : releases_) release();
    releases_.clear();
    if (!window_) return;
    window_->hide();
    // Later: the unload may come from a handler of one of the window's own controls.
    window_->deleteLater();
}

void Load(Form& form) {
    if (form.loaded_ || !form.window_) return;
    form.loaded_ = true;
    ++loadedForms;
    dispatch(form.Load);
    if (form.loaded_) form.Show();
}

void Unload(Form& form) {
    if (!form.loaded_) return;
    int cancel = 0;
    dispatch([&] {
        if (form.Unload) form.Unload(cancel);
    });
    if (cancel != 0) return;
    form.loaded_ = false;
    form.destroyWindow();
    if (--loadedForms == 0 && mainLoop) mainLoop->exit();
}

int RunUntilNoFormIsLoaded() {
    if (loadedForms == 0) return 0;
    QEventLoop loop;
    mainLoop = &loop;
    const int code = loop.exec();
    mainLoop = nullptr;
    return code;
}

}  // namespace platform
