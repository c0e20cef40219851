#include "platform/picture.h"

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <filesystem>
#include <map>

#include "platform/runtime_error.h"

namespace platform {

namespace {
// Anything larger than this is not a window background; refusing it keeps a hostile header
// from asking for gigabytes.
constexpr int kMaxSide = 8192;

std::map<std::uint32_t, Picture>& handles() {
    static std::map<std::uint32_t, Picture> table;
    return table;
}
}  // namespace

Picture Picture::fromResource(const std::string& path) {
    Picture picture;
    const QString name = QString::fromStdString(path);
    picture.image_ = std::make_shared<const QImage>(name);
    if (name.endsWith(".ico", Qt::CaseInsensitive))
        picture.icon_ = std::make_shared<const QIcon>(name);
    picture.source_ = path;
    return picture;
}

int Picture::widthPixels() const { return image_ ? image_->width() : 0; }
int Picture::heightPixels() const { return image_ ? image_->height() : 0; }

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
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status)) throw errors::fileNotFound();
    // Only regular files are read: a pipe or a device would block the window.
    if (!std::filesystem::is_regular_file(status)) throw errors::invalidPicture();

    QImageReader reader(QString::fromStdString(fileName));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.width() > kMaxSide ||
        size.height() > kMaxSide) {
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
