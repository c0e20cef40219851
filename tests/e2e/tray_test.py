#!/usr/bin/python3
"""The tray icon on a desktop with a notification area (trayer, XEmbed).

Minimising hides the window and leaves the icon; a left click on the icon brings the window back
in its place and size, every time; the right button's release (not its press) pops up the menu,
whose items act; Exit from the menu while the window is hidden ends the program; while the About
window is open (with a station playing) it ends the sound and the player window at once, and the
About window's Close then ends the program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import WaitTimeout, wait_until  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402

CYCLES = 10
# How long a held right button is watched for a menu that must not come. The player decides on
# the press at once; this is an observation period, not a wait for something to happen.
HOLD = 1.0
MENU = ["&Show", "&Minimize", "Sound Up", "Sound Down", "&Exit"]
TONE = 440
# The player's 5 s pre-buffer and room for a busy machine.
FIRST_SOUND = 9.0


def the_icon_appears(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    desktop.start_tray()
    # No station is ever tuned here: libmpv is not even loaded.
    player = Player(session, desktop, [("Nowhere", "http://127.0.0.1:1/", "Nowhere")])
    player.wait_for_window()
    icons = wait_until(desktop.tray_icons, 20, "the player's icon in the tray")
    session.check("one icon in the tray", len(icons) == 1, f"{len(icons)} icons")
    session.desktop, session.player = desktop, player


def _hidden(desktop, window_id):
    """Unmapped and withdrawn: not merely iconic, which a window manager could show again."""
    info = desktop.window_info(window_id)
    return info is not None and not info.mapped and desktop.wm_state(window_id) != "Iconic"


def _restored(desktop, window_id):
    info = desktop.window_info(window_id)
    if info is None or not info.viewable or desktop.wm_state(window_id) != "Normal":
        return None
    return info


def _place(desktop, window_id):
    info = desktop.window_info(window_id)
    return (info.left, info.top, info.width, info.height) if info else None


def _hide(session):
    desktop, window_id = session.desktop, session.player.window.id
    desktop.minimise(window_id)
    wait_until(lambda: _hidden(desktop, window_id), 10, "the minimised window to hide")


def minimise_and_restore_from_the_icon(session):
    desktop, window_id = session.desktop, session.player.window.id
    hidden = kept_icon = restored = placed = 0
    for cycle in range(CYCLES):
        try:
            _hide(session)
            hidden += 1
            icons = desktop.tray_icons()
            kept_icon += len(icons) == 1
            desktop.click_tray_icon(icons[0], 1)
            wait_until(lambda: _restored(desktop, window_id), 10, "the window to return")
            restored += 1
            # The window manager may animate the window on its way back.
            wait_until(lambda: _place(desktop, window_id) == layout.CLIENT, 5,
                       f"the window back at {layout.CLIENT}, last at {_place(desktop, window_id)}")
            placed += 1
        except WaitTimeout as timeout:
            print(f"  ..    cycle {cycle + 1}: {timeout}", flush=True)
            if _restored(desktop, window_id) is None:
                raise
    session.check("minimising hides the window", hidden == CYCLES, f"{hidden} of {CYCLES}")
    session.check("the icon stays while hidden", kept_icon == hidden, f"{kept_icon} of {hidden}")
    session.check("a left click on the icon brings it back", restored == CYCLES,
                  f"{restored} of {CYCLES}")
    session.check("back at 220,87 in 467 x 216", placed == restored, f"{placed} of {restored}")
    # Brought back, the window has the focus: the arrow keys reach it.
    desktop.key("Down")
    session.player.shows_volume("30")
    desktop.key("Up")
    session.player.shows_volume("31 Highest")
    session.check("the restored window takes the arrow keys", True)


def _choose(session, item):
    """Right-clicks the tray icon and clicks `item` in the menu that pops up; returns how many
    items the menu had. session.chosen_at is when the item was clicked."""
    desktop = session.desktop
    before = desktop.override_redirect_windows()
    desktop.click_tray_icon(desktop.tray_icons()[0], 3)
    menu = desktop.wait_for_popup(before)
    items = desktop.menu_items(menu)
    if len(items) == len(MENU):
        top, bottom = items[MENU.index(item)]
        desktop.hover(menu.left + menu.width // 2, (top + bottom) // 2)
        session.chosen_at = time.monotonic()
        desktop.press_button(1)
    else:
        desktop.key("Escape")
    wait_until(lambda: menu.id not in {w.id for w in desktop.override_redirect_windows()}, 10,
               "the menu to close")
    return len(items)


def the_menu_opens_on_release(session):
    desktop = session.desktop
    before = desktop.override_redirect_windows()
    desktop.move_pointer(*desktop.tray_icons()[0].centre())
    desktop.button_down(3)
    try:
        watched_until = time.monotonic() + HOLD
        popped = False
        while time.monotonic() < watched_until and not popped:
            popped = any(w.id not in {b.id for b in before} for w in desktop.override_redirect_windows())
            time.sleep(0.05)
        session.check("pressing and holding the right button shows nothing", not popped)
    finally:
        desktop.button_up(3)
    menu = desktop.wait_for_popup(before)
    session.check("releasing it shows the menu", True)
    desktop.key("Escape")
    wait_until(lambda: menu.id not in {w.id for w in desktop.override_redirect_windows()}, 10,
               "the menu to close")


def the_menu(session):
    desktop, player = session.desktop, session.player
    window_id = player.window.id
    items = _choose(session, "&Minimize")
    session.check(f"a right click pops up a menu of {len(MENU)} items", items == len(MENU),
                  f"{items} rows of text")
    wait_until(lambda: _hidden(desktop, window_id), 10, "the window to hide")
    session.check('"Minimize" hides the window', True)
    _choose(session, "&Show")
    wait_until(lambda: _restored(desktop, window_id), 10, "the window to return")
    wait_until(lambda: _place(desktop, window_id) == layout.CLIENT, 5, "the window in its place")
    session.check('"Show" brings it back in its place', True)
    # The menu moves the volume four steps at a time.
    _choose(session, "Sound Down")
    player.shows_volume("27")
    session.check('"Sound Down" lowers the volume four steps', True)
    _choose(session, "Sound Up")
    player.shows_volume("31 Highest")
    session.check('"Sound Up" raises it again', True)


def exit_from_the_menu_while_hidden(session):
    desktop, player = session.desktop, session.player
    _hide(session)
    _choose(session, "&Exit")
    code = player.wait_for_exit(15)
    session.check("Exit ends the program", code == 0, f"exit code {code}")
    gone = wait_until(lambda: not desktop.tray_icons(), 10, "the icon to leave the tray")
    session.check("the icon is gone from the tray", gone)

def exit_while_the_about_window_is_open(session):
    """With a station playing and the About window open, the window manager's close on the
    disabled player window does nothing; Exit unloads the player window only: the sound stops at
    once and the icon and the window go, while the About window stays until its own Close, which
    then ends the program as the last window goes."""
    desktop = session.desktop
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/tone.mp3", TONE)
    station.start()
    station.wait_for_burst("/tone.mp3")
    recorder = sound.record()
    player = Player(session, desktop, [("Tone", station.url("/tone.mp3"), "Tone")],
                    env=sound.client_variables(), name="wavelark-about")
    player.wait_for_window()
    wait_until(desktop.tray_icons, 20, "the player's icon in the tray")
    player.hover(layout.slot(0))
    clicked = time.monotonic()
    desktop.press_button(1)
    recorder.wait_for_tone(TONE, clicked, FIRST_SOUND)
    player.click(layout.ABOUT_LABEL)
    about = desktop.wait_for_window(layout.ABOUT_TITLE, 15)
    session.player = player

    desktop.activate(player.window.id)
    desktop.key("alt+F4")
    closed = time.monotonic()
    level = recorder.tone_level(TONE, closed + 0.5, closed + 1.5)
    info = player.info()
    session.check("the window manager's close on the disabled window does nothing",
                  player.process.poll() is None and bool(info and info.viewable))
    session.check("and the station plays on", level > -30, f"{level:.1f} dBFS")

    _choose(session, "&Exit")
    chosen = session.chosen_at
    quiet = recorder.wait_for_silence(chosen, 5)
    session.check("Exit with the About window open stops the sound within a second",
                  quiet - chosen <= 1.0, f"silent after {max(0.0, quiet - chosen):.2f} s")
    gone = wait_until(lambda: not desktop.tray_icons(), 10, "the icon to leave the tray")
    session.check("and takes the icon away", gone)
    session.check("and destroys the player window",
                  wait_until(lambda: not desktop.find_windows(layout.TITLE), 10,
                             "the player window to go"))
    left = desktop.window_info(about.id)
    session.check("the About window stays until its own Close", bool(left and left.viewable))
    player.click(layout.ABOUT_CLOSE, window=about)
    code = player.wait_for_exit(10)
    session.check("its Close then ends the program", code == 0, f"exit code {code}")


if __name__ == "__main__":
    run(
        [
            the_icon_appears,
            minimise_and_restore_from_the_icon,
            the_menu_opens_on_release,
            the_menu,
            exit_from_the_menu_while_hidden,
            exit_while_the_about_window_is_open,
        ]
    )
