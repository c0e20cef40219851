#pragma once

#include <QString>
#include <vector>

class QFontMetrics;

namespace platform {

// A caption broken into the lines a label draws: access-key "&"s resolved, words wrapped at
// spaces to the label's width. A word wider than the label stands alone on its line and is clipped.
struct LabelText {
    struct Line {
        QString text;
        int underlined = -1;  // index in text of the access-key character, or -1
    };
    std::vector<Line> lines;

    static LabelText layout(const QString& caption, const QFontMetrics& metrics, int width);
    // The caption as it reads: access-key "&"s resolved, unbroken.
    static QString shownText(const QString& caption);
};

}  // namespace platform
