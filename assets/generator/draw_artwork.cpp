// Draws every picture the player ships with: the main window skin, its buttons, the about window
// and the application icon. The output is committed next to this program; run
//   draw_artwork <output-folder>
// after changing anything here. Text is drawn from the Debian font files directly (no font
// matching), so a fresh machine with Qt and fonts-liberation/fonts-dejavu-core gives the same
// pictures.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QLineF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRadialGradient>
#include <QRawFont>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

const QColor kOrange(0xFC, 0x6B, 0x00);
const QColor kAmber(0xF0, 0xB9, 0x00);
const QColor kYellow(0xF2, 0xEB, 0x00);
const QColor kButtonNormal(0x26, 0x67, 0x50);
const QColor kButtonHover(0x79, 0x99, 0x8B);
const QColor kSkyvaneBlue(0x17, 0x40, 0x7F);
const QColor kBrightfoldPlum(0x6E, 0x2A, 0x92);
const QColor kBrightfoldRose(0xE6, 0x45, 0x7A);

constexpr int kJpegQuality = 92;
constexpr double kPi = std::numbers::pi;

const char* const kFontDir = "/usr/share/fonts/truetype/";

// Glyph outlines straight from one font file at one pixel size.
class Typeface {
public:
    Typeface(const char* file, double pixelSize)
        : font_(QString::fromLatin1(kFontDir) + QString::fromLatin1(file), pixelSize,
                QFont::PreferNoHinting),
          file_(file) {}

    bool isValid() const { return font_.isValid(); }
    const char* file() const { return file_; }

    // Outline of `text` with its baseline starting at `origin`.
    QPainterPath path(const QString& text, QPointF origin) const {
        const QList<quint32> glyphs = font_.glyphIndexesForString(text);
        const QList<QPointF> advances =
            font_.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances);
        QPainterPath result;
        QPointF pen = origin;
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            result.addPath(font_.pathForGlyph(glyphs[i]).translated(pen));
            pen += advances[i];
        }
        return result;
    }

    double width(const QString& text) const {
        const QList<quint32> glyphs = font_.glyphIndexesForString(text);
        double total = 0;
        for (const QPointF& advance :
             font_.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances)) {
            total += advance.x();
        }
        return total;
    }

private:
    QRawFont font_;
    const char* file_;
};

bool fontsPresent(std::initializer_list<const Typeface*> faces) {
    bool ok = true;
    for (const Typeface* face : faces) {
        if (!face->isValid()) {
            std::fprintf(
                stderr,
                "draw_artwork: cannot load %s%s (install fonts-liberation and fonts-dejavu-core)\n",
                kFontDir, face->file());
            ok = false;
        }
    }
    return ok;
}

// A canvas of `width` x `height` in the window's pixels, holding `scale` times as many pixels
// each way: a painter on it draws in the window's pixels, and the picture comes out sharp on a
// screen of that pixel ratio instead of blown up from the small one.
QImage blankCanvas(int width, int height, QColor fill, int scale = 1) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(fill);
    return image;
}

void beginPainting(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
}

// Three passes of a box blur approximate a gaussian closely enough for drop shadows.
void blur(QImage& image, int radius) {
    std::vector<double> line;
    std::vector<double> out;
    // Blurs every row (or every column) in place; `at` finds pixel i of row/column `index`.
    auto pass = [&](int count, int length, bool rows) {
        auto at = [&](int index, int i) {
            const int x = rows ? i : index;
            const int y = rows ? index : i;
            return reinterpret_cast<QRgb*>(image.scanLine(y)) + x;
        };
        line.resize(static_cast<size_t>(length) * 4);
        out.resize(line.size());
        for (int index = 0; index < count; ++index) {
            for (int i = 0; i < length; ++i) {
                const QRgb pixel = *at(index, i);
                line[i * 4 + 0] = qAlpha(pixel);
                line[i * 4 + 1] = qRed(pixel);
                line[i * 4 + 2] = qGreen(pixel);
                line[i * 4 + 3] = qBlue(pixel);
            }
            for (int i = 0; i < length; ++i) {
                for (int channel = 0; channel < 4; ++channel) {
                    double sum = 0;
                    for (int j = std::max(0, i - radius); j <= std::min(length - 1, i + radius);
                         ++j) {
                        sum += line[j * 4 + channel];
                    }
                    out[i * 4 + channel] = sum / (2 * radius + 1);
                }
            }
            for (int i = 0; i < length; ++i) {
                auto value = [&](int channel) {
                    return static_cast<int>(std::lround(out[i * 4 + channel]));
                };
                *at(index, i) = qRgba(value(1), value(2), value(3), value(0));
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(image.height(), image.width(), true);
        pass(image.width(), image.height(), false);
    }
}

// A rounded rectangle whose outline ripples gently, like a hand-cut paper panel. The ripple is
// two sines whose periods divide the outline length, so the ends meet without a kink.
QPainterPath wavyPanel(const QRectF& rect, double radius, double amplitude, double wavelength,
                       double phase) {
    QPainterPath base;
    base.addRoundedRect(rect, radius, radius);
    const double length = base.length();
    const int waves = std::max(1, static_cast<int>(std::lround(length / wavelength)));
    const int samples = static_cast<int>(std::ceil(length));
    const QPointF centre = rect.center();
    QPainterPath result;
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / samples;
        const double step = 0.5 / samples;
        const QPointF point = base.pointAtPercent(t);
        const QPointF tangent = base.pointAtPercent(std::min(1.0, t + step)) -
                                base.pointAtPercent(std::max(0.0, t - step));
        QPointF normal(tangent.y(), -tangent.x());
        const double norm = std::hypot(normal.x(), normal.y());
        if (norm > 0) normal /= norm;
        if (QPointF::dotProduct(normal, point - centre) < 0) normal = -normal;
        const double angle = 2 * kPi * t;
        const double ripple = amplitude * (0.8 * std::sin(waves * angle + phase) +
                                           0.2 * std::sin(2 * waves * angle + 2 * phase));
        const QPointF moved = point + normal * ripple;
        if (i == 0) {
            result.moveTo(moved);
        } else {
            result.lineTo(moved);
        }
    }
    result.closeSubpath();
    return result;
}

// Draws `shape` filled with `fill` over a soft black shadow cast towards the lower right.
void drawPanelWithShadow(QPainter& painter, const QPainterPath& shape, const QBrush& fill,
                         QPointF shadowOffset, int blurRadius, int shadowAlpha) {
    const QPaintDevice* device = painter.device();
    const int scale = static_cast<int>(device->devicePixelRatio());
    QImage shadow =
        blankCanvas(device->width() / scale, device->height() / scale, Qt::transparent, scale);
    {
        QPainter shade(&shadow);
        beginPainting(shade);
        shade.setBrush(QColor(0, 0, 0, shadowAlpha));
        shade.drawPath(shape.translated(shadowOffset));
    }
    blur(shadow, blurRadius * scale);
    painter.drawImage(0, 0, shadow);
    painter.setBrush(fill);
    painter.drawPath(shape);
}

void fillVerticalGradient(QPainter& painter, const QRectF& area, double gradientHeight,
                          bool withAmber) {
    QLinearGradient gradient(0, 0, 0, gradientHeight);
    gradient.setColorAt(0.0, kOrange);
    if (withAmber) gradient.setColorAt(0.5, kAmber);
    gradient.setColorAt(1.0, kYellow);
    painter.fillRect(area, gradient);
}

// --- Publisher and studio marks -----------------------------------------------------------

// Skyvane: a weather-vane arrow climbing across a dark blue disc.
void drawSkyvaneMark(QPainter& painter, QPointF centre, double radius) {
    painter.save();
    painter.translate(centre);
    painter.scale(radius / 20.0, radius / 20.0);
    QRadialGradient disc(QPointF(-6, -8), 30);
    disc.setColorAt(0.0, kSkyvaneBlue.lighter(160));
    disc.setColorAt(1.0, kSkyvaneBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(QPointF(0, 0), 20, 20);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 90), 1.2));
    painter.drawEllipse(QPointF(0, 0), 17.5, 17.5);

    painter.rotate(-24);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(-9, -1.4, 17, 2.8));  // shaft
    painter.drawPolygon(
        QPolygonF({QPointF(15, 0), QPointF(5, -6.5), QPointF(7.5, 0), QPointF(5, 6.5)}));
    painter.drawPolygon(
        QPolygonF({QPointF(-7, 0), QPointF(-12, -7), QPointF(-16, -7), QPointF(-12.5, 0),
                   QPointF(-16, 7), QPointF(-12, 7)}));  // swallow-tail vane
    painter.restore();
}

enum class WordSide { Right, Left };

// The mark with the lower-case word beside it; the word is centred on the mark unless raised.
void drawSkyvaneLogo(QPainter& painter, QPointF markCentre, double markSize, const Typeface& face,
                     WordSide side, double wordRise = 0) {
    const double radius = markSize / 2;
    drawSkyvaneMark(painter, markCentre, radius);
    const QString word = QStringLiteral("skyvane");
    const double gap = markSize * 0.18;
    const double x = side == WordSide::Right ? markCentre.x() + radius + gap
                                             : markCentre.x() - radius - gap - face.width(word);
    // Centre the x-height on the mark; the k and y then reach symmetrically up and down.
    const QRectF xBox = face.path(QStringLiteral("x"), QPointF(0, 0)).boundingRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSkyvaneBlue);
    painter.drawPath(face.path(word, QPointF(x, markCentre.y() - xBox.center().y() - wordRise)));
}

// Brightfold: a diamond folded along its vertical axis, one half plum, the other rose.
void drawBrightfoldMark(QPainter& painter, QPointF centre, double size) {
    painter.save();
    painter.translate(centre);
    const double h = size / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBrightfoldPlum);
    painter.drawPolygon(QPolygonF({QPointF(0, -h), QPointF(-h, 0), QPointF(0, h)}));
    painter.setBrush(kBrightfoldRose);
    painter.drawPolygon(QPolygonF({QPointF(0, -h), QPointF(h * 0.92, -h * 0.08), QPointF(0, h)}));
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawPolygon(
        QPolygonF({QPointF(0, -h), QPointF(h * 0.45, -h * 0.1), QPointF(0, h * 0.25)}));
    painter.restore();
}

// --- Main window ---------------------------------------------------------------------------

constexpr int kSkinWidth = 469;
constexpr int kSkinHeight = 237;
constexpr int kSkinVisibleHeight = 216;
const QRect kDisplayBlock(QPoint(184, 24), QPoint(452, 97));

struct StationColumn {
    int left;
    int right;
    int rows;
};

QImage drawSkin(const Typeface& titleFace, const Typeface& logoFace, const Typeface& smallFace,
                int scale) {
    QImage image = blankCanvas(kSkinWidth, kSkinHeight, Qt::black, scale);
    QPainter painter(&image);
    beginPainting(painter);
    fillVerticalGradient(painter, QRectF(0, 0, kSkinWidth, kSkinHeight), kSkinVisibleHeight, true);

    // Station list: a faint rule under each caption row keeps the columns readable.
    constexpr int kFirstRow = 8;
    constexpr int kRowPitch = 16;
    for (const StationColumn column : {StationColumn{8, 81, 10}, StationColumn{96, 169, 9}}) {
        for (int row = 0; row < column.rows; ++row) {
            const int y = kFirstRow + row * kRowPitch + 16;
            painter.fillRect(QRect(column.left, y, column.right - column.left + 1, 1),
                             QColor(160, 70, 0, 95));
            painter.fillRect(QRect(column.left, y + 1, column.right - column.left + 1, 1),
                             QColor(255, 255, 220, 45));
        }
    }

    // The black panel carrying the display and the buttons.
    const QPainterPath panel = wavyPanel(QRectF(171, 11, 293, 91), 10, 1.7, 38, 0.7);
    drawPanelWithShadow(painter, panel, Qt::black, QPointF(3, 2), 3, 170);
    painter.fillRect(kDisplayBlock, Qt::black);

    drawSkyvaneLogo(painter, QPointF(330, 150), 38, logoFace, WordSide::Right);

    // Product name with an extruded edge.
    const QPainterPath title = titleFace.path(QStringLiteral("Wavelark"), QPointF(12, 211));
    for (int depth = 6; depth >= 1; --depth) {
        const double step = depth * 0.5;
        painter.setBrush(QColor(0x0A, 0x24, 0x66));
        painter.drawPath(title.translated(step, step));
    }
    const QRectF titleBox = title.boundingRect();
    QLinearGradient face(titleBox.topLeft(), titleBox.bottomLeft());
    face.setColorAt(0.0, QColor(0x5A, 0xA6, 0xFF));
    face.setColorAt(0.55, QColor(0x1E, 0x6B, 0xF0));
    face.setColorAt(1.0, QColor(0x12, 0x4B, 0xD0));
    painter.setBrush(face);
    painter.drawPath(title);

    const QString address = QStringLiteral("www.skyvane.example");
    painter.setBrush(QColor(0x3A, 0x24, 0x00));
    painter.drawPath(smallFace.path(address, QPointF(461 - smallFace.width(address), 209)));
    return image;
}

enum class Glyph { Play, Stop, Down, Up, Note, MutedNote };

void drawNote(QPainter& painter, QColor colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.save();
    painter.translate(8.2, 14.6);
    painter.rotate(-24);
    painter.drawEllipse(QPointF(0, 0), 3.6, 2.6);
    painter.restore();
    painter.drawRect(QRectF(10.6, 3.2, 1.6, 11.4));  // stem
    QPainterPath flag;
    flag.moveTo(10.6, 3.2);
    flag.cubicTo(11.5, 6.0, 16.0, 6.2, 14.6, 11.0);
    flag.cubicTo(14.5, 8.6, 13.0, 7.8, 11.5, 7.4);
    flag.closeSubpath();
    painter.drawPath(flag);
}

QImage drawButton(QSize size, Glyph glyph, QColor colour, int scale) {
    QImage image = blankCanvas(size.width(), size.height(), Qt::black, scale);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setBrush(colour);
    const QPen stroke(colour, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (glyph) {
        case Glyph::Play: {
            // Round the corners a little so the tip does not break up into single pixels.
            painter.setPen(QPen(colour, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolygon(
                QPolygonF({QPointF(8.5, 3.5), QPointF(17.0, 8.5), QPointF(8.5, 13.5)}));
            break;
        }
        case Glyph::Stop:
            painter.drawRect(QRectF(4.5, 4, 9, 9));
            break;
        case Glyph::Down:
            painter.setPen(stroke);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(QPolygonF({QPointF(5, 6), QPointF(10.5, 11.5), QPointF(16, 6)}));
            break;
        case Glyph::Up:
            painter.setPen(stroke);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(
                QPolygonF({QPointF(4.5, 11), QPointF(10, 5.5), QPointF(15.5, 11)}));
            break;
        case Glyph::Note:
            drawNote(painter, colour);
            break;
        case Glyph::MutedNote: {
            drawNote(painter, colour);
            // A black groove either side of the cross keeps it apart from the note behind.
            const QLineF strokes[] = {{3.5, 3.5, 17.5, 16.5}, {17.5, 3.5, 3.5, 16.5}};
            painter.setPen(QPen(Qt::black, 3.0, Qt::SolidLine, Qt::RoundCap));
            for (const QLineF& line : strokes) painter.drawLine(line);
            painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
            for (const QLineF& line : strokes) painter.drawLine(line);
            break;
        }
    }
    return image;
}

// --- About window --------------------------------------------------------------------------

QImage drawAbout(const Typeface& logoFace, const Typeface& studioFace, int scale) {
    constexpr QSize kSize(333, 225);
    QImage image = blankCanvas(kSize.width(), kSize.height(), Qt::black, scale);
    QPainter painter(&image);
    beginPainting(painter);
    fillVerticalGradient(painter, QRectF(QPointF(), kSize), kSize.height(), false);

    const QPainterPath panel = wavyPanel(QRectF(22, 45, 296, 158), 12, 1.7, 40, 2.1);
    drawPanelWithShadow(painter, panel, Qt::white, QPointF(5, 5), 4, 200);

    drawSkyvaneLogo(painter, QPointF(311, 40), 38, logoFace, WordSide::Left, 9);

    drawBrightfoldMark(painter, QPointF(24, 201), 32);
    painter.setBrush(kBrightfoldPlum);
    painter.drawPath(studioFace.path(QStringLiteral("Brightfold"), QPointF(43, 221)));
    return image;
}

// --- Application icon ----------------------------------------------------------------------

// Staff geometry for one icon size, in pixels. The two small sizes are laid out by hand on whole
// pixels so the 1-bit mask stays crisp; the larger ones scale the 32-pixel layout.
struct StaffLayout {
    double firstLine;
    double lineGap;
    double lineWidth;
    double headWidth;
    double headHeight;
    double stemWidth;
    double beamTop;
    double beamHeight;
    QPointF quarterHead;
    QPointF firstEighthHead;
    QPointF secondEighthHead;
    double quarterStemTop;
    // Hand-set note head ('#' painted) for the small sizes, where a thresholded ellipse turns
    // into a block; empty means draw a tilted ellipse.
    std::vector<const char*> headPixels;

    StaffLayout scaled(double factor) const {
        return {firstLine * factor,
                lineGap * factor,
                lineWidth * factor,
                headWidth * factor,
                headHeight * factor,
                stemWidth * factor,
                beamTop * factor,
                beamHeight * factor,
                quarterHead * factor,
                firstEighthHead * factor,
                secondEighthHead * factor,
                quarterStemTop * factor,
                {}};
    }
};

const StaffLayout kStaff32{8,
                           5,
                           1,
                           7,
                           5,
                           1,
                           1,
                           3,
                           {5.5, 23.5},
                           {15.5, 18.5},
                           {25.5, 13.5},
                           4,
                           {"...###.", ".######", "#######", "######.", ".###..."}};
const StaffLayout kStaff16{
    3, 3, 1, 4, 3, 1, 0, 2, {3, 12.5}, {8, 9.5}, {13, 6.5}, 2, {".###", "####", "###."}};

QImage drawStaff(int size, const StaffLayout& layout) {
    QImage image = blankCanvas(size, size, Qt::transparent);
    QPainter painter(&image);
    beginPainting(painter);
    painter.setBrush(Qt::black);
    for (int line = 0; line < 5; ++line) {
        painter.drawRect(
            QRectF(0, layout.firstLine + line * layout.lineGap, size, layout.lineWidth));
    }
    auto head = [&](QPointF centre) {
        if (!layout.headPixels.empty()) {
            const int left = static_cast<int>(std::lround(centre.x() - layout.headWidth / 2));
            const int top = static_cast<int>(std::lround(centre.y() - layout.headHeight / 2));
            for (int row = 0; row < static_cast<int>(layout.headPixels.size()); ++row) {
                for (int column = 0; layout.headPixels[row][column] != '\0'; ++column) {
                    if (layout.headPixels[row][column] == '#') {
                        painter.fillRect(QRect(left + column, top + row, 1, 1), Qt::black);
                    }
                }
            }
            return centre.x() + layout.headWidth / 2 - layout.stemWidth;
        }
        painter.save();
        painter.translate(centre);
        painter.rotate(-22);
        painter.drawEllipse(QPointF(0, 0), layout.headWidth / 2, layout.headHeight / 2);
        painter.restore();
        return centre.x() + layout.headWidth / 2 - layout.stemWidth;  // stem on the right
    };
    auto stem = [&](double x, double top, double bottom) {
        painter.drawRect(QRectF(x, top, layout.stemWidth, bottom - top));
    };
    const double quarterStem = head(layout.quarterHead);
    stem(quarterStem, layout.quarterStemTop, layout.quarterHead.y());
    const double firstStem = head(layout.firstEighthHead);
    const double secondStem = head(layout.secondEighthHead);
    stem(firstStem, layout.beamTop, layout.firstEighthHead.y());
    stem(secondStem, layout.beamTop, layout.secondEighthHead.y());
    painter.drawRect(QRectF(firstStem, layout.beamTop, secondStem + layout.stemWidth - firstStem,
                            layout.beamHeight));
    return image;
}

// Icon entries have a 1-bit mask: a pixel is either solid black or fully transparent.
QImage hardEdged(const QImage& soft) {
    QImage image = soft.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = qAlpha(row[x]) >= 128 ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

void appendLe16(QByteArray& out, quint16 value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

void appendLe32(QByteArray& out, quint32 value) {
    appendLe16(out, static_cast<quint16>(value & 0xFFFF));
    appendLe16(out, static_cast<quint16>(value >> 16));
}

// The classic 16-colour palette; only black (index 0) is painted.
const QRgb kIconPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// One 4-bit DIB entry: header (height doubled for the mask), palette, colour rows, mask rows.
QByteArray iconEntry(const QImage& image) {
    const int width = image.width();
    const int height = image.height();
    const int colourStride = ((width * 4 + 31) / 32) * 4;
    const int maskStride = ((width + 31) / 32) * 4;
    QByteArray colour(colourStride * height, '\0');
    QByteArray mask(maskStride * height, '\0');
    for (int y = 0; y < height; ++y) {
        const int row = height - 1 - y;  // DIB rows run bottom-up
        for (int x = 0; x < width; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                mask[row * maskStride + x / 8] =
                    static_cast<char>(mask[row * maskStride + x / 8] | (0x80 >> (x % 8)));
            }
            // Painted pixels use index 0 (black), so the colour bits stay zero everywhere.
        }
    }
    QByteArray out;
    appendLe32(out, 40);
    appendLe32(out, static_cast<quint32>(width));
    appendLe32(out, static_cast<quint32>(height * 2));
    appendLe16(out, 1);  // planes
    appendLe16(out, 4);  // bits per pixel
    appendLe32(out, 0);  // uncompressed
    appendLe32(out, static_cast<quint32>(colour.size() + mask.size()));
    appendLe32(out, 0);
    appendLe32(out, 0);
    appendLe32(out, 16);  // colours used
    appendLe32(out, 0);
    for (QRgb rgb : kIconPalette) {
        out.append(static_cast<char>(qBlue(rgb)));
        out.append(static_cast<char>(qGreen(rgb)));
        out.append(static_cast<char>(qRed(rgb)));
        out.append('\0');
    }
    out.append(colour);
    out.append(mask);
    return out;
}

QByteArray iconFile(const QList<QImage>& images) {
    QByteArray out;
    appendLe16(out, 0);
    appendLe16(out, 1);  // icon, not cursor
    appendLe16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    QList<QByteArray> entries;
    for (const QImage& image : images) {
        entries.append(iconEntry(image));
        out.append(static_cast<char>(image.width()));
        out.append(static_cast<char>(image.height()));
        out.append(static_cast<char>(16));  // palette size
        out.append('\0');
        appendLe16(out, 1);
        appendLe16(out, 4);
        appendLe32(out, static_cast<quint32>(entries.last().size()));
        appendLe32(out, offset);
        offset += static_cast<quint32>(entries.last().size());
    }
    for (const QByteArray& entry : entries) out.append(entry);
    return out;
}

// Reads the icon back through Qt's own decoder: both sizes, with the mask, pixel for pixel.
bool iconReadsBack(const QString& path, const QList<QImage>& expected) {
    QImageReader reader(path);
    if (reader.imageCount() != expected.size()) return false;
    for (const QImage& want : expected) {
        const QImage got = reader.read().convertToFormat(QImage::Format_ARGB32);
        if (got.isNull() || got.size() != want.size() || !got.hasAlphaChannel()) return false;
        if (got != want.convertToFormat(QImage::Format_ARGB32)) return false;
        reader.jumpToNextImage();
    }
    return true;
}

// --- Output --------------------------------------------------------------------------------

class Output {
public:
    explicit Output(const QString& folder) : dir_(folder) {}

    void jpeg(const QString& name, const QImage& image) {
        QImageWriter writer(dir_.filePath(name), "jpeg");
        writer.setQuality(kJpegQuality);
        writer.setOptimizedWrite(true);
        check(name, writer.write(image.convertToFormat(QImage::Format_RGB32)));
    }

    void png(const QString& name, const QImage& image) {
        QImageWriter writer(dir_.filePath(name), "png");
        check(name, writer.write(image.convertToFormat(QImage::Format_ARGB32)));
    }

    void raw(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        check(name,
              file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());
    }

    QString path(const QString& name) const { return dir_.filePath(name); }
    bool ok() const { return ok_; }
    void fail(const QString& message) {
        std::fprintf(stderr, "draw_artwork: %s\n", qPrintable(message));
        ok_ = false;
    }

private:
    void check(const QString& name, bool written) {
        if (!written) fail(QStringLiteral("cannot write ") + dir_.filePath(name));
    }

    QDir dir_;
    bool ok_ = true;
};

}  // namespace

int main(int argc, char** argv) {
    // Nothing is shown; the offscreen platform only provides the font engine.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_artwork <output-folder>\n");
        return 2;
    }
    if (!QDir().mkpath(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "draw_artwork: cannot create %s\n", argv[1]);
        return 1;
    }

    const Typeface titleFace("liberation/LiberationSans-BoldItalic.ttf", 52);
    const Typeface skinLogoFace("dejavu/DejaVuSans-Bold.ttf", 22);
    const Typeface aboutLogoFace("dejavu/DejaVuSans-Bold.ttf", 20);
    const Typeface addressFace("liberation/LiberationSans-Regular.ttf", 11);
    const Typeface studioFace("liberation/LiberationSerif-BoldItalic.ttf", 17);
    if (!fontsPresent({&titleFace, &skinLogoFace, &aboutLogoFace, &addressFace, &studioFace})) {
        return 1;
    }

    Output out{QString::fromLocal8Bit(argv[1])};

    struct Button {
        const char* name;
        QSize size;
        Glyph glyph;
    };
    const Button buttons[] = {
        {"play", {24, 17}, Glyph::Play},     {"stop", {18, 17}, Glyph::Stop},
        {"down", {21, 17}, Glyph::Down},     {"up", {20, 17}, Glyph::Up},
        {"sound_on", {21, 20}, Glyph::Note}, {"muted", {21, 20}, Glyph::MutedNote},
    };
    // Every window picture twice: for ordinary screens, and at twice the size ("@2x", as Qt
    // names them) for screens of two or more device pixels per window pixel.
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        auto jpeg = [&](const QString& name, const QImage& image) {
            out.jpeg(name + suffix + QStringLiteral(".jpg"), image);
        };
        jpeg(QStringLiteral("skin"), drawSkin(titleFace, skinLogoFace, addressFace, scale));
        jpeg(QStringLiteral("about"), drawAbout(aboutLogoFace, studioFace, scale));
        for (const Button& button : buttons) {
            const QString name = QString::fromLatin1(button.name);
            jpeg(name, drawButton(button.size, button.glyph, kButtonNormal, scale));
            jpeg(name + QStringLiteral("_hover"),
                 drawButton(button.size, button.glyph, kButtonHover, scale));
        }
    }

    const QImage icon32 = hardEdged(drawStaff(32, kStaff32));
    const QImage icon16 = hardEdged(drawStaff(16, kStaff16));
    out.raw(QStringLiteral("staff.ico"), iconFile({icon32, icon16}));
    if (out.ok() && !iconReadsBack(out.path(QStringLiteral("staff.ico")), {icon32, icon16})) {
        out.fail(QStringLiteral("staff.ico does not read back as written"));
    }
    out.png(QStringLiteral("staff-16.png"), icon16);
    out.png(QStringLiteral("staff-32.png"), icon32);
    for (int size : {48, 64, 128, 256}) {
        out.png(QStringLiteral("staff-%1.png").arg(size),
                drawStaff(size, kStaff32.scaled(size / 32.0)));
    }
    return out.ok() ? 0 : 1;
}
