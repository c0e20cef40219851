#include "platform/label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "platform/label_text.h"

namespace platform {

Label::Label(Control& container) : Control(&container) {}

void Label::design(int left, int top, int width, int height, const std::string& caption,
                   const Font& font, Colour foreColor) {
    Move(left, top, width, height);
    setCaption(caption);
    setFont(font);
    setForeColor(foreColor);
    setBackStyle(BackStyle::Transparent);
}

void Label::setCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    repaint();
    accessibleNameMayHaveChanged();
}

std::string Label::defaultAccessibleName() const {
    return LabelText::shownText(QString::fromStdString(caption_)).toStdString();
}

void Label::setForeColor(Colour colour) {
    if (colour == foreColor_) return;
    foreColor_ = colour;
    repaint();
}

void Label::setBackColor(Colour colour) {
    backColor_ = colour;
    repaint();
}

void Label::setBackStyle(BackStyle style) {
    backStyle_ = style;
    repaint();
}

void Label::setFont(const Font& font) {
    font_ = font;
    repaint();
}

void Label::setFontBold(bool bold) {
    if (bold == font_.bold) return;
    font_.bold = bold;
    repaint();
}

void Label::setFontUnderline(bool underline) {
    if (underline == font_.underline) return;
    font_.underline = underline;
    repaint();
}

void Label::paint(QPainter& painter) {
    const QWidget& canvas = *widget();
    if (backStyle_ == BackStyle::Opaque)
        painter.fillRect(canvas.rect(), resolve(backColor_, canvas));
    const QFont qfont = toQFont(font_);
    painter.setFont(qfont);
    painter.setPen(resolve(foreColor_, canvas));
    const QFontMetrics metrics(qfont);
    const LabelText text =
        LabelText::layout(QString::fromStdString(caption_), metrics, canvas.width());
    int top = 0;
    for (const LabelText::Line& line : text.lines) {
        if (top >= canvas.height()) break;
        painter.drawText(0, top + metrics.ascent(), line.text);
        if (line.underlined >= 0) {
            const int x = metrics.horizontalAdvance(line.text.left(line.underlined));
            const int width = metrics.horizontalAdvance(line.text.mid(line.underlined, 1));
            const int y = top + metrics.ascent() + metrics.underlinePos();
            painter.fillRect(x, y, width, std::max(1, metrics.lineWidth()), painter.pen().color());
        }
        top += metrics.height();
    }
}

}  // namespace platform
