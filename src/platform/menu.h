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
    explicit MenuItem(std::string caption) : Caption(std::move(caption)) {}
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    void add(MenuItem& item) { items_.push_back(&item); }
    const std::vector<MenuItem*>& items() const { return items_; }

    std::string Caption;
    bool Visible = true;
    bool Enabled = true;
    std::function<void()> Click;

    // The popup of this menu's items, owned by parent.
    QMenu* buildPopup(QWidget* parent);

private:
    std::vector<MenuItem*> items_;
};

}  // namespace platform
