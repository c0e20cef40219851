#include "platform/font.h"

#include <QFont>
#include <QStringList>
#include <cmath>

namespace platform {

QFont toQFont(const Font& font) {
    QFont qfont;
    // Where the design's face is missing, a metric-compatible sans-serif stands in.
    QStringList families{QString::fromStdString(font.name)};
    if (font.name == "MS Sans Serif") families << "Microsoft Sans Serif";
    families << "Arial"
             << "Liberation Sans"
             << "Helvetica"
             << "DejaVu Sans";
    qfont.setFamilies(families);
    qfont.setStyleHint(QFont::SansSerif);
    qfont.setPixelSize(static_cast<int>(std::lround(font.size * 96.0 / 72.0)));
    qfont.setBold(font.bold);
    qfont.setUnderline(font.underline);
    // MS Sans Serif is narrower than the faces that stand in for it; without this, sentences
    // laid out around other labels run into them.
    if (font.name == "MS Sans Serif") qfont.setStretch(97);
    return qfont;
}

}  // namespace platform
