#include "platform/announcement.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace platform {

namespace {

const char* const kName = "wavelark_announcement";

class Announcement : public QObject {
public:
    explicit Announcement(QWidget* home) : QObject(home) { setObjectName(kName); }

    void add(const std::string& text, int order) {
        if (waiting_.empty()) QTimer::singleShot(0, this, [this] { say(); });
        const auto same = [&](const Part& part) { return part.text == text; };
        if (std::any_of(waiting_.begin(), waiting_.end(), same)) return;
        const auto later = [&](const Part& part) { return part.order > order; };
        waiting_.insert(std::find_if(waiting_.begin(), waiting_.end(), later), {order, text});
    }
    const std::string& text() const { return text_; }

private:
    void say() {
        text_.clear();
        for (const Part& part : waiting_) text_ += (text_.empty() ? "" : ", ") + part.text;
        waiting_.clear();
        QAccessibleEvent event(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&event);
    }

    struct Part {
        int order;
        std::string text;
    };
    std::vector<Part> waiting_;
    std::string text_;
};

class AnnouncementAccessible : public QAccessibleObject {
public:
    explicit AnnouncementAccessible(Announcement* announcement) : QAccessibleObject(announcement) {}

    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text kind) const override {
        auto* announcement = static_cast<Announcement*>(object());
        if (kind != QAccessible::Name || !announcement) return {};
        return QString::fromStdString(announcement->text());
    }
    QAccessibleInterface* parent() const override {
        return object() ? QAccessible::queryAccessibleInterface(object()->parent()) : nullptr;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

}  // namespace

void announce(QWidget* home, const std::string& text, int order) {
    if (text.empty()) return;
    auto* announcement = static_cast<Announcement*>(announcementOf(home));
    if (!announcement) {
        announcement = new Announcement(home);
        QAccessibleEvent created(announcement, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&created);
    }
    announcement->add(text, order);
}

QObject* announcementOf(QWidget* home) {
    // Found by name: without a meta-object of its own, any QObject would pass for it.
    return dynamic_cast<Announcement*>(
        home->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
}

QAccessibleInterface* announcementInterface(QObject* object) {
    auto* announcement = dynamic_cast<Announcement*>(object);
    return announcement ? new AnnouncementAccessible(announcement) : nullptr;
}

}  // namespace platform
