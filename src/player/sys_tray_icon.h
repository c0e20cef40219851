#pragma once

#include "platform/notify_icon.h"

namespace SysTrayIcon {

// The program's one notification-icon record: filled once at start-up, then used unchanged to
// add the icon and to delete it at shutdown.
extern platform::NOTIFYICONDATA TrayIconRecord;

}  // namespace SysTrayIcon
