#!/usr/bin/python3
"""Minimising on a desktop without a notification area: the window must stay an ordinary
minimised window that can be brought back, since there is no icon to bring it back from."""

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


def minimise_without_a_tray(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    player = Player(session, desktop, [("Nowhere", "http://127.0.0.1:1/", "Nowhere")])
    window_id = player.wait_for_window().id

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

if __name__ == "__main__":
    run([minimise_without_a_tray])
