// Draws one of the player window's text readouts offscreen through the platform layer, with the
// window's fonts, colours and sizes, and writes it as a binary PPM. The end-to-end tests compare
// it with a screenshot of the running program: Qt's raster engine draws the same pixels here and
// on the virtual X server, so equal pixels mean the window shows that text.
//
//   e2e_reference_rendering station TEXT OUT.ppm     the Station: readout (265 x 17 px)
//   e2e_reference_rendering volume TEXT OUT.ppm      the Volume: readout (65 x 17 px)
//   e2e_reference_rendering strip STATE TITLE OUT.ppm  the status strip (265 x 24 px), no time
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <string>

#include "platform/font.h"
#include "platform/form.h"
#include "platform/label.h"
#include "platform/status_strip.h"

namespace {
// As the player window's design has them.
const platform::Font kArialBold{"Arial", 8.25, true};
constexpr platform::Colour kGreen = 0x008000;

bool save(const platform::Control& control, const char* path) {
    return control.widget()
        ->grab()
        .toImage()
        .convertToFormat(QImage::Format_RGB888)
        .save(path, "PPM");
}

void designReadout(platform::Label& label, int width, const std::string& text) {
    label.Move(0, 0, width, 255);
    label.setCaption(text);
    label.setFont(kArialBold);
    label.setForeColor(kGreen);
    label.setBackStyle(platform::BackStyle::Opaque);
    label.setBackColor(platform::kBlack);
}

int usage() {
    std::fputs(
        "usage: e2e_reference_rendering station|volume TEXT OUT.ppm\n"
        "       e2e_reference_rendering strip STATE TITLE OUT.ppm\n",
        stderr);
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 4) return usage();
    const std::string kind = argv[1];
    platform::Form form;
    if (kind == "station" || kind == "volume") {
        if (argc != 4) return usage();
        platform::Label label(form);
        designReadout(label, kind == "station" ? 3975 : 975, argv[2]);
        return save(label, argv[3]) ? 0 : 1;
    }
    if (kind == "strip") {
        if (argc != 5) return usage();
        platform::StatusStrip strip(form);
        strip.Move(0, 0, 3975, 360);
        strip.show(StatusLine{.state = argv[2], .title = argv[3]});
        return save(strip, argv[4]) ? 0 : 1;
    }
    return usage();
}
