#include "platform/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace platform {

void postToUiThread(std::function<void()> task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !task) return;
    // A queued call on the application object always runs on the thread that owns it.
    QMetaObject::invokeMethod(
        app, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

}  // namespace platform
