#include "platform/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "platform/control_widget.h"
#include "platform/form.h"

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
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(widget()->window());
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

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

// A form's window: its title, and as children the offered controls in its reading order.
class FormAccessible : public QAccessibleWidget {
public:
    FormAccessible(QWidget* window, Form& form)
        : QAccessibleWidget(window, QAccessible::Window), form_(form) {}

    int childCount() const override { return int(offered().size()); }
    QAccessibleInterface* child(int index) const override {
        const std::vector<Control*> controls = offered();
        if (index < 0 || index >= int(controls.size())) return nullptr;
        return QAccessible::queryAccessibleInterface(controls[index]->widget());
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<Control*> controls = offered();
        for (int index = 0; index < int(controls.size()); ++index) {
            if (controls[index]->widget() == child->object()) return index;
        }
        return -1;
    }

private:
    std::vector<Control*> offered() const {
        std::vector<Control*> controls;
        for (Control* control : form_.readingOrder())
            if (control->offered()) controls.push_back(control);
        return controls;
    }

    Form& form_;
};

QAccessibleInterface* controlFactory(const QString&, QObject* object) {
    auto* widget = dynamic_cast<ControlWidget*>(object);
    if (!widget || !ControlWidget::controlOf(widget)) return nullptr;
    if (auto* form = dynamic_cast<Form*>(&widget->owner()))
        return new FormAccessible(widget, *form);
    return new ControlAccessible(widget);
}

}  // namespace

void installAccessibility() {
    static const bool installed = (QAccessible::installFactory(controlFactory), true);
    (void)installed;
}

bool accessibilityActive() { return QAccessible::isActive(); }

void announceNameChange(QWidget* widget) {
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

}  // namespace platform
