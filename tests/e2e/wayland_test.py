#!/usr/bin/python3
"""The player as a native Wayland client, with its tray icon on a D-Bus panel.

On a headless sway with a StatusNotifierWatcher on a private session bus: a station click plays;
the icon exports its menu (the five items, as a panel draws them) and its items work: Minimize
hides the window, Sound Down lowers the volume, and the icon's Activate brings the window back;
a second start brings a covered window to the front. On weston (nested in sway, for the title
bar Qt draws there), the title bar's minimise hides the window without the player knowing, and
Activate brings it back all the same. With no display at all, the program says why and ends.
"""

import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import WaylandDesktop  # noqa: E402
from player import Player  # noqa: E402
from processes import wait_until  # noqa: E402
from session_bus import SessionBus  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
FIRST_SOUND = 9.0  # the 5 s pre-buffer and room for a busy machine
WATCHER = [sys.executable, "-m", "dbusmock", "--session", "--template",
           os.path.join(HERE, "status_notifier_watcher.py")]
MENU = "com.canonical.dbusmenu"  # at /MenuBar of the icon's connection
NOWHERE = [("Nowhere", "http://127.0.0.1:1/", "Nowhere")]
TITLE_BAR = bytes([239, 239, 239])  # the grey of the title bars Qt draws on weston


def _tray_bus(session, name):
    """A session bus with a D-Bus panel (a StatusNotifierWatcher) on it."""
    bus = SessionBus(session.processes, session.folder, name=name)
    bus.start(name + "-watcher", WATCHER)
    wait_until(lambda: bus.run(_watcher_items(), check=False).startswith("("), 20, "the watcher")
    return bus


def _watcher_items():
    return ["gdbus", "call", "--session", "-d", "org.kde.StatusNotifierWatcher", "-o",
            "/StatusNotifierWatcher", "-m", "org.freedesktop.DBus.Properties.Get",
            "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"]


def _icon(bus):
    """The gdbus call prefix for the player's StatusNotifierItem, once it has registered."""
    item = wait_until(lambda: re.findall(r"'([^']+)'", bus.run(_watcher_items())), 20,
                      "the icon to register")[0]
    return ["gdbus", "call", "--session", "-d", item, "-o", "/StatusNotifierItem", "-m"]


def _menu_items(bus, icon):
    """(id, label) of the exported menu's entries, separators as "-", in order."""
    layout_text = bus.run(icon[:5] + ["-o", "/MenuBar", "-m", MENU + ".GetLayout", "--", "0", "-1",
                                      "@as []"])
    items = []
    for number, props in re.findall(r"<\((\d+), \{([^}]*)\}, @av \[\]\)>", layout_text):
        if "'separator'" in props:
            items.append((int(number), "-"))
        else:
            label = re.search(r"'label': <'([^']*)'>", props)
            items.append((int(number), label.group(1) if label else ""))
    return items


def _click_menu_item(bus, icon, items, label):
    number = next(n for n, text in items if text == label)
    bus.run(icon[:5] + ["-o", "/MenuBar", "-m", MENU + ".Event", str(number), "clicked",
                        "<0>", "0"])


def _settled_window(desktop):
    """The window on show once two looks in a row find it at the same place: sway may place a
    window it maps again a moment after it shows."""
    seen = []

    def settled():
        info = desktop.shown_window(layout.TITLE)
        seen.append(info and (info.left, info.top, info.width, info.height))
        return info if seen[-1] and seen[-2:] == [seen[-1]] * 2 else None

    return wait_until(settled, 10, "the window in its place", interval=0.2)


def sway_desktop(session):
    desktop = WaylandDesktop(session.processes, session.scratch("sway"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/a.mp3", 440)
    station.start()
    bus = _tray_bus(session, "bus")
    session.desktop, session.bus = desktop, bus
    session.recorder = sound.record()
    stations = [(f"Empty {k}", "none", "") for k in range(19)]
    stations[0] = ("A", station.url("/a.mp3"), "Station A")
    session.player = Player(session, desktop, stations,
                            env={**sound.client_variables(), **bus.variables()})
    session.player.wait_for_window()
    # A new window takes the focus once it is mapped where it stays.
    wait_until(lambda: desktop.focused() == layout.TITLE, 10, "the window to take the focus")
    window = session.player.wait_for_window()
    session.check("with no Qt platform named, the window opens as a Wayland client of sway",
                  True, window.name)
    station.wait_for_burst("/a.mp3")
    asked = time.monotonic()
    session.player.click(layout.slot(0))
    heard = session.recorder.wait_for_tone(440, asked, FIRST_SOUND)
    session.note(f"time to first tone: {heard - asked:.2f} s")
    session.player.shows_station("Station A")
    session.check("a station click plays its tone and names it", True)


def sharp_at_scale_2(session):
    """A desktop at the compositor's scale of 2 from the start: the skin is drawn from the larger
    pictures. (Qt 6.4 does not draw a window anew when the scale changes while it runs; the
    compositor blows up the old picture until the window is mapped again.)"""
    for scale in (1, 2):
        desktop = WaylandDesktop(session.processes, session.scratch(f"sway-{scale}"), scale=scale)
        player = Player(session, desktop, layout.sample_stations(), name=f"scale-{scale}")
        desktop.move_pointer(0, 0)

        def crop(rect, shot=None):
            window = player.wait_for_window()
            rect = (window.left + rect[0], window.top + rect[1], rect[2], rect[3])
            return (shot or desktop.screenshot()).crop(*(value * scale for value in rect))

        wait_until(lambda: crop(layout.PLAY).count(lambda r, g, b: g > 90 and r < 60), 10,
                   f"the play button at scale {scale}")
        shot = desktop.screenshot()
        if scale == 2:
            for what, rect in (("the play button", layout.PLAY),
                               ("the panel's edge", layout.PANEL_EDGE)):
                lost = crop(rect, shot).detail_lost_by_halving()
                session.check(f"at the compositor's scale 2 {what} is sharp, not blown up",
                              lost > layout.SHARP, f"{lost:.1%} of its pixels lost by halving")
        window = crop((0, 0, 467, 216), shot)
        window.save_png(os.path.join(session.folder, f"wayland-scale-{scale}.png"))
        session.update_docs(window, "wavelark-wayland.png" if scale == 1
                            else "wavelark@2x-wayland.png")
        session.processes.stop(player.process)


def the_exported_menu(session):
    desktop, bus, player = session.desktop, session.bus, session.player
    icon = _icon(bus)
    menu = bus.run(icon + ["org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem",
                           "Menu"])
    session.check("the icon names its exported menu", "/MenuBar" in menu, menu)
    items = _menu_items(bus, icon)
    labels = [label for _, label in items]
    session.check("the menu lists the five items and two separators, in order",
                  labels == ["_Show", "_Minimize", "-", "Sound Up", "Sound Down", "-", "_Exit"],
                  f"{labels}")

    bus.run(icon + ["org.kde.StatusNotifierItem.ContextMenu", "0", "0"])
    _click_menu_item(bus, icon, items, "_Minimize")
    wait_until(lambda: desktop.shown_window(layout.TITLE) is None, 10, "the window to hide")
    others = [info.name for info, _ in desktop.windows()]
    session.check("Minimize hides the window; ContextMenu opened no window of its own",
                  others == [], f"{others}")
    _click_menu_item(bus, icon, items, "Sound Down")
    bus.run(icon + ["org.kde.StatusNotifierItem.Activate", "0", "0"])
    wait_until(lambda: desktop.focused() == layout.TITLE, 10, "the window to take the focus")
    player.window = _settled_window(desktop)
    session.check("Activate brings it back, focused", True)
    player.shows_volume("27")
    session.check("Sound Down from the menu lowers the volume by its four steps", True)


def a_second_start_raises_a_covered_window(session):
    desktop, player = session.desktop, session.player
    before = player.crop(layout.VOLUME_READOUT)
    cover = session.processes.start("cover", ["weston-terminal"], env=desktop.env())
    wait_until(lambda: any(node.get("pid") == cover.pid for _, node in desktop.windows()), 20,
               "the covering window")
    desktop.swaymsg(f"[pid={cover.pid}] floating enable, resize set 1024 768, "
                    "move position 0 0, focus")
    wait_until(lambda: player.crop(layout.VOLUME_READOUT).differing_pixels(before) > 0, 10,
               "the cover over the window")
    second = Player(session, desktop, NOWHERE, env=session.bus.variables(), name="second")
    code = second.wait_for_exit(20)
    session.check("a second start ends with status 0", code == 0, f"exit code {code}")
    wait_until(lambda: desktop.focused() == layout.TITLE, 10, "the window to take the focus")
    player.window = _settled_window(desktop)
    wait_until(lambda: player.crop(layout.VOLUME_READOUT).differing_pixels(before) == 0, 10,
               "the window in front of the cover")
    session.check("and brings the covered window to the front, focused", True)
    session.processes.stop(cover)


def _title_bar(picture):
    """(left, top, right) of the first title bar Qt drew on the screen, or None."""
    run_of = TITLE_BAR * 200
    row_bytes = picture.width * 3
    for y in range(picture.height):
        row = bytes(picture.rgb[y * row_bytes:(y + 1) * row_bytes])
        start = row.find(run_of)
        while start >= 0 and start % 3:
            start = row.find(run_of, start + 1)
        if start >= 0:
            end = start
            while row[end:end + 3] == TITLE_BAR:
                end += 3
            return start // 3, y, end // 3
    return None


def title_bar_minimise_on_weston(session):
    """Wayland tells a window nothing of its minimising: the player sees no change, so this is
    the case of a desktop without a tray, and the icon brings the window back all the same."""
    desktop = session.desktop
    session.processes.stop(session.player.process)  # sway's own windows float above weston
    weston = desktop.start_weston()
    bus = _tray_bus(session, "weston-bus")
    Player(session, desktop, NOWHERE, env={**bus.variables(), "WAYLAND_DISPLAY": weston},
           name="on-weston")
    left, top, right = wait_until(lambda: _title_bar(desktop.screenshot()), 30,
                                  "the window's title bar on weston")
    desktop.click(right - 62, top + 12)  # the minimise button, left of maximise and close
    wait_until(lambda: _title_bar(desktop.screenshot()) is None, 10, "the window to go")
    session.check("the title bar's minimise takes the window off the screen", True)
    icon = _icon(bus)
    bus.run(icon + ["org.kde.StatusNotifierItem.Activate", "0", "0"])
    wait_until(lambda: _title_bar(desktop.screenshot()), 10, "the window to come back")
    session.check("and the icon's Activate brings it back", True)


def no_window_system(session):
    """With no display of any kind the program says so, where a user may see it, and ends."""
    bus = SessionBus(session.processes, session.folder, name="bare-bus")
    bus.start("notifications", [sys.executable, "-m", "dbusmock", "--session", "--template",
                                "notification_daemon"])
    wait_until(lambda: "org.freedesktop.Notifications" in bus.run(
        ["gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus",
         "-m", "org.freedesktop.DBus.ListNames"]), 20, "the notification service")
    bare = {**session.desktop.env(bus.variables()), "WAYLAND_DISPLAY": ""}
    result = subprocess.run([session.options.binary], env=bare, cwd=session.scratch("bare"),
                            capture_output=True, timeout=30)
    said = result.stderr.decode(errors="replace")
    session.check("it ends with status 1 and says why", result.returncode == 1 and
                  "no desktop to show a window on" in said, f"{result.returncode}: {said!r}")
    notified = wait_until(lambda: re.search(r'Notify "Wavelark" .*cannot open its window',
                                            session.processes.log("notifications")), 10,
                          "the notification")
    session.check("and in a desktop notification", bool(notified))


if __name__ == "__main__":
    run([sway_desktop, the_exported_menu, a_second_start_raises_a_covered_window,
         title_bar_minimise_on_weston, sharp_at_scale_2, no_window_system],
        tools=["sway", "swaymsg", "grim", "wtype", "weston", "weston-terminal", "dbus-daemon",
               "gdbus"], modules=["dbusmock"])
