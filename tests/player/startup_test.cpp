// Start-up and shutdown as the user and the desktop see them.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <cstring>
#include <fstream>

#include "platform/message_box.h"
#include "platform/notify_icon.h"
#include "player/sys_tray_icon.h"
#include "player_fixture.h"

namespace {

class StartupTest : public PlayerFixture {};

QRgb pixel(Form1& window, int x, int y) { return input::grab(window.widget()).pixel(x, y); }

TEST_F(StartupTest, TrayIconComesFirstAndTheMessageBeforeTheWindow) {
    std::vector<std::pair<std::size_t, bool>>
        seenAtMessage;  // icons on the desktop, window visible
    platform::setMessageBoxHandler([&](const std::string&) {
        seenAtMessage.emplace_back(platform::notifyIcons().size(), form->widget()->isVisible());
    });
    Form1& window = loadForm();

    ASSERT_EQ(seenAtMessage.size(), 1u) << "no station file: one message";
    EXPECT_EQ(seenAtMessage[0].first, 1u) << "the icon is there before the station file is read";
    EXPECT_FALSE(seenAtMessage[0].second) << "the window is not on screen yet";
    EXPECT_TRUE(window.widget()->isVisible()) << "start-up goes on after the message";

    const auto icons = platform::notifyIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].tip, "Skyvane Wavelark Player");
    EXPECT_TRUE(icons[0].hasIcon);
    EXPECT_EQ(icons[0].hWnd, window.Picture1.hWnd())
        << "the hidden picture box receives the icon's messages";

    const platform::NOTIFYICONDATA& record = SysTrayIcon::TrayIconRecord;
    EXPECT_EQ(record.cbSize, 88);
    EXPECT_EQ(record.uID, 1);
    EXPECT_EQ(record.uFlags, 7);
    EXPECT_EQ(record.uCallbackMessage, 0x200);
    EXPECT_EQ(std::memcmp(record.szTip, "Skyvane Wavelark Player\0 ", 25), 0);
    EXPECT_EQ(record.szTip[63], ' ');

    platform::Unload(window);
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(platform::notifyIcons().empty()) << "unloading takes the icon away";
}

TEST_F(StartupTest, ExitFromTheMenuUnloadsEvenWhileHidden) {
    writeStationFile(stationLine(0) + "\r\n");
    Form1& window = loadForm();
    window.Hide();
    window.menuExit.Click();
    EXPECT_FALSE(window.Loaded());
    EXPECT_FALSE(window.Visible());
    EXPECT_TRUE(platform::notifyIcons().empty());
}

// The icon is there before the station file is read, so Exit can come while its message waits;
// the program must still end, though its event loop has not even started.
TEST_F(StartupTest, ExitDuringTheStartUpMessageEndsTheProgram) {
    platform::setMessageBoxHandler([this](const std::string&) { form->menuExit.Click(); });
    platform::Load(makeForm());
    EXPECT_FALSE(form->Loaded());
    EXPECT_TRUE(playerReleased);
    EXPECT_TRUE(platform::notifyIcons().empty());
    EXPECT_EQ(platform::RunUntilNoFormIsLoaded(), 0);
}

TEST_F(StartupTest, CloseBoxUnloadsLikeExit) {
    writeStationFile("");
    Form1& window = loadForm();
    window.widget()->close();
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(platform::notifyIcons().empty());
}

TEST_F(StartupTest, BackgroundPictureReplacesTheSkinForThisRun) {
    writeStationFile("");
    QImage picture(100, 50, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString((folder / "backgr.jpg").string()), "JPEG"));

    Form1& window = loadForm();
    EXPECT_TRUE(messages.empty());
    const QColor inside(pixel(window, 60, 40));
    EXPECT_GT(inside.blue(), 200);
    EXPECT_LT(inside.red(), 60);
    EXPECT_EQ(QColor(pixel(window, 300, 200)), QColor(0xFF, 0x80, 0x00))
        << "the back colour shows beyond the picture";
    EXPECT_EQ(QColor(pixel(window, 190, 30)), QColor(Qt::black))
        << "the controls stay where they are";
}

TEST_F(StartupTest, PngUnderTheJpegNameIsStillAPicture) {
    writeStationFile("");
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    ASSERT_TRUE(picture.save(QString::fromStdString((folder / "backgr.jpg").string()), "PNG"));
    Form1& window = loadForm();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(QColor(pixel(window, 20, 30)), QColor(0, 0, 255));
}

TEST_F(StartupTest, BackgroundThatIsNoPictureIsReportedAndTheDesignedSkinStays) {
    writeStationFile("");
    Form1 reference(
        [](platform::StatusStrip&) { return std::make_unique<RecordingMediaPlayer>(); });
    const QImage designed = input::grab(reference.widget());

    for (const std::string& bytes :
         {std::string("just some text"), std::string(), std::string("\xFF\xD8\xFF\xE0", 4),
          std::string("P1\n2 2\n1 0 0 1\n")}) {  // a picture, but of no format named so
        messages.clear();
        std::ofstream(folder / "backgr.jpg", std::ios::binary | std::ios::trunc) << bytes;
        Form1& window = loadForm();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "Run-time error '481':\n\nInvalid picture");
        EXPECT_TRUE(window.widget()->isVisible());
        EXPECT_EQ(input::grab(window.widget()).pixel(40, 200), designed.pixel(40, 200));
        platform::Unload(window);
    }
}

TEST_F(StartupTest, HugePictureHeaderIsRefusedWithoutDecoding) {
    writeStationFile("");
    // A JPEG whose frame header claims 60000 x 60000 pixels.
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::red);
    ASSERT_TRUE(small.save(QString::fromStdString((folder / "backgr.jpg").string()), "JPEG"));
    std::fstream file(folder / "backgr.jpg", std::ios::binary | std::ios::in | std::ios::out);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    const auto sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bytes[sof + 5] = bytes[sof + 7] = char(0xEA);
    bytes[sof + 6] = bytes[sof + 8] = char(0x60);
    file.seekp(0);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();

    loadForm();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Run-time error '481':\n\nInvalid picture");
}

}  // namespace
