#!/usr/bin/python3
"""The player on a plain desktop, without a notification area.

Minimising must leave an ordinary minimised window that can be brought back, since there is no
icon to bring it back from. A damaged station file shows the program's message before the
window, and the window follows once the message is dismissed.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import WaitTimeout, wait_until  # noqa: E402
from suite import run  # noqa: E402

# How long a minimised window is watched for going away. The player decides right after the
# state change; this is an observation period, not a wait for something to happen.
WATCH = 1.5
# The message box carries the program's name.
MESSAGE_TITLE = "Wavelark"


def minimise_without_a_tray(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    player = Player(session, desktop, [("Nowhere", "http://127.0.0.1:1/", "Nowhere")])
    window_id = player.wait_for_window().id
    session.desktop = desktop

    desktop.minimise(window_id)
    wait_until(lambda: desktop.wm_state(window_id) == "Iconic", 10, "the window to be iconic")
    states = set()
    watched_until = time.monotonic() + WATCH
    while time.monotonic() < watched_until:
        states.add(desktop.wm_state(window_id))
        time.sleep(0.05)
    session.check("minimising leaves an iconic window", states == {"Iconic"}, f"states {states}")

    # A taskbar would ask the window manager to activate the window.
    desktop.activate(window_id)

    # openbox animates the restore, so the window may pass other places on its way back.
    seen = []

    def back_in_place():
        info = desktop.window_info(window_id)
        if info is None or not info.viewable or desktop.wm_state(window_id) != "Normal":
            return False
        seen.append((info.left, info.top, info.width, info.height))
        return seen[-1] == layout.CLIENT

    try:
        wait_until(back_in_place, 10, "the window to come back in its place")
        session.check("it comes back in its place and size", True)
    except WaitTimeout:
        session.check("it comes back in its place and size", False,
                      f"last seen at {seen[-1] if seen else 'nowhere'}")
    session.processes.stop(player.process)

def a_damaged_station_file(session):
    desktop = session.desktop
    # One comma only: the line, and so the file, is damaged.
    player = Player(session, desktop, "Tone,http://127.0.0.1:1/\r\n", name="damaged")
    message = desktop.wait_for_window(MESSAGE_TITLE, 30)
    session.check("the message comes first", player.window_on_show() is None)
    desktop.activate(message.id)
    desktop.key("Return")
    player.wait_for_window()
    session.check("the window follows once the message is dismissed", True)
    gone = desktop.window_info(message.id)
    session.check("and the message is gone", gone is None or not gone.viewable)


if __name__ == "__main__":
    run([minimise_without_a_tray, a_damaged_station_file])
