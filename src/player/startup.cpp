// Start-up and shutdown of the player window.
#include <algorithm>
#include <cstring>

#include "platform/file_system.h"
#include "platform/picture.h"
#include "player/form1.h"
#include "player/sys_tray_icon.h"

using SysTrayIcon::TrayIconRecord;

namespace {
// The tip field holds the title, one NUL (the shell shows the text up to it), then spaces.
void fillTip(char (&tip)[64], const char* title) {
    std::fill(std::begin(tip), std::end(tip), ' ');
    const std::size_t length = std::min(std::strlen(title), sizeof tip - 1);
    std::memcpy(tip, title, length);
    tip[length] = '\0';
}
}  // namespace

void Form1::Form_Load() {
    setWindowState(platform::FormWindowState::Normal);

    TrayIconRecord.cbSize = sizeof TrayIconRecord;
    TrayIconRecord.hWnd = Picture1.hWnd();
    TrayIconRecord.uID = 1;
    TrayIconRecord.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
    TrayIconRecord.uCallbackMessage = platform::WM_MOUSEMOVE;
    TrayIconRecord.hIcon = Picture1.picture().handle();
    fillTip(TrayIconRecord.szTip, kTitle);
    platform::Shell_NotifyIcon(platform::NIM_ADD, TrayIconRecord);

    TuneStation(NoStationIndex, NoStationIndex);

    if (platform::FileExists("backgr.jpg")) setPicture(platform::LoadPicture("backgr.jpg"));
}

void Form1::Form_Unload(int&) { platform::Shell_NotifyIcon(platform::NIM_DELETE, TrayIconRecord); }

void Form1::menuExit_Click() { platform::Unload(*this); }
