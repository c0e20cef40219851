#pragma once

#include <functional>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace platform {

// A menu or menu item. "&" marks the access key; a caption of a single "-" is a separator.
// A top-level menu that is not visible gives the window no menu bar and serves as a popup.
class MenuItem {
public:
    explicit MenuItem(std::string caption) : caption_(std::move(caption)) {}
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    void add(MenuItem& item) { items_.push_back(&item); }
    const std::vector<MenuItem*>& items() const { return items_; }

    const std::string& Caption() const { return caption_; }
    void setCaption(std::string caption) { caption_ = std::move(caption); }
    bool Visible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    std::function<void()> Click;

    // The popup of this menu's items, owned by parent.
    QMenu* buildPopup(QWidget* parent);

private:
    std::string caption_;
    bool visible_ = true;
    bool enabled_ = true;
    std::vector<MenuItem*> items_;
};

}  // namespace platform
