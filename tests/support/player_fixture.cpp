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

void PlayerFixture::SetUp() {
    previousFolder = std::filesystem::current_path();
    folder = std::filesystem::temp_directory_path() /
             ("wavelark-test-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    platform::setMessageBoxHandler([this](const std::string& text) { messages.push_back(text); });
    platform::setShellExecuteHandler([this](const std::string& url) { openedUrls.push_back(url); });
}

void PlayerFixture::TearDown() {
    if (form && form->Loaded()) platform::Unload(*form);
    form.reset();
    QApplication::processEvents();
    platform::setMessageBoxHandler({});
    platform::setShellExecuteHandler({});
    std::filesystem::current_path(previousFolder);
    std::filesystem::remove_all(folder);
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
