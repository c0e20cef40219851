#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

    // The order a screen reader reads the window in; only the controls listed are offered to
    // it. Tab and Shift+Tab visit the buttons and links among them in the same order.
    void setReadingOrder(std::vector<Control*> controls);
    const std::vector<Control*>& readingOrder() const { return readingOrder_; }
    // A disabled form takes no input; enabled again, it gives the focus back to the control
    // that had it (the button that opened a window in front of it).
    void setEnabled(bool enabled);

    // The control that Escape presses, as a dialog's Close.
    void setCancelControl(Control& control) { cancel_ = &control; }

    Picture picture() const { return picture_; }
    void setPicture(const Picture& picture);

    FormWindowState WindowState() const;
    void setWindowState(FormWindowState state);
    void Show();
    void Hide();
    void PopupMenu(MenuItem& menu);
    bool Loaded() const { return loaded_; }

    // Runs when the form is unloaded, after its Unload handler and before its window goes:
    // what the form holds besides its controls goes with it (see Component).
    void atUnload(std::function<void()> release) { releases_.push_back(std::move(release)); }

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

    // Unloading destroys the window with every control's widget; a control without its widget
    // keeps its properties but shows nothing and raises no events.
    void destroyWindow();

    FormWidget* window_ = nullptr;
    std::vector<std::function<void()>> releases_;
    std::vector<Control*> readingOrder_;
    Control* cancel_ = nullptr;
    Picture picture_;
    Colour backColor_ = 0xC0C0C0;
    bool positioned_ = false;
    bool loaded_ = false;
};

// Something a form holds besides its controls, such as a media player: it lives from the
// form's creation until the form is unloaded, when it is destroyed with the form's controls.
template <class T>
class Component {
public:
    Component(Form& form, std::unique_ptr<T> object) : object_(std::move(object)) {
        form.atUnload([this] { object_.reset(); });
    }
    T* operator->() const { return object_.get(); }
    T* get() const { return object_.get(); }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    std::unique_ptr<T> object_;
};

// Runs the form's Load handler and then shows it. A form is loaded once: after its unload its
// window is gone.
void Load(Form& form);
// Runs the form's Unload handler; unless it cancels, the form's components, window and
// controls are destroyed. The program ends when no form is loaded any more.
void Unload(Form& form);

// The program's event loop: runs until no form is loaded, and returns at once when none is,
// for instance when the last one was unloaded while its Load handler was still running.
int RunUntilNoFormIsLoaded();

}  // namespace platform
