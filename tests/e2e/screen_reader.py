"""What a screen reader sees: the player's accessible objects and events over AT-SPI, read with
pyatspi in the test's own process, as Orca reads them.

    address = bus.start_accessibility(desktop.env())
    reader = ScreenReader(bus, desktop, address)
    window = reader.window(TITLE)
    reader.dump(window)          # ["frame 'Skyvane Wavelark Player'", "  push button 'A' [Press]"...]
    reader.press(button)         # its Press action
    reader.wait_for_name_change(lambda name: name == "Station A", 10, "the station readout")
"""

import os
import time

from processes import wait_until


class ScreenReader:
    def __init__(self, bus, desktop, address):
        # libatspi reads where the buses are when it is first loaded.
        os.environ.update({**bus.variables(), "DISPLAY": desktop.display,
                           "AT_SPI_BUS_ADDRESS": address})
        import pyatspi
        from gi.repository import GLib

        self.pyatspi = pyatspi
        self._context = GLib.MainContext.default()
        self.name_changes = []  # (source's role name, new name, when)
        pyatspi.Registry.registerEventListener(self._name_changed,
                                               "object:property-change:accessible-name")

    def _name_changed(self, event):
        # Qt sends the object itself, not its new name, with the event: ask for the name.
        self.name_changes.append((event.source.getRoleName(), event.source.name,
                                  time.monotonic()))

    def pump(self):
        """Lets the events that arrived reach their listeners."""
        while self._context.iteration(False):
            pass

    def wait_until(self, condition, timeout, what):
        """A bounded wait that keeps the events flowing."""

        def pumped():
            self.pump()
            return condition()

        return wait_until(pumped, timeout, what)

    def window(self, title, timeout=20):
        """The top-level accessible object titled `title`, once an application offers it."""

        def find():
            desktop = self.pyatspi.Registry.getDesktop(0)
            for app in desktop:
                for frame in app or []:
                    if frame is not None and frame.name == title:
                        return frame
            return None

        return self.wait_until(find, timeout, f"the accessible window {title!r}")

    def children(self, accessible):
        return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]

    def actions(self, accessible):
        try:
            action = accessible.queryAction()
        except NotImplementedError:
            return []
        return [action.getName(i) for i in range(action.nActions)]

    def press(self, accessible):
        action = accessible.queryAction()
        names = [action.getName(i).lower() for i in range(action.nActions)]
        action.doAction(names.index("press"))

    def focused(self, accessible):
        return accessible.getState().contains(self.pyatspi.STATE_FOCUSED)

    def dump(self, accessible, depth=0):
        """The tree as lines: role, name, description and actions, indented by depth."""
        line = f"{'  ' * depth}{accessible.getRoleName()} {accessible.name!r}"
        if accessible.description:
            line += f" ({accessible.description})"
        actions = self.actions(accessible)
        if actions:
            line += f" [{', '.join(actions)}]"
        lines = [line]
        for child in self.children(accessible):
            lines += self.dump(child, depth + 1)
        return lines

    def wait_for_name_change(self, condition, since, timeout, what):
        """The first name change after `since` whose new name satisfies condition."""

        def seen():
            return next((change for change in self.name_changes
                         if change[2] >= since and condition(change[1])), None)

        return self.wait_until(seen, timeout, what)
