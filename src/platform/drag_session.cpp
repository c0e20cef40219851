#include "platform/drag_session.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "platform/control.h"
#include "platform/control_widget.h"
#include "platform/event_dispatch.h"
#include "platform/twips.h"

namespace platform {

namespace {

// Watches the application's mouse events while a drag is on. Controls are remembered by handle,
// so a control destroyed during the drag is simply no longer found.
class DragFilter : public QObject {
public:
    std::uint32_t source = 0;
    std::uint32_t current = 0;
    QPointer<QWidget> window;
    QPointF lastGlobal;
    // The pointer has left the window: nothing of it is under the pointer.
    bool outside = false;

    bool eventFilter(QObject* receiver, QEvent* event) override {
        const auto type = event->type();
        // A dragged control whose window was closed meanwhile drags no more; the event that
        // finds out goes on as if no drag had been on.
        Control* dragged = Control::fromHandle(source);
        if (!dragged || !dragged->widget()) {
            DragSession::end(false);
            return false;
        }
        // One fast move can take the pointer out of the window with no move inside it after
        // the link: the window's leave is then the only sign, and the link must hear of it.
        if (type == QEvent::Leave && receiver == window) {
            outside = true;
            moved();
            return false;
        }
        if (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        lastGlobal = mouse->globalPosition();
        window = widget->window();
        outside = false;
        if (type == QEvent::MouseMove) {
            moved();
        } else if (type == QEvent::MouseButtonRelease) {
            DragSession::end(true);
        }
        return true;
    }

    // The control under the pointer and the pointer's place inside it, in twips.
    Control* target(QPointF& local) const {
        if (!window || outside) return nullptr;
        const QPoint inWindow = window->mapFromGlobal(lastGlobal.toPoint());
        QWidget* hit = window->childAt(inWindow);
        if (!hit) hit = window;
        local = hit->mapFromGlobal(lastGlobal);
        return ControlWidget::controlOf(hit);
    }

    void moved();
};

DragFilter* filter = nullptr;

void sendDragOver(Control& target, Control& source, QPointF local, DragState state) {
    dispatch([&] {
        if (target.DragOver) target.DragOver(source, toTwips(local.x()), toTwips(local.y()), state);
    });
}

void DragFilter::moved() {
    QPointF local;
    Control* over = target(local);
    Control* dragged = Control::fromHandle(source);
    if (!dragged) {
        DragSession::end(false);
        return;
    }
    Control* previous = Control::fromHandle(current);
    if (over == previous) {
        if (over) sendDragOver(*over, *dragged, local, DragState::Over);
        return;
    }
    if (previous && previous->widget()) {
        sendDragOver(*previous, *dragged, previous->widget()->mapFromGlobal(lastGlobal),
                     DragState::Leave);
        // The leave handler may have ended the drag.
        if (!DragSession::active()) return;
        dragged = Control::fromHandle(source);
        if (!dragged) return;
    }
    current = over ? over->hWnd() : 0;
    if (over) sendDragOver(*over, *dragged, local, DragState::Enter);
}

}  // namespace

void DragSession::begin(Control& source) {
    if (!filter) {
        filter = new DragFilter;
        qApp->installEventFilter(filter);
    }
    filter->source = source.hWnd();
    filter->current = source.hWnd();
    filter->window = source.widget()->window();
    filter->lastGlobal = QCursor::pos();
}

bool DragSession::active() { return filter != nullptr; }

void DragSession::end(bool drop) {
    if (!filter) return;
    DragFilter* finished = filter;
    filter = nullptr;
    qApp->removeEventFilter(finished);
    QPointF local;
    Control* target = finished->target(local);
    Control* source = Control::fromHandle(finished->source);
    finished->deleteLater();
    if (drop && target && source) {
        dispatch([&] {
            if (target->DragDrop) target->DragDrop(*source, toTwips(local.x()), toTwips(local.y()));
        });
    }
}

}  // namespace platform
