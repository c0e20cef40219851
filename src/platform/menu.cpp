#include "platform/menu.h"

#include <QMenu>

#include "platform/event_dispatch.h"

namespace platform {

QMenu* MenuItem::buildPopup(QWidget* parent) {
    auto* popup = new QMenu(parent);
    popup->setObjectName(QString::fromStdString(caption_));
    for (MenuItem* item : items_) {
        if (!item->Visible()) continue;
        if (item->Caption() == "-") {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(QString::fromStdString(item->Caption()));
        action->setEnabled(item->Enabled());
        QObject::connect(action, &QAction::triggered, popup, [item] { dispatch(item->Click); });
    }
    return popup;
}

}  // namespace platform
