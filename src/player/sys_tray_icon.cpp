#include "player/sys_tray_icon.h"

namespace SysTrayIcon {

platform::NOTIFYICONDATA TrayIconRecord;

}  // namespace SysTrayIcon
