#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
std::function<void(const std::string&)>& handler() {
    static std::function<void(const std::string&)> instance;
    return instance;
}
}  // namespace

void MsgBox(const std::string& text) {
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

void setMessageBoxHandler(std::function<void(const std::string&)> recorder) {
    handler() = std::move(recorder);
}

}  // namespace platform
