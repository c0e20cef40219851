#include "platform/label_text.h"

#include <QFontMetrics>

namespace platform {

namespace {
struct Shown {
    QString text;
    int underlined = -1;
};

// "&x" underlines x, "&&" is a literal "&", a trailing "&" shows nothing.
Shown resolveAccessKeys(const QString& caption) {
    Shown shown;
    shown.text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) {
            shown.text += caption[i];
        } else if (i + 1 < caption.size()) {
            if (caption[i + 1] != QLatin1Char('&')) shown.underlined = int(shown.text.size());
            shown.text += caption[++i];
        }
    }
    return shown;
}
}  // namespace

QString LabelText::shownText(const QString& caption) { return resolveAccessKeys(caption).text; }

LabelText LabelText::layout(const QString& caption, const QFontMetrics& metrics, int width) {
    const Shown shown = resolveAccessKeys(caption);
    LabelText result;
    auto addLine = [&](qsizetype start, qsizetype end) {
        Line line{shown.text.mid(start, end - start), -1};
        if (shown.underlined >= start && shown.underlined < end)
            line.underlined = int(shown.underlined - start);
        result.lines.push_back(line);
    };
    // Hard line breaks first, then words wrapped at spaces.
    qsizetype paragraphStart = 0;
    const qsizetype length = shown.text.size();
    while (paragraphStart <= length) {
        qsizetype paragraphEnd = paragraphStart;
        while (paragraphEnd < length && shown.text[paragraphEnd] != QLatin1Char('\r') &&
               shown.text[paragraphEnd] != QLatin1Char('\n')) {
            ++paragraphEnd;
        }
        auto fits = [&](qsizetype from, qsizetype to) {
            return metrics.horizontalAdvance(shown.text.mid(from, to - from)) <= width;
        };
        qsizetype lineStart = paragraphStart;
        qsizetype lastFit = -1;  // end of the longest run of whole words that fits, if any
        for (qsizetype i = paragraphStart; i <= paragraphEnd; ++i) {
            if (i < paragraphEnd && shown.text[i] != QLatin1Char(' ')) continue;
            // i ends a word.
            if (fits(lineStart, i)) {
                lastFit = i;
                continue;
            }
            if (lastFit >= lineStart) {
                addLine(lineStart, lastFit);
                lineStart = lastFit + 1;
                lastFit = -1;
                if (fits(lineStart, i)) {
                    lastFit = i;
                    continue;
                }
            }
            // One word wider than the label: it stands alone and is clipped.
            addLine(lineStart, i);
            lineStart = i + 1;
            lastFit = -1;
        }
        if (lineStart <= paragraphEnd) addLine(lineStart, paragraphEnd);
        if (paragraphEnd >= length) break;
        paragraphStart = paragraphEnd + 1;
        if (shown.text[paragraphEnd] == QLatin1Char('\r') && paragraphStart < length &&
            shown.text[paragraphStart] == QLatin1Char('\n')) {
            ++paragraphStart;
        }
    }
    return result;
}

}  // namespace platform
