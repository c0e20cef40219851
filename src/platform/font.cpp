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
    // MS Sans Serif is a narrow bitmap face. Whole-pixel advances (full hinting) and a slightly
    // narrower stretch put the stand-in's words where the design's were: a sentence laid out
    // around other labels keeps a space before each of them and still breaks where it should.
    if (font.name == "MS Sans Serif") {
        qfont.setStretch(95);
        qfont.setHintingPreference(QFont::PreferFullHinting);
    }
    return qfont;
}

}  // namespace platform
