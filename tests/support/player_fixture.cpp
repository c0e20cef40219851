#include "player_fixture.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <fstream>

#include "platform/message_box.h"
#include "platform/notify_icon.h"
#include "platform/shell_execute.h"
#include "player/sys_tray_icon.h"

TestSeams::TestSeams(std::vector<std::string>& messages, std::vector<std::string>& openedUrls) {
    platform::setMessageBoxHandler(
        [&messages](const std::string& text) { messages.push_back(text); });
    platform::setShellExecuteHandler(
        [&openedUrls](const std::string& url) { openedUrls.push_back(url); });
}

TestSeams::~TestSeams() {
    platform::setMessageBoxHandler({});
    platform::setShellExecuteHandler({});
    platform::assumeNotificationArea(std::nullopt);
    platform::Shell_NotifyIcon(platform::NIM_DELETE, SysTrayIcon::TrayIconRecord);
    SysTrayIcon::TrayIconRecord = {};
}

void PlayerFixture::SetUp() {
    previousFolder = std::filesystem::current_path();
    scratch = std::make_unique<ScratchFolder>();
    folder = scratch->path();
    std::filesystem::current_path(folder);
    seams = std::make_unique<TestSeams>(messages, openedUrls);
}

void PlayerFixture::TearDown() {
    if (form && form->Loaded()) platform::Unload(*form);
    form.reset();
    QApplication::processEvents();
    seams.reset();
    std::filesystem::current_path(previousFolder);
    scratch.reset();
}

void PlayerFixture::writeStationFile(const std::string& bytes) {
    std::ofstream(folder / "wavelark.ini", std::ios::binary) << bytes;
}

std::string PlayerFixture::stationLine(int k) {
    return "Station " + std::to_string(k) + ",http://127.0.0.1/s" + std::to_string(k) + ",Name " +
           std::to_string(k);
}

Form1& PlayerFixture::makeForm() {
    form = std::make_unique<Form1>([this](platform::StatusStrip&) {
        auto recorder = std::make_unique<RecordingMediaPlayer>();
        player = recorder.get();
        playerReleased = false;
        recorder->released = &playerReleased;
        return recorder;
    });
    return *form;
}

Form1& PlayerFixture::loadForm() {
    makeForm();
    platform::Load(*form);
    QApplication::processEvents();
    // The pointer starts outside the window: Qt remembers the last pointer position across
    // windows, and a move to where the pointer already is would be no move at all.
    QTest::mouseMove(form->widget()->windowHandle(), QPoint(-50, -50));
    QApplication::processEvents();
    return *form;
}

std::vector<std::string> PlayerFixture::captions() const {
    std::vector<std::string> result;
    for (platform::Label* slot : form->StationSlot) result.push_back(slot->Caption());
    return result;
}

namespace input {

namespace {
QWindow* handle(QWidget* window) { return window->windowHandle(); }
}  // namespace

void moveTo(QWidget* window, QPoint point) {
    QTest::mouseMove(handle(window), point);
    QApplication::processEvents();
}

void press(QWidget* window, QPoint point) {
    QTest::mousePress(handle(window), Qt::LeftButton, Qt::NoModifier, point);
    QApplication::processEvents();
}

void release(QWidget* window, QPoint point) {
    QTest::mouseRelease(handle(window), Qt::LeftButton, Qt::NoModifier, point);
    QApplication::processEvents();
}

void click(QWidget* window, QPoint point) {
    press(window, point);
    release(window, point);
}

void key(QWidget* window, int qtKey, int qtModifiers) {
    QTest::keyClick(handle(window), Qt::Key(qtKey), Qt::KeyboardModifiers(qtModifiers));
    QApplication::processEvents();
}

QImage grab(QWidget* window) {
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QPoint at(int leftTwips, int topTwips) { return {leftTwips / 15, topTwips / 15}; }

}  // namespace input
