#include "platform/log.h"

#include <QLoggingCategory>
#include <QString>

namespace platform {

namespace {

// Only critical messages pass by default, and no room sends any: silent until the logging
// rules switch a room on.
Q_LOGGING_CATEGORY(platformLog, "wavelark.platform", QtCriticalMsg)
Q_LOGGING_CATEGORY(mediaLog, "wavelark.media", QtCriticalMsg)
Q_LOGGING_CATEGORY(playerLog, "wavelark.player", QtCriticalMsg)
Q_LOGGING_CATEGORY(aboutLog, "wavelark.about", QtCriticalMsg)

using Category = const QLoggingCategory& (*)();

Category categoryOf(LogRoom room) {
    switch (room) {
        case LogRoom::Media:
            return mediaLog;
        case LogRoom::Player:
            return playerLog;
        case LogRoom::About:
            return aboutLog;
        case LogRoom::Platform:
            break;
    }
    return platformLog;
}

}  // namespace

void logInfo(LogRoom room, const std::string& message) {
    qCInfo(categoryOf(room)).noquote() << QString::fromStdString(message);
}

void logWarning(LogRoom room, const std::string& message) {
    qCWarning(categoryOf(room)).noquote() << QString::fromStdString(message);
}

}  // namespace platform
