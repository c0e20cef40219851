#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class MenuItem;

// The notification-icon record, laid out as the shell's 88-byte version with a 64-character
// tip: six 32-bit numbers, then the tip in single-byte characters.
struct NOTIFYICONDATA {
    std::int32_t cbSize = 0;
    std::uint32_t hWnd = 0;
    std::int32_t uID = 0;
    std::int32_t uFlags = 0;
    std::int32_t uCallbackMessage = 0;
    std::uint32_t hIcon = 0;
    char szTip[64] = {};
};
static_assert(sizeof(NOTIFYICONDATA) == 88);

inline constexpr int NIM_ADD = 0;
inline constexpr int NIM_MODIFY = 1;
inline constexpr int NIM_DELETE = 2;
inline constexpr int NIF_MESSAGE = 1;
inline constexpr int NIF_ICON = 2;
inline constexpr int NIF_TIP = 4;

// Mouse messages as the icon reports them through its callback.
inline constexpr int WM_MOUSEMOVE = 0x200;
inline constexpr int WM_LBUTTONDOWN = 0x201;
inline constexpr int WM_LBUTTONDBLCLK = 0x203;
inline constexpr int WM_RBUTTONUP = 0x205;
inline constexpr int WM_MBUTTONDOWN = 0x207;

// Adds, changes or deletes a notification-area icon. The icon's mouse events reach the window
// named by hWnd as its callback message; with WM_MOUSEMOVE that is a MouseMove whose X is the
// mouse message times the screen's twips per pixel. Returns whether the shell took the request.
bool Shell_NotifyIcon(int message, const NOTIFYICONDATA& data);

// A D-Bus notification area (StatusNotifierItem) draws the icon's menu itself, next to the
// icon, from a copy the icon exports. This names that menu for the icons of window hWnd; its
// items run their Click as they do from the popup. An XEmbed area has no such thing: there the
// icon's message pops the window's menu up as before.
void setNotifyIconMenu(std::uint32_t hWnd, MenuItem& menu);

// Whether the icon is on show in a notification area right now.
bool NotifyIconOnShow(const NOTIFYICONDATA& data);

// What the desktop shows, for tests that have no notification area.
struct NotifyIconState {
    std::uint32_t hWnd;
    int uID;
    std::string tip;
    bool hasIcon;
};
std::vector<NotifyIconState> notifyIcons();

// Tests on a display without a notification area pretend to have one (or not); nullopt asks
// the desktop again.
void assumeNotificationArea(std::optional<bool> present);

// Delivers a click on an icon through the same path as the desktop's notification area.
enum class TrayClick { LeftPress, DoubleClick, RightClick, MiddleClick };
void simulateTrayClick(std::uint32_t hWnd, int uID, TrayClick click);

}  // namespace platform
