#!/usr/bin/python3
"""The player on a plain desktop, without a notification area.

Minimising must leave an ordinary minimised window that can be brought back, since there is no
icon to bring it back from. A damaged station file shows the program's message before the
window, and the window follows once the message is dismissed. At a scale of 2 the window is
twice the size and its pictures are sharp, and the window manager gets the icon in every size.
With WAVELARK_UPDATE_SCREENSHOTS=1 the window at scale 1 and 2 is saved to --docs.
"""

import os
import re
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
# Room for the window at a scale of 2 (934 x 432 at 440,174).
SCREEN = (1600, 900)


def minimise_without_a_tray(session):
    desktop = Desktop(session.processes, session.scratch("desktop"), SCREEN)
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
    session.processes.stop(player.process)


def sharp_at_every_scale(session):
    desktop = session.desktop
    for scale in (1, 2):
        player = Player(session, desktop, layout.sample_stations(),
                        env={"QT_SCALE_FACTOR": str(scale)}, name=f"scale-{scale}")
        window = player.wait_for_window()
        size = (window.width, window.height)
        session.check(f"at scale {scale} the window is {scale} times 467 x 216",
                      size == (467 * scale, 216 * scale), f"{size}")

        def scaled(rect):
            return tuple(value * scale for value in rect)

        desktop.move_pointer(0, 0)
        # Drawn once the play button's green is on show.
        desktop.wait_for_picture(player.screen_rect(scaled(layout.PLAY)),
                                 lambda crop: crop.count(lambda r, g, b: g > 90 and r < 60), 10,
                                 "the play button")
        if scale == 1:
            # (At scale 2 Qt hands over each size at twice its pixels.)
            icon = desktop.property(window.id, "_NET_WM_ICON", length=1 << 22)
            sizes = [int(found) for found in re.findall(r"Icon \((\d+) x \1\)", icon)]
            session.check("the window manager gets the icon at 16 to 256 pixels",
                          sorted(sizes) == [16, 32, 48, 64, 128, 256], f"{sizes}")
        else:
            for what, rect in (("the play button", layout.PLAY),
                               ("the panel's edge", layout.PANEL_EDGE)):
                crop = player.crop(scaled(rect))
                lost = crop.detail_lost_by_halving()
                session.check(f"at scale 2 {what} is sharp, not blown up", lost > layout.SHARP,
                              f"{lost:.1%} of its pixels lost by halving")
        shot = player.crop((0, 0, *size))
        shot.save_png(os.path.join(session.folder, f"scale-{scale}.png"))
        session.update_docs(shot, "wavelark-x11.png" if scale == 1 else "wavelark@2x-x11.png")
        session.processes.stop(player.process)


if __name__ == "__main__":
    run([minimise_without_a_tray, a_damaged_station_file, sharp_at_every_scale])
