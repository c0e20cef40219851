#pragma once

#include <functional>
#include <string>

#include "platform/colour.h"
#include "platform/control.h"
#include "platform/menu.h"
#include "platform/picture.h"

namespace platform {

// A form's window state. The numbers are fixed: 0 normal, 1 minimised, as handlers set them.
enum class FormWindowState { Normal = 0, Minimized = 1 };

class FormWidget;

enum class BorderStyle { None = 0, FixedSingle = 1 };

// A top-level window with a fixed client size, a back colour and a background picture drawn
// unscaled from the top-left corner.
class Form : public Control {
public:
    Form();
    ~Form() override;

    // Design settings.
    void setCaption(const std::string& caption);
    void setBorderStyle(BorderStyle style);
    void setClientSize(int widthTwips, int heightTwips);
    // The client area's top-left corner on the screen, in twips; without it the window is centred.
    void setStartPosition(int leftTwips, int topTwips);
    void setBackColor(Colour colour);
    void setIcon(const Picture& icon);
    // With key preview on, KeyDown sees every key before the control with the focus.
    bool KeyPreview = false;

    Picture picture() const { return picture_; }
    void setPicture(const Picture& picture);

    FormWindowState WindowState() const;
    void setWindowState(FormWindowState state);
    void Show();
    void Hide();
    void PopupMenu(MenuItem& menu);
    bool Loaded() const { return loaded_; }

    std::function<void()> Load;
    std::function<void(int& cancel)> Unload;
    std::function<void()> Resize;
    std::function<void(int& keyCode, int shift)> KeyDown;

protected:
    void paint(QPainter& painter) override;

private:
    friend void Load(Form& form);
    friend void Unload(Form& form);
    friend class FormWidget;
    friend class KeyPreviewFilter;

    FormWidget* window_ = nullptr;
    Picture picture_;
    Colour backColor_ = 0xC0C0C0;
    bool positioned_ = false;
    bool loaded_ = false;
};

// Runs the form's Load handler and then shows it.
void Load(Form& form);
// Runs the form's Unload handler; unless it cancels, the window goes away. The program ends
// when no form is loaded any more.
void Unload(Form& form);

}  // namespace platform
