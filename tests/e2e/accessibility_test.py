#!/usr/bin/python3
"""The player as a screen-reader user and a keyboard-only user meet it.

On a private session bus with the AT-SPI accessibility bus switched on, the window offers its 19
stations and five skin buttons as named push buttons; pressing a station through its Press
action plays its tone and announces the new station and "Playing"; Tab and Space tune a station
without a pointer. The main window's and the About window's trees are printed as a screen
reader reads them.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import ABOUT_TITLE, TITLE, Player  # noqa: E402
from screen_reader import ScreenReader  # noqa: E402
from session_bus import AT_SPI_BUS_LAUNCHER, SessionBus  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402

FIRST_SOUND = 9.0  # the 5 s pre-buffer and room for a busy machine
BUTTONS = ["Play", "Stop", "Volume down", "Mute", "Volume up"]


def _stations(station):
    lines = [(f"Empty {k}", "none", "") for k in range(19)]
    lines[0] = ("Tone A", station.url("/a.mp3"), "Station A")
    lines[1] = ("Tone B", station.url("/b.mp3"), "Station B")
    return lines


def _print(title, lines):
    print(f"  --- {title} as a screen reader reads it ---")
    for line in lines:
        print(f"  | {line}")


def a_screen_reader_reads_and_presses(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/a.mp3", 440)
    station.add_mount("/b.mp3", 660)
    station.start()
    bus = SessionBus(session.processes, session.folder)
    address = bus.start_accessibility(desktop.env())
    session.recorder = sound.record()
    stations = _stations(station)
    session.player = Player(session, desktop, stations,
                            env={**sound.client_variables(), **bus.variables()})
    session.player.wait_for_window()
    reader = session.reader = ScreenReader(bus, desktop, address)
    window = session.window = reader.window(TITLE)

    children = reader.children(window)
    seen = [(child.getRoleName(), child.name) for child in children]
    buttons = [name for role, name in seen if role == "push button"]
    session.check("19 named push buttons in slot order, the five buttons and About",
                  buttons == [caption for caption, _, _ in stations] + BUTTONS + ["About"],
                  buttons)
    session.check("the readouts are labels and the strip a status bar",
                  ("label", "None") in seen and ("label", "31 Highest") in seen
                  and [role for role, _ in seen].count("status bar") == 1, seen)

    station.wait_for_burst("/b.mp3")
    pressed = time.monotonic()
    reader.press(children[1])
    session.recorder.wait_for_tone(660, pressed, FIRST_SOUND)
    session.check("Press on slot 2 plays its tone at the sink", True)
    reader.wait_for_name_change(lambda name: name == "Station B", pressed, 10,
                                "the station readout's name change")
    session.check("the station readout announces the station", True)
    reader.wait_for_name_change(lambda name: name.startswith("Playing"), pressed, 15,
                                "the strip's name change to Playing")
    session.check("the strip announces Playing", True)
    buffering = [name for _, name, when in reader.name_changes
                 if when >= pressed and name.startswith("Buffering")]
    session.check("buffering is announced without its count",
                  all(name == "Buffering" for name in buffering), buffering)
    mute = children[19 + BUTTONS.index("Mute")]
    for name in ("Unmute", "Mute"):
        asked = time.monotonic()
        reader.press(mute)
        reader.wait_for_name_change(lambda seen, name=name: seen == name, asked, 10, name)
    session.check("Mute announces its new name, Unmute, and back", True)
    _print("the main window", reader.dump(window))


def the_keyboard_alone_tunes_a_station(session):
    desktop, reader, window = session.player.desktop, session.reader, session.window
    desktop.activate(session.player.window.id)
    left, top, width, height = session.player.screen_rect(layout.slot(0))
    around = (left - 3, top - 3, width + 6, height + 6)
    before = desktop.screenshot().crop(*around)
    desktop.key("Tab")
    first = reader.children(window)[0]
    reader.wait_until(lambda: reader.focused(first), 10, "Tab to reach the first station")
    session.check("the first Tab reaches the first station", True)
    marked = desktop.wait_for_change(around, before, 10, "the focus mark")
    marked.save_png(os.path.join(session.folder, "focus_mark.png"))
    session.check("and marks it", True)
    asked = time.monotonic()
    desktop.key("space")
    session.recorder.wait_for_tone(440, asked, FIRST_SOUND)
    reader.wait_for_name_change(lambda name: name == "Station A", asked, 10, "the new station")
    session.check("Space tunes it: its tone plays and the readout names it", True)


def the_about_window_reads_and_escape_closes_it(session):
    desktop, reader, window = session.player.desktop, session.reader, session.window
    reader.press(reader.children(window)[-1])
    about = reader.window(ABOUT_TITLE)
    seen = [(child.getRoleName(), child.name) for child in reader.children(about)]
    session.check("About offers its texts, two links and Close",
                  [role for role, _ in seen][-3:] == ["link", "link", "push button"]
                  and seen[-1][1] == "Close", seen)
    _print("the About window", reader.dump(about))
    desktop.activate(desktop.wait_for_window(ABOUT_TITLE).id)
    desktop.key("Escape")
    reader.wait_until(lambda: not desktop.find_windows(ABOUT_TITLE), 10, "About to close")
    session.check("Escape closes About", True)


if __name__ == "__main__":
    run([a_screen_reader_reads_and_presses, the_keyboard_alone_tunes_a_station,
         the_about_window_reads_and_escape_closes_it],
        tools=["dbus-daemon", "gdbus", AT_SPI_BUS_LAUNCHER], modules=["pyatspi"])
