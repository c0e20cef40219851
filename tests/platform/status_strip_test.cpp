#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/form.h"
#include "platform/status_strip.h"

namespace {

// Counts the paints that reach a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

bool isText(QRgb pixel) {
    return qGreen(pixel) > 0x40 && qRed(pixel) < 0x40 && qBlue(pixel) < 0x40;
}

class StatusStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.setClientSize(6000, 3000);
        // Where and how big the player window places it: 265 x 24 pixels.
        strip.Move(2760, 1080, 3975, 360);
        form.Show();
        strip.widget()->installEventFilter(&counter);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.widget()));
    }

    // Handles every update already asked for, so that each one has been painted.
    static void settle() {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
    }

    QImage render() { return strip.widget()->grab().toImage(); }

    // Columns holding text pixels, left to right.
    std::vector<int> textColumns(const QImage& image) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (isText(image.pixel(x, y))) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    }

    platform::Form form;
    platform::StatusStrip strip{form};
    PaintCounter counter;
};

}  // namespace

TEST_F(StatusStripTest, DrawsGreenOnBlackInsideTheVisibleBand) {
    strip.show({.state = "Playing", .title = "Bench tone 440 Hz", .elapsed = "1:23"});
    const QImage image = render();
    ASSERT_EQ(image.size(), QSize(265, 24));
    int textPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const bool inside = x >= 4 && x < 264 && y >= 1 && y < 21;
            if (!inside) {
                EXPECT_EQ(qGray(pixel), 0) << x << "," << y;
            }
            if (isText(pixel)) ++textPixels;
            EXPECT_LT(qRed(pixel), 0x40) << x << "," << y;
        }
    }
    EXPECT_GT(textPixels, 100);
    // The time sits at the right end of the visible band, the text starts at its left.
    const auto columns = textColumns(image);
    ASSERT_FALSE(columns.empty());
    EXPECT_LE(columns.front(), 10);
    EXPECT_GE(columns.back(), 255);
}

TEST_F(StatusStripTest, LongTextIsCutShortOfTheTime) {
    strip.show({.state = "Playing", .title = std::string(200, 'W'), .elapsed = "12:34"});
    const auto columns = textColumns(render());
    ASSERT_FALSE(columns.empty());
    // Text reaches close to the time but a clear gap separates them.
    int widestGap = 0;
    for (std::size_t i = 1; i < columns.size(); ++i) {
        if (columns[i] > 150) widestGap = std::max(widestGap, columns[i] - columns[i - 1]);
    }
    EXPECT_GE(widestGap, 5);
    EXPECT_GE(columns.back(), 255);
    EXPECT_LT(columns.back(), 264);
}

// Counted without guessing how long painting takes: pending updates are handled first, and the
// change is awaited (bounded) rather than counted after a pause.
TEST_F(StatusStripTest, RepaintsOnlyWhenTheLineChanges) {
    strip.show({.state = "Buffering", .progress = "40%"});
    settle();
    const int before = counter.paints;
    strip.show({.state = "Buffering", .progress = "40%"});
    settle();
    EXPECT_EQ(counter.paints, before) << "the same line again paints nothing";
    strip.show({.state = "Buffering", .progress = "44%"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > before; }, 5000));
    EXPECT_EQ(strip.line().text(), "Buffering 44%");
}

TEST_F(StatusStripTest, TakesNoFocus) { EXPECT_EQ(strip.widget()->focusPolicy(), Qt::NoFocus); }
