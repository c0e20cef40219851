"""A python-dbusmock template: the least of a StatusNotifierWatcher, a panel's D-Bus tray.

    python3 -m dbusmock --session --template tests/e2e/status_notifier_watcher.py -l log

Qt looks for the watcher's name and reads IsStatusNotifierHostRegistered through
introspection, which dbusmock answers with the properties below. Items register with the
name they answer on; the log (one line per call) is where a test finds it.
"""

import dbus

BUS_NAME = "org.kde.StatusNotifierWatcher"
MAIN_OBJ = "/StatusNotifierWatcher"
MAIN_IFACE = "org.kde.StatusNotifierWatcher"
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(
        MAIN_IFACE,
        {
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
            "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
        },
    )
    mock.AddMethods(
        MAIN_IFACE,
        [
            ("RegisterStatusNotifierItem", "s", "",
             f"self.Set('{MAIN_IFACE}', 'RegisteredStatusNotifierItems', "
             f"self.Get('{MAIN_IFACE}', 'RegisteredStatusNotifierItems') + [args[0]])"),
            ("RegisterStatusNotifierHost", "s", "", ""),
        ],
    )
