// The About window through real mouse events: its links arm under the pointer, open their site
// when clicked, and the main window is disabled while it is open.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "about/about.h"
#include "platform/notify_icon.h"
#include "player_fixture.h"

namespace {

const QPoint kAboutLabel{425, 110};
// Places in the About window.
const QPoint kPublisherLink{180, 134}, kStudioLink{90, 148}, kSentence{50, 170}, kClose{280, 182},
    kBackground{320, 210};

constexpr platform::Colour kBlue = 0x0000FF;

class AboutTest : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        writeStationFile(stationLine(0) + "\r\n");
        loadForm();
        main = form->widget();
    }
    about& open() {
        input::moveTo(main, kAboutLabel);
        input::click(main, kAboutLabel);
        box = form->aboutWindow->widget();
        QTest::mouseMove(box->windowHandle(), QPoint(-50, -50));
        return *form->aboutWindow;
    }
    static bool resting(const platform::Label& link) {
        return link.ForeColor() == kBlue && !link.FontUnderline();
    }
    QWidget* main = nullptr;
    QWidget* box = nullptr;
};

TEST_F(AboutTest, OpensOverADisabledMainWindowAndCloseEnablesItAgain) {
    about& window = open();
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(form->Enabled());
    EXPECT_FALSE(form->Label1.FontBold());
    EXPECT_EQ(box->size(), QSize(333, 225));
    EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);

    input::click(main, {20, 14});
    EXPECT_TRUE(player->calls.empty()) << "the main window takes no clicks meanwhile";
    input::key(main, Qt::Key_Down);
    EXPECT_EQ(form->volume.Caption(), "31 Highest") << "nor keys";
    main->close();  // the window manager's close
    EXPECT_TRUE(form->Loaded()) << "nor a close request";
    EXPECT_TRUE(main->isVisible());

    input::moveTo(box, kClose);
    EXPECT_TRUE(window.Label2.FontBold());
    input::moveTo(box, kSentence);
    EXPECT_TRUE(window.Label2.FontBold()) << "only the background takes the bold away";
    input::moveTo(box, kBackground);
    EXPECT_FALSE(window.Label2.FontBold());

    input::moveTo(box, kClose);
    input::click(box, kClose);
    EXPECT_TRUE(form->Enabled());
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(openedUrls.empty());

    input::click(main, {20, 14});
    EXPECT_EQ(player->calls.size(), 1u) << "the main window works again";
}

TEST_F(AboutTest, LinkArmsUnderThePointerAndRestsWhenItLeaves) {
    about& window = open();
    EXPECT_TRUE(resting(window.lblURL));
    input::moveTo(box, kPublisherLink);
    EXPECT_EQ(window.lblURL.ForeColor(), 0x000000u);
    EXPECT_TRUE(window.lblURL.FontUnderline());
    input::moveTo(box, kPublisherLink + QPoint(5, 1));
    EXPECT_TRUE(window.lblURL.FontUnderline()) << "moving within the link keeps it armed";

    input::moveTo(box, kSentence);
    EXPECT_TRUE(resting(window.lblURL));

    // One fast move from the link out of the window: only the window's leave tells.
    input::moveTo(box, kPublisherLink);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(box, &leave);
    EXPECT_TRUE(resting(window.lblURL));
    input::moveTo(box, kClose);
    input::click(box, kClose);
    EXPECT_FALSE(window.Loaded()) << "the next click is not swallowed";
    EXPECT_TRUE(openedUrls.empty());
}

TEST_F(AboutTest, ClickOpensExactlyItsAddress) {
    about& window = open();
    input::moveTo(box, kPublisherLink);
    input::click(box, kPublisherLink);
    EXPECT_EQ(openedUrls, std::vector<std::string>{"http://www.skyvane.example"});
    EXPECT_TRUE(resting(window.lblURL));

    input::moveTo(box, kStudioLink);
    input::click(box, kStudioLink);
    EXPECT_EQ(openedUrls, (std::vector<std::string>{"http://www.skyvane.example",
                                                    "http://www.brightfold.example"}));
    EXPECT_TRUE(resting(window.lblURL2));
}

TEST_F(AboutTest, PressingAndDraggingOffOrJumpingToTheOtherLinkOpensNothing) {
    about& window = open();
    input::moveTo(box, kPublisherLink);
    input::press(box, kPublisherLink);
    input::moveTo(box, kSentence);
    input::release(box, kSentence);
    EXPECT_TRUE(resting(window.lblURL));

    input::moveTo(box, kPublisherLink);
    input::moveTo(box, kStudioLink);  // one movement straight from one link onto the other
    input::press(box, kStudioLink);
    input::release(box, kStudioLink);
    EXPECT_TRUE(openedUrls.empty());
    EXPECT_TRUE(resting(window.lblURL));
}

TEST_F(AboutTest, EveryOpeningIsFreshAndAnyCloseEnablesTheMainWindow) {
    about& first = open();
    input::moveTo(box, kClose);
    input::moveTo(box, kPublisherLink);
    first.widget()->close();  // the window manager's close, Alt+F4
    QApplication::processEvents();
    EXPECT_TRUE(form->Enabled());

    about& second = open();
    EXPECT_TRUE(resting(second.lblURL));
    EXPECT_TRUE(resting(second.lblURL2));
    EXPECT_FALSE(second.Label2.FontBold());
}

TEST_F(AboutTest, ExitEndsTheSoundAndTheMainWindowAndCloseThenEndsTheProgram) {
    open();
    form->menuExit.Click();
    EXPECT_TRUE(playerReleased) << "the media player goes with the window: the sound stops";
    EXPECT_TRUE(platform::notifyIcons().empty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->widget(), nullptr) << "the window and its controls are destroyed";
    EXPECT_TRUE(box->isVisible()) << "the About window stays until its own Close";

    QTimer::singleShot(0, [&] {
        input::moveTo(box, kClose);
        input::click(box, kClose);
    });
    EXPECT_EQ(platform::RunUntilNoFormIsLoaded(), 0) << "its Close unloads the last window";
}

TEST_F(AboutTest, ScreenReaderAndKeyboardReachTheLinksAndCloseAndEscapeCloses) {
    // Opened from the keyboard: About is the last stop of Tab in the main window.
    input::key(main, Qt::Key_Tab, Qt::ShiftModifier);
    input::key(main, Qt::Key_Return);
    about& window = *form->aboutWindow;
    box = window.widget();
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(box);
    EXPECT_EQ(root->role(), QAccessible::Dialog);
    std::vector<std::pair<QAccessible::Role, std::string>> seen;
    for (int i = 0; i < root->childCount(); ++i)
        seen.push_back(
            {root->child(i)->role(), root->child(i)->text(QAccessible::Name).toStdString()});
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[2], std::make_pair(QAccessible::StaticText,
                                      std::string("This player is presented by skyvane.example "
                                                  "and Brightfold.")));
    EXPECT_EQ(seen[3], std::make_pair(QAccessible::Link, std::string("skyvane.example")));
    EXPECT_EQ(seen[4], std::make_pair(QAccessible::Link, std::string("Brightfold")));
    EXPECT_EQ(seen[5], std::make_pair(QAccessible::Button, std::string("Close")));

    root->child(4)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QApplication::processEvents();
    EXPECT_EQ(openedUrls, std::vector<std::string>{"http://www.brightfold.example"});
    input::key(box, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.lblURL.widget());
    input::key(box, Qt::Key_Space);
    input::key(box, Qt::Key_Tab);
    input::key(box, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.Label2.widget());
    EXPECT_EQ(openedUrls.size(), 2u);

    input::key(box, Qt::Key_Escape);
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(form->Enabled());
    EXPECT_EQ(main->focusWidget(), form->Label1.widget()) << "the focus is back on About";
}

}  // namespace
