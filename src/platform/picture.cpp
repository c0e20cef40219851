#include "platform/picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <filesystem>
#include <map>

#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/runtime_error.h"

namespace platform {

namespace {
// Anything larger than this is not a window background; refusing it keeps a hostile header
// from asking for gigabytes.
constexpr int kMaxSide = 8192;
constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
// The file is named as a JPEG; the everyday formats a user may have saved under that name are
// read too, but not every format a Qt plugin knows (vector drawings, scanner and game formats).
const QList<QByteArray> kPictureFormats{"jpeg", "png", "bmp", "gif"};

std::map<std::uint32_t, Picture>& handles() {
    static std::map<std::uint32_t, Picture> table;
    return table;
}

// The artwork comes in two sets: "name.jpg" for ordinary screens and "name@2x.jpg", drawn at
// twice the size, for any screen with more device pixels than window pixels (at 1.5 the larger
// set scaled down smoothly beats the small one blown up). An ordinary screen never reads the
// larger set, so it costs nothing there.
QImage artworkForScreen(const QString& name) {
    const int dot = name.lastIndexOf(u'.');
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1 && dot > 0) {
        QImage large(name.left(dot) + QStringLiteral("@2x") + name.mid(dot));
        if (!large.isNull()) {
            large.setDevicePixelRatio(2);
            return large;
        }
    }
    return QImage(name);
}

// An icon file holds the small images; the larger ones lie beside it as "name-SIZE.png". The
// window manager and the tray pick the size they show from all of them.
QIcon iconWithAllSizes(const QString& name) {
    QIcon icon(name);
    const QList<QSize> held = icon.availableSizes();
    const QFileInfo file(name);
    for (const QFileInfo& png :
         file.dir().entryInfoList({file.completeBaseName() + QStringLiteral("-*.png")})) {
        const QSize size = QImageReader(png.filePath()).size();
        if (!held.contains(size)) icon.addFile(png.filePath(), size);
    }
    return icon;
}
}  // namespace

Picture Picture::fromResource(const std::string& path) {
    Picture picture;
    const QString name = QString::fromStdString(path);
    picture.image_ = std::make_shared<const QImage>(artworkForScreen(name));
    if (name.endsWith(".ico", Qt::CaseInsensitive)) {
        // One copy of the icon's images however often it is named (the window, the tray).
        static std::map<QString, std::shared_ptr<const QIcon>> loaded;
        auto& icon = loaded[name];
        if (!icon) icon = std::make_shared<const QIcon>(iconWithAllSizes(name));
        picture.icon_ = icon;
    }
    picture.source_ = path;
    return picture;
}

int Picture::widthPixels() const {
    return image_ ? qRound(image_->deviceIndependentSize().width()) : 0;
}
int Picture::heightPixels() const {
    return image_ ? qRound(image_->deviceIndependentSize().height()) : 0;
}

void Picture::draw(QPainter& painter) const {
    if (!image_) return;
    // Only the larger set is ever scaled smoothly; a picture of window pixels (a listener's own
    // background) is drawn as it always was.
    if (image_->devicePixelRatio() != 1) painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), *image_);
}

const QImage& Picture::image() const {
    static const QImage none;
    return image_ ? *image_ : none;
}

QIcon Picture::icon() const {
    if (icon_) return *icon_;
    return image_ ? QIcon(QPixmap::fromImage(*image_)) : QIcon();
}

std::uint32_t Picture::handle() const {
    if (!image_) return 0;
    const auto handle =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(image_.get()) & 0x7FFFFFFF);
    handles()[handle] = *this;
    return handle;
}

Picture Picture::fromHandle(std::uint32_t handle) {
    auto found = handles().find(handle);
    return found == handles().end() ? Picture() : found->second;
}

Picture LoadPicture(const std::string& fileName) {
    // Read once from what was opened: only a regular file (a pipe or a device would block
    // the window), and no larger than a background can be.
    const int fd = openRegularFile(fileName);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) throw errors::fileNotFound();
        throw errors::invalidPicture();
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw errors::invalidPicture();
    }
    if (file.size() > kMaxBytes) throw errors::invalidPicture();
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !kPictureFormats.contains(reader.format()) || !size.isValid() ||
        size.width() > kMaxSide || size.height() > kMaxSide) {
        throw errors::invalidPicture();
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) throw errors::invalidPicture();

    Picture picture;
    picture.image_ = std::make_shared<const QImage>(std::move(image));
    picture.source_ = fileName;
    return picture;
}

}  // namespace platform
