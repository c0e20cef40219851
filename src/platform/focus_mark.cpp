#include "platform/focus_mark.h"

#include <QPainter>
#include <QWidget>

namespace platform {

namespace {
const QColor kFrame(0x00, 0x00, 0x00);
const QColor kGreen(0x00, 0xC0, 0x00);
// How far the mark stands outside the control.
constexpr int kMargin = 2;
const char* const kName = "wavelark_focus_mark";

class Mark : public QWidget {
public:
    explicit Mark(QWidget* window) : QWidget(window) {
        setObjectName(kName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(kFrame);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.setPen(kGreen);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
};

QWidget* markOf(QWidget* window, bool create) {
    auto* mark = window->findChild<QWidget*>(kName, Qt::FindDirectChildrenOnly);
    if (!mark && create) mark = new Mark(window);
    return mark;
}
}  // namespace

void showFocusMark(QWidget* focused) {
    QWidget* window = focused->window();
    if (window == focused) return;
    QWidget* mark = markOf(window, true);
    const QRect place(focused->mapTo(window, QPoint(0, 0)), focused->size());
    mark->setGeometry(place.adjusted(-kMargin, -kMargin, kMargin, kMargin) & window->rect());
    mark->raise();
    mark->show();
}

void hideFocusMark(QWidget* focused) {
    if (QWidget* mark = markOf(focused->window(), false)) mark->hide();
}

}  // namespace platform
