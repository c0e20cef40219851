#include "platform/status_strip.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "platform/font.h"

namespace platform {

namespace {
const QColor kBackground(0x00, 0x00, 0x00);
const QColor kText(0x00, 0xC0, 0x00);
// Space kept clear inside the visible band, and between the text and the time.
constexpr int kPadding = 3;
constexpr int kGap = 8;
}  // namespace

StatusStrip::StatusStrip(Control& container) : Control(&container) {}

void StatusStrip::show(const StatusLine& line) {
    if (line == line_) return;
    line_ = line;
    repaint();
    accessibleNameMayHaveChanged();
}

std::string StatusStrip::defaultAccessibleName() const {
    // A screen reader speaks Connecting, Buffering and Playing, not each percentage.
    StatusLine announced = line_;
    announced.progress.clear();
    return announced.text();
}

std::string StatusStrip::accessibleDescription() const {
    return line_.elapsed.empty() ? line_.text() : line_.text() + ", " + line_.elapsed;
}

void StatusStrip::paint(QPainter& painter) {
    painter.fillRect(widget()->rect(), kBackground);
    const QRect visible(kVisibleLeft, kVisibleTop, kVisibleWidth, kVisibleHeight);
    const QRect text = visible.adjusted(kPadding, 0, -kPadding, 0);
    painter.setClipRect(text);
    painter.setFont(toQFont(Font{"Arial", 8.25}));
    painter.setPen(kText);
    const QFontMetrics metrics = painter.fontMetrics();

    const QString elapsed = QString::fromStdString(line_.elapsed);
    int elapsedWidth = 0;
    if (!elapsed.isEmpty()) {
        painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, elapsed);
        elapsedWidth = metrics.horizontalAdvance(elapsed) + kGap;
    }
    const int room = text.width() - elapsedWidth;
    const QString left =
        metrics.elidedText(QString::fromStdString(line_.text()), Qt::ElideRight, room);
    painter.drawText(QRect(text.left(), text.top(), room, text.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, left);
}

}  // namespace platform
