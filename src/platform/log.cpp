#include "platform/log.h"

#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdio>

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

// Lines carry words from outside (a server's reason phrase, a title): their control
// characters, C0, DEL and C1 (U+0080..U+009F, which some terminals obey too), are written as
// \xNN, so none reaches the terminal as a control or an escape sequence.
QString printable(const std::string& message) {
    std::string out;
    out.reserve(message.size());
    char escaped[8];
    for (std::size_t i = 0; i < message.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(message[i]);
        const auto next =
            i + 1 < message.size() ? static_cast<std::uint8_t>(message[i + 1]) : std::uint8_t{0};
        if (byte < 0x20 || byte == 0x7F || byte == '\\') {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", next);
            out += escaped;
            ++i;
        } else {
            out += message[i];
        }
    }
    return QString::fromStdString(out);
}

}  // namespace

void logInfo(LogRoom room, const std::string& message) {
    qCInfo(categoryOf(room)).noquote() << printable(message);
}

void logWarning(LogRoom room, const std::string& message) {
    qCWarning(categoryOf(room)).noquote() << printable(message);
}

}  // namespace platform
