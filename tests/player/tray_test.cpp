// The tray icon's messages and the window's shown and hidden states, delivered through the
// window layer's tray path as the desktop's notification area would.
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include "platform/notify_icon.h"
#include "platform/twips.h"
#include "player/sys_tray_icon.h"
#include "player_fixture.h"

namespace {

using platform::TrayClick;

class TrayTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        platform::assumeNotificationArea(true);
        writeStationFile(stationLine(0) + "\r\n");
        loadForm();
        window = form->widget();
    }
    void TearDown() override {
        for (QMenu* menu : window->findChildren<QMenu*>()) menu->close();
        PlayerFixture::TearDown();
    }
    void trayClick(TrayClick click) {
        platform::simulateTrayClick(SysTrayIcon::TrayIconRecord.hWnd,
                                    SysTrayIcon::TrayIconRecord.uID, click);
        QApplication::processEvents();
    }
    // A raw callback: X carries the mouse message in pixels, converted to twips.
    void trayMessage(double pixels) {
        form->Picture1.MouseMove({0, 0, float(pixels * platform::kTwipsPerPixel), 0});
        QApplication::processEvents();
    }
    void minimise() {
        window->setWindowState(Qt::WindowMinimized);
        QApplication::processEvents();
        QApplication::processEvents();
    }
    QMenu* openMenu() const {
        for (QMenu* menu : window->findChildren<QMenu*>())
            if (menu->isVisible()) return menu;
        return nullptr;
    }
    QWidget* window = nullptr;
};

TEST_F(TrayTest, MinimiseHidesAndLeftPressRestoresInTheNormalState) {
    input::click(window, {20, 14});
    minimise();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form->WindowState(), platform::FormWindowState::Minimized);

    trayClick(TrayClick::LeftPress);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(form->WindowState(), platform::FormWindowState::Normal);
    EXPECT_EQ(window->size(), QSize(467, 216));
    EXPECT_EQ(player->calls, std::vector<std::string>{"open http://127.0.0.1/s0"})
        << "hiding never stops playback";
    EXPECT_EQ(platform::notifyIcons().size(), 1u) << "the icon stays in every state";

    trayClick(TrayClick::LeftPress);  // while shown: the same two steps, still shown
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayTest, MenuCommandsHideAndShowWithoutMinimising) {
    form->menuMini.Click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(form->WindowState(), platform::FormWindowState::Normal);
    form->menuMini.Click();
    EXPECT_FALSE(window->isVisible());
    form->menuOpen.Click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(form->WindowState(), platform::FormWindowState::Normal);
}

TEST_F(TrayTest, RightButtonPopsUpTheWindowsOwnMenuAndNothingElse) {
    // A notification area that reports the context click while the button is still down: the
    // menu waits for the release (here over the shown window; the icon's grab sends it there).
    QTest::mousePress(window->windowHandle(), Qt::RightButton, {}, {5, 5});
    trayClick(TrayClick::RightClick);
    EXPECT_EQ(openMenu(), nullptr) << "pressing and holding shows nothing";
    QTest::mouseRelease(window->windowHandle(), Qt::RightButton, {}, {5, 5});
    QApplication::processEvents();
    ASSERT_NE(openMenu(), nullptr) << "releasing shows the menu";
    openMenu()->close();

    form->menuMini.Click();
    trayClick(TrayClick::RightClick);
    QMenu* menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(window->isVisible()) << "the window is not shown for the popup";
    QStringList texts;
    for (QAction* action : menu->actions()) texts << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(texts,
              (QStringList{"&Show", "&Minimize", "-", "Sound Up", "Sound Down", "-", "&Exit"}));

    // Choosing "Sound Down" from the popup runs the menu command.
    menu->actions()[4]->trigger();
    QApplication::processEvents();
    EXPECT_EQ(form->volume.Caption(), "27");
}

TEST_F(TrayTest, OtherMessagesAndHalfwayValuesDoNothing) {
    form->menuMini.Click();
    trayClick(TrayClick::DoubleClick);
    trayClick(TrayClick::MiddleClick);
    for (double message : {512.0, 514.0, 516.0, 518.0, 519.0, 520.0, 521.0, 0.0, -513.0, 1e12})
        trayMessage(message);
    // Halves go to the even neighbour: 512.5 is 512 and 513.5 is 514, neither a left press.
    trayMessage(512.5);
    trayMessage(513.5);
    trayMessage(516.5);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(openMenu(), nullptr);

    trayMessage(512.6);  // 513
    EXPECT_TRUE(window->isVisible());
    trayMessage(517.4);  // 517
    EXPECT_NE(openMenu(), nullptr);
}

TEST_F(TrayTest, WithoutANotificationAreaMinimiseLeavesAMinimisedWindow) {
    platform::assumeNotificationArea(false);
    minimise();
    EXPECT_EQ(form->WindowState(), platform::FormWindowState::Minimized);
    EXPECT_TRUE(window->isVisible()) << "a hidden window would have no way back";
    platform::assumeNotificationArea(true);
}

}  // namespace
