#include "platform/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "platform/announcement.h"
#include "platform/control_widget.h"
#include "platform/form.h"
#include "platform/form_widget.h"

namespace platform {

namespace {

QAccessible::Role qtRole(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::PushButton:
            return QAccessible::Button;
        case AccessibleRole::Link:
            return QAccessible::Link;
        case AccessibleRole::Text:
            return QAccessible::StaticText;
        case AccessibleRole::StatusBar:
            return QAccessible::StatusBar;
        case AccessibleRole::Dialog:
            return QAccessible::Dialog;
        case AccessibleRole::None:
            break;
    }
    return QAccessible::NoRole;
}

// A control as a screen reader sees it: its role, its name, its description and, for buttons
// and links, the Press action.
class ControlAccessible : public QAccessibleWidget {
public:
    explicit ControlAccessible(ControlWidget* widget)
        : QAccessibleWidget(widget, qtRole(widget->owner().accessibleRole())) {}

    Control* control() const { return ControlWidget::controlOf(widget()); }

    QAccessible::Role role() const override {
        Control* owner = control();
        return owner ? qtRole(owner->accessibleRole()) : QAccessible::NoRole;
    }

    QString text(QAccessible::Text kind) const override {
        Control* owner = control();
        if (!owner) return {};
        if (kind == QAccessible::Name) return QString::fromStdString(owner->accessibleName());
        if (kind == QAccessible::Description)
            return QString::fromStdString(owner->accessibleDescription());
        return {};
    }

    // The window stands for every control in it: controls are offered flat, in reading order.
    // The only child a control has is the announcement, which the status bar holds.
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(widget()->window());
    }
    int childCount() const override { return announcementOf(widget()) ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        QObject* held = announcementOf(widget());
        return index == 0 && held ? QAccessible::queryAccessibleInterface(held) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        QObject* held = announcementOf(widget());
        return held && child->object() == held ? 0 : -1;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Control* owner = control(); owner && owner->pressable()) names.prepend(pressAction());
        return names;
    }

    // Answered at once and pressed from the event loop: a message box the handler raises must
    // not hold up the screen reader's request.
    void doAction(const QString& action) override {
        if (action != pressAction()) return QAccessibleWidget::doAction(action);
        QTimer::singleShot(0, widget(), [widget = QPointer<QWidget>(widget())] {
            if (Control* owner = ControlWidget::controlOf(widget)) owner->Press();
        });
    }

    QStringList keyBindingsForAction(const QString& action) const override {
        if (action == pressAction()) return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }
};

// A form's window: its title, a frame or a dialog, and as children the offered controls in
// its reading order.
class FormAccessible : public QAccessibleWidget {
public:
    FormAccessible(QWidget* window, Form& form)
        : QAccessibleWidget(window, QAccessible::Window), form_(form) {}

    QAccessible::Role role() const override {
        return form_.accessibleRole() == AccessibleRole::Dialog ? QAccessible::Dialog
                                                                : QAccessible::Window;
    }

    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<QObject*> objects = children();
        if (index < 0 || index >= int(objects.size())) return nullptr;
        return QAccessible::queryAccessibleInterface(objects[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QObject*> objects = children();
        for (int index = 0; index < int(objects.size()); ++index) {
            if (objects[index] == child->object()) return index;
        }
        return -1;
    }

private:
    // The offered controls, then the announcement when the window itself holds it.
    std::vector<QObject*> children() const {
        std::vector<QObject*> objects;
        for (Control* control : form_.readingOrder())
            if (control->offered()) objects.push_back(control->widget());
        if (QObject* held = announcementOf(widget())) objects.push_back(held);
        return objects;
    }

    Form& form_;
};

const std::vector<Control*>& readingOrderOf(QWidget* widget) {
    static const std::vector<Control*> none;
    auto* form = dynamic_cast<Form*>(ControlWidget::controlOf(widget->window()));
    return form ? form->readingOrder() : none;
}

// Where the window's announcements live: in its status bar, when it has one on show.
QWidget* announcementHome(QWidget* widget) {
    for (Control* control : readingOrderOf(widget))
        if (control->accessibleRole() == AccessibleRole::StatusBar && control->offered())
            return control->widget();
    return widget->window();
}

// With a screen reader listening, a window on show starts with the focus on its first control,
// so that the listener hears where they are; the reader may start after the window.
class ReaderArrival : public QAccessible::ActivationObserver {
public:
    bool active = QAccessible::isActive();

    void accessibilityActiveChanged(bool nowActive) override {
        active = nowActive;
        if (!active) return;
        // What the listener meets now is what later changes are told against.
        Control::announceChangedNames();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* form = dynamic_cast<FormWidget*>(window); form && form->isVisible())
                form->focusFirstStopForReader();
    }
};

QAccessibleInterface* controlFactory(const QString&, QObject* object) {
    if (QAccessibleInterface* announcement = announcementInterface(object)) return announcement;
    auto* widget = dynamic_cast<ControlWidget*>(object);
    if (!widget || !ControlWidget::controlOf(widget)) return nullptr;
    if (auto* form = dynamic_cast<Form*>(&widget->owner()))
        return new FormAccessible(widget, *form);
    return new ControlAccessible(widget);
}

ReaderArrival& arrival() {
    static ReaderArrival observer;
    return observer;
}

}  // namespace

void installAccessibility() {
    static const bool installed = (QAccessible::installFactory(controlFactory),
                                   QAccessible::installActivationObserver(&arrival()), true);
    (void)installed;
}

bool accessibilityActive() { return arrival().active; }

// Orca says a name change only for the control with the focus, and Qt 6.4's bridge sends the
// object in place of the new name, which Orca then tries to speak as it is. So the focused
// control's change is not sent as such; the focused control's new name, a readout's and the
// strip's are spoken through the window's announcement instead.
void announceNameChange(Control& control, bool heard) {
    QWidget* widget = control.widget();
    const bool focused = widget->hasFocus();
    if (!focused) {
        QAccessibleEvent event(widget, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    const AccessibleRole role = control.accessibleRole();
    const bool readout = role == AccessibleRole::Text || role == AccessibleRole::StatusBar;
    if (!heard || !(focused || readout) || !widget->isVisible() || !control.offered()) return;
    // The pressed control's new name first, then the readouts in the window's reading order.
    const std::vector<Control*>& order = readingOrderOf(widget);
    const int place =
        focused ? -1 : int(std::find(order.begin(), order.end(), &control) - order.begin());
    announce(announcementHome(widget), control.accessibleName(), place);
}

}  // namespace platform
