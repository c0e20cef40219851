#!/usr/bin/python3
"""The tray icon on a desktop with a notification area (trayer, XEmbed).

Minimising hides the window and leaves the icon; a left click on the icon brings the window back
in its place and size, every time; a right click pops up the menu, whose items act; Exit from the
menu while the window is hidden ends the program and takes the icon away.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import WaitTimeout, wait_until  # noqa: E402
from suite import run  # noqa: E402

CYCLES = 10
MENU = ["&Show", "&Minimize", "Sound Up", "Sound Down", "&Exit"]


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
    items the menu had."""
    desktop = session.desktop
    before = desktop.override_redirect_windows()
    desktop.click_tray_icon(desktop.tray_icons()[0], 3)
    menu = desktop.wait_for_popup(before)
    items = desktop.menu_items(menu)
    if len(items) == len(MENU):
        top, bottom = items[MENU.index(item)]
        desktop.hover(menu.left + menu.width // 2, (top + bottom) // 2)
        desktop.press_button(1)
    else:
        desktop.key("Escape")
    wait_until(lambda: menu.id not in {w.id for w in desktop.override_redirect_windows()}, 10,
               "the menu to close")
    return len(items)


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
    """Exit unloads the player window only: the About window stays until its own Close, which
    then ends the program as the last window goes."""
    desktop = session.desktop
    player = Player(session, desktop, [("Nowhere", "http://127.0.0.1:1/", "Nowhere")],
                    name="wavelark-about")
    player.wait_for_window()
    wait_until(desktop.tray_icons, 20, "the player's icon in the tray")
    player.click(layout.ABOUT_LABEL)
    about = desktop.wait_for_window(layout.ABOUT_TITLE, 15)
    session.player = player
    _choose(session, "&Exit")
    gone = wait_until(lambda: not desktop.tray_icons(), 10, "the icon to leave the tray")
    session.check("Exit with the About window open takes the icon away", gone)
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
            the_menu,
            exit_from_the_menu_while_hidden,
            exit_while_the_about_window_is_open,
        ]
    )
