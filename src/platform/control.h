#pragma once

#include <cstdint>
#include <functional>

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

    ControlWidget* widget_ = nullptr;
    std::uint32_t handle_ = 0;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace platform
