#pragma once

#include <cstdint>
#include <memory>
#include <string>

class QImage;
class QIcon;
class QPainter;

namespace platform {

// A loaded picture: a bitmap, or an icon with several images. Copies share the pixels.
class Picture {
public:
    Picture() = default;
    static Picture fromResource(const std::string& path);

    bool empty() const { return !image_; }
    // The size in window pixels; the image may hold more device pixels.
    int widthPixels() const;
    int heightPixels() const;
    // Draws the picture unscaled (in window pixels) at the painter's origin.
    void draw(QPainter& painter) const;
    const QImage& image() const;
    QIcon icon() const;
    // A small number that names this picture, as icon handles do on other platforms.
    std::uint32_t handle() const;
    static Picture fromHandle(std::uint32_t handle);

private:
    friend Picture LoadPicture(const std::string& fileName);
    std::shared_ptr<const QImage> image_;
    std::shared_ptr<const QIcon> icon_;
    std::string source_;
};

// Loads a picture file. Fails with 53 "File not found" when there is no such file and with
// 481 "Invalid picture" when it is not a picture, is absurdly large, or cannot be decoded.
Picture LoadPicture(const std::string& fileName);

}  // namespace platform
