// The rendered player window checked at the pixel level against its design.
#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include "player_fixture.h"

namespace {

class LayoutTest : public PlayerFixture {};

bool isBlack(QRgb rgb) { return qRed(rgb) < 16 && qGreen(rgb) < 16 && qBlue(rgb) < 16; }

// Whether any pixel in the rectangle satisfies the test.
template <typename Test>
bool anyPixel(const QImage& image, QRect rect, Test test) {
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (test(image.pixel(x, y))) return true;
    return false;
}

TEST_F(LayoutTest, WindowPanelStripAndReadoutsSitWhereTheDesignPutsThem) {
    writeStationFile("");
    Form1& window = loadForm();
    QWidget* widget = window.widget();
    EXPECT_EQ(widget->size(), QSize(467, 216));
    EXPECT_EQ(widget->geometry().topLeft(), QPoint(220, 87));
    EXPECT_EQ(widget->windowTitle(), "Skyvane Wavelark Player");
    EXPECT_EQ(widget->minimumSize(), widget->maximumSize()) << "fixed size";
    // An ordinary screen gets the small pictures alone.
    EXPECT_EQ(window.picture().image().size(), QSize(469, 237));

    const QImage image = input::grab(widget);
    // One black block from (184, 24) to (452, 97): panel, strip and bars.
    for (QPoint p : {QPoint(185, 25), QPoint(230, 27), QPoint(450, 60), QPoint(185, 90),
                     QPoint(451, 90), QPoint(300, 95), QPoint(186, 80)}) {
        EXPECT_TRUE(isBlack(image.pixel(p))) << p.x() << "," << p.y();
    }
    // The skin: orange at the top, yellow at the bottom, outside the controls.
    const QColor top(image.pixel(100, 2)), bottom(image.pixel(280, 208));
    EXPECT_GT(top.red(), 230);
    EXPECT_LT(top.green(), 150);
    EXPECT_GT(bottom.red(), 200);
    EXPECT_GT(bottom.green(), 200);
    EXPECT_LT(bottom.blue(), 80);

    auto green = [](QRgb p) { return qGreen(p) > 90 && qRed(p) < 60 && qBlue(p) < 60; };
    auto white = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
    EXPECT_TRUE(anyPixel(image, {240, 56, 30, 17}, green)) << "\"None\" in green";
    EXPECT_TRUE(anyPixel(image, {381, 35, 60, 17}, green)) << "\"31 Highest\" in green";
    EXPECT_TRUE(anyPixel(image, {192, 56, 40, 17}, white)) << "\"Station:\" in white";
    EXPECT_TRUE(anyPixel(image, {328, 35, 40, 17}, white)) << "\"Volume:\" in white";
    EXPECT_FALSE(anyPixel(image, {449, 56, 3, 17}, green))
        << "the station readout is cut at the panel's edge";

    // The play, stop, down, sound-on and up pictures in a row along the panel's top.
    for (QRect button : {QRect(184, 32, 24, 17), QRect(208, 32, 18, 17), QRect(248, 32, 21, 17),
                         QRect(272, 32, 21, 20), QRect(296, 32, 20, 17)}) {
        EXPECT_TRUE(anyPixel(image, button, [](QRgb p) { return qGreen(p) > 60; })) << button.x();
    }
}

TEST_F(LayoutTest, SlotCaptionsStandAtTheirPlacesAndFollowTheColourScheme) {
    std::string file;
    for (int k = 0; k < 19; ++k) file += "MMMM,http://127.0.0.1/s,Name\r\n";
    writeStationFile(file);
    // Loaded without the fixture's pointer move: slots 5 and 8 are black only until the first
    // hover.
    Form1& window = makeForm();
    platform::Load(window);
    const QImage image = input::grab(window.widget());
    auto dark = [](QRgb p) { return qGray(p) < 60; };
    for (int slot = 0; slot < 19; ++slot) {
        const int x = slot < 10 ? 8 : 96;
        const int y = slot == 8 ? 135 : 8 + 16 * (slot % 10);
        EXPECT_TRUE(anyPixel(image, {x, y, 40, 14}, dark)) << "slot " << slot;
        EXPECT_EQ(window.StationSlot[slot]->widget()->geometry(), QRect(x, y, 73, 17))
            << "slot " << slot;
    }

    // A dark scheme with light button text: the slots follow it, except the two designed black.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    window.widget()->setPalette(palette);
    QApplication::processEvents();
    const QImage light = input::grab(window.widget());
    auto white = [](QRgb p) { return qRed(p) > 230 && qGreen(p) > 230 && qBlue(p) > 230; };
    EXPECT_TRUE(anyPixel(light, {8, 8, 40, 14}, white)) << "slot 0 in the scheme's button text";
    EXPECT_FALSE(anyPixel(light, {8, 88, 40, 14}, white)) << "slot 5 starts black";
}

TEST_F(LayoutTest, MenuIsHiddenAndHoldsTheTrayCommands) {
    writeStationFile("");
    Form1& window = makeForm();
    EXPECT_FALSE(window.menuDatei.Visible());
    std::vector<std::string> captions;
    for (auto* item : window.menuDatei.items()) captions.push_back(item->Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"&Show", "&Minimize", "-", "Sound Up",
                                                  "Sound Down", "-", "&Exit"}));
}

}  // namespace
