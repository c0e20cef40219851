// The tray icon's mouse messages and hiding the window. The icon's messages arrive as mouse
// moves over the hidden Picture1 whose X carries the message number in pixels.
#include <cmath>
#include <limits>

#include "platform/notify_icon.h"
#include "platform/screen.h"
#include "player/form1.h"
#include "player/sys_tray_icon.h"

namespace {
// Rounded to the nearest whole number, halves to the even neighbour.
int mouseMessageOf(float x) {
    const float message = std::nearbyint(x / platform::Screen::TwipsPerPixelX());
    if (!std::isfinite(message) || std::fabs(message) > float(std::numeric_limits<int>::max() / 2))
        return 0;
    return static_cast<int>(message);
}
}  // namespace

void Form1::Picture1_MouseMove(const platform::MouseArgs& args) {
    const int message = mouseMessageOf(args.x);
    if (message == platform::WM_LBUTTONDOWN) {
        setWindowState(platform::FormWindowState::Normal);
        Show();
    } else if (message == platform::WM_RBUTTONUP) {
        PopupMenu(menuDatei);
    }
}

void Form1::menuOpen_Click() {
    setWindowState(platform::FormWindowState::Normal);
    Show();
}

void Form1::menuMini_Click() { Hide(); }

// Without an icon on show the window stays minimised on the taskbar: hidden, it could not come
// back.
void Form1::Form_Resize() {
    if (WindowState() == platform::FormWindowState::Minimized &&
        platform::NotifyIconOnShow(SysTrayIcon::TrayIconRecord))
        Hide();
}
