#include "platform/shell_execute.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {
std::function<void(const std::string&)>& handler() {
    static std::function<void(const std::string&)> instance;
    return instance;
}
}  // namespace

void ShellExecute(const std::string& address) {
    std::string url = address;
    if (url.find("://") == std::string::npos) url = "http://" + url;
    if (handler()) {
        handler()(url);
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void setShellExecuteHandler(std::function<void(const std::string&)> recorder) {
    handler() = std::move(recorder);
}

}  // namespace platform
