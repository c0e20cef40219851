#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;
class QPainter;

namespace platform {

class ControlWidget;

// Mouse arguments as handlers receive them: button and shift state, position in twips.
struct MouseArgs {
    int button = 0;
    int shift = 0;
    float x = 0;
    float y = 0;
};

// What a control is to an assistive technology (a screen reader). A control without a role is
// not offered to it at all, nor is a button or link without a name. A form is a frame unless
// its role is Dialog.
enum class AccessibleRole { None, PushButton, Link, Text, StatusBar, Dialog };

enum class DragAction { Cancel = 0, Begin = 1, End = 2 };
enum class DragState { Enter = 0, Leave = 1, Over = 2 };

// Base of every control: a place in twips inside its container, visibility, enablement and the
// mouse events. Mouse events go only to the control under the pointer; a control without a
// handler swallows them, so its container never sees them.
class Control {
public:
    explicit Control(Control* container);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Left, Top, Width, Height in twips (15 twips to the pixel at 96 dpi).
    void Move(int left, int top, int width, int height);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    bool Visible() const;
    void setVisible(bool visible);
    bool Enabled() const;
    void setEnabled(bool enabled);

    // Brings the control in front of its siblings; design code calls it back to front.
    void ZOrder();

    // Manual drag: Begin turns later pointer moves into DragOver on the control under the
    // pointer and a button release into DragDrop there; End drops where the pointer is.
    void Drag(DragAction action);

    std::function<void(const MouseArgs&)> MouseMove;
    std::function<void()> Click;
    std::function<void(Control& source, float x, float y, DragState state)> DragOver;
    std::function<void(Control& source, float x, float y)> DragDrop;

    // What a screen reader is told. The name is fixed, or read from the window's state each
    // time it is asked and after every handler (a name that follows a toggle); without one, a
    // label is named by its caption.
    AccessibleRole accessibleRole() const { return role_; }
    void setAccessibleRole(AccessibleRole role);
    void setAccessibleName(const std::string& name);
    void setAccessibleName(std::function<std::string()> name);
    // A skin button whose highlighted copy takes the mouse's click: pressing the button from
    // the keyboard or a screen reader clicks that copy, since that is what a click does.
    void setPressTarget(Control& target) { pressTarget_ = &target; }

    std::string accessibleName() const;
    // What a screen reader reads besides the name, when asked.
    virtual std::string accessibleDescription() const { return {}; }
    // Offered to assistive technologies and, when it can be pressed, a stop of the Tab key.
    bool offered() const;
    bool pressable() const;
    // Runs the handler a click would run, through the same dispatch as the mouse.
    void Press();
    // Tells a listening screen reader when the name changed, and makes a pressable control a
    // Tab stop exactly while it is offered.
    void accessibleNameMayHaveChanged();
    // Checks every control's name after a handler ran, for names that follow the state.
    static void announceChangedNames();

    // A small number that names this control's window, as handles do on other platforms.
    std::uint32_t hWnd() const { return handle_; }
    static Control* fromHandle(std::uint32_t handle);

    QWidget* widget() const;

protected:
    // Controls that are top-level windows create their own widget.
    struct TopLevel {};
    explicit Control(TopLevel);
    void adopt(ControlWidget* widget);
    virtual void paint(QPainter& painter);
    void repaint();

private:
    friend class ControlWidget;
    void init(QWidget* parent);

    virtual std::string defaultAccessibleName() const { return {}; }

    ControlWidget* widget_ = nullptr;
    AccessibleRole role_ = AccessibleRole::None;
    std::function<std::string()> name_;
    // The name the screen reader was last told; none before it first asked.
    std::optional<std::string> announcedName_;
    Control* pressTarget_ = nullptr;
    std::uint32_t handle_ = 0;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace platform
