#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QString>

#include "platform/log.h"

namespace {

std::vector<std::string> logged;

void keep(QtMsgType, const QMessageLogContext& context, const QString& message) {
    logged.push_back(std::string(context.category) + ": " + message.toStdString());
}

// Nothing is written until the logging rules switch a room on, and then only that room.
TEST(Log, SilentUntilARoomIsSwitchedOn) {
    if (qEnvironmentVariableIsSet("QT_LOGGING_RULES")) GTEST_SKIP() << "the rules are set outside";
    logged.clear();
    const auto previous = qInstallMessageHandler(keep);
    platform::logInfo(platform::LogRoom::Media, "load http://a/");
    platform::logWarning(platform::LogRoom::Player, "failed");
    EXPECT_TRUE(logged.empty());

    QLoggingCategory::setFilterRules("wavelark.media=true");
    platform::logInfo(platform::LogRoom::Media, "load http://a/");
    platform::logWarning(platform::LogRoom::Media, "mpv [ffmpeg] warn: \"quoted\"");
    platform::logWarning(platform::LogRoom::Player, "failed");
    // Words a server sent, with a terminal's escape sequence, a line break and a C1 control.
    platform::logWarning(platform::LogRoom::Media,
                         "HTTP error 500 \x1b[2J\r\nA\\b\xC2\x9B\xC3\xA9");
    QLoggingCategory::setFilterRules("");
    qInstallMessageHandler(previous);
    EXPECT_EQ(logged,
              (std::vector<std::string>{
                  "wavelark.media: load http://a/", "wavelark.media: mpv [ffmpeg] warn: \"quoted\"",
                  "wavelark.media: HTTP error 500 \\x1B[2J\\x0D\\x0AA\\x5Cb\\u009B\xC3\xA9"}));
}

}  // namespace
