#!/usr/bin/python3
"""The player as a blind listener meets it, with the real screen reader.

Orca runs on a private session bus with the AT-SPI accessibility bus and speech-dispatcher's
dummy module; what it says is read from its debug log. The listener opens the window, tunes a
station that fails, turns the volume down, mutes and unmutes, opens About and leaves it with
Escape, and tunes a station that plays, all from the keyboard; every utterance is printed. A
pyatspi reader in the test checks only what Orca does not say: the tree it reads, with a name
and a Press action on every button.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import ABOUT_TITLE, TITLE, Player  # noqa: E402
from processes import free_port  # noqa: E402
from screen_reader import Orca, ScreenReader  # noqa: E402
from session_bus import AT_SPI_BUS_LAUNCHER, SessionBus  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402

FIRST_SOUND = 9.0  # the 5 s pre-buffer and room for a busy machine
SPEECH = 10.0  # Orca speaks within a fraction of a second; room for a busy machine
BUTTONS = ["Play", "Stop", "Volume down", "Mute", "Volume up", "About"]


def _stations(station):
    lines = [("", "", "") for _ in range(19)]
    lines[0] = ("Tone A", station.url("/a.mp3"), "Station A")
    lines[1] = ("Tone B", f"http://127.0.0.1:{free_port()}/b.mp3", "Station B")
    return lines


def _print(title, lines):
    print(f"  --- {title} ---")
    for line in lines:
        print(f"  | {line}")


def _says(session, what, expected):
    """Waits for Orca to say `expected` (a string, or a test of the utterance) since the last
    key and counts it as a check."""
    test = expected if callable(expected) else (lambda said: said == expected)
    said = session.orca.wait_for_speech(test, session.heard, SPEECH, what)
    session.check(f"{what}: Orca says {said!r}", True)


def _key(session, name, what):
    """Presses a key; what Orca says from now on is printed under `what` at the end."""
    session.heard = session.orca.heard()
    session.keys_pressed.append((what, session.heard))
    session.player.desktop.key(name)


def a_listener_meets_the_window(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/a.mp3", 440)
    station.start()
    bus = SessionBus(session.processes, session.folder)
    address = bus.start_accessibility(desktop.env())
    session.orca = Orca(session.processes, session.scratch("orca"), bus, desktop)
    session.recorder = sound.record()
    session.keys_pressed = []
    session.heard = session.orca.heard()
    session.player = Player(session, desktop, _stations(station),
                            env={**sound.client_variables(), **bus.variables()})
    desktop.activate(session.player.wait_for_window().id)
    _says(session, "the window opens", f"{TITLE} frame.")
    _says(session, "with the focus on the first station", "Tone A push button.")

    reader = ScreenReader(bus, desktop, address)
    window = reader.window(TITLE)
    seen = [(child.getRoleName(), child.name, reader.actions(child))
            for child in reader.children(window)]
    buttons = [name for role, name, actions in seen if role == "push button" and "Press" in actions]
    roles = [role for role, _, _ in seen]
    session.check("the stations and buttons are named push buttons with Press, in order",
                  buttons == ["Tone A", "Tone B"] + BUTTONS, "" if buttons else seen)
    session.check("the readouts are labels and the strip a status bar",
                  roles.count("label") == 4 and roles.count("status bar") == 1, roles)
    _print("the main window as a screen reader reads it", reader.dump(window))


def the_keyboard_and_what_orca_says(session):
    player, orca = session.player, session.orca
    around = player.screen_rect(layout.slot(1))
    around = (around[0] - 3, around[1] - 3, around[2] + 6, around[3] + 6)
    before = player.desktop.screenshot().crop(*around)
    _key(session, "Tab", "Tab")
    _says(session, "Tab", "Tone B push button.")
    player.desktop.wait_for_change(around, before, 10, "the focus mark")
    session.check("the focus mark shows on it", True)

    _key(session, "space", "Space on a station that fails")
    _says(session, "Space on it", "Station B, Connecting…")
    _says(session, "then", lambda said: said.startswith("Connection refused"))
    _key(session, "Down", "Down")
    _says(session, "Down", "Volume 30.")

    for name in ["Play", "Stop", "Volume down", "Mute"]:
        _key(session, "Tab", "Tab")
        _says(session, "Tab", f"{name} push button.")
    _key(session, "space", "Space on Mute")
    _says(session, "Space on Mute", "Unmute, Volume Mute.")
    _key(session, "space", "Space on Unmute")
    _says(session, "and again", "Mute, Volume 30.")
    session.check("Orca was never sent an object in place of words", not orca.complaints(),
                  orca.complaints())

    for name in ["Volume up", "About"]:
        _key(session, "Tab", "Tab")
        _says(session, "Tab", f"{name} push button.")
    _key(session, "Return", "Return on About")
    _says(session, "Return on About: the dialog with its texts",
          lambda said: said.startswith(f"{ABOUT_TITLE} dialog") and "version" in said)
    _says(session, "and its first link", "skyvane.example link.")
    _key(session, "Escape", "Escape")
    _says(session, "Escape: back on About", "About push button.")
    session.check("About is closed", not player.desktop.find_windows(ABOUT_TITLE))

    _key(session, "Tab", "Tab")
    _says(session, "Tab to the first station", "Tone A push button.")
    _key(session, "space", "Space on a station that plays")
    pressed = time.monotonic()
    session.recorder.wait_for_tone(440, pressed, FIRST_SOUND)
    session.check("its tone plays", True)
    _says(session, "it is tuned", "Station A, Connecting…")
    _says(session, "and plays", lambda said: said.startswith("Playing"))
    counts = [said for said in orca.spoken()[session.heard:] if "%" in said]
    session.check("no buffering count is spoken", not counts, counts)

    spoken = orca.spoken()
    marks = session.keys_pressed + [("", len(spoken))]
    lines = []
    for (what, start), (_, end) in zip(marks, marks[1:]):
        lines += [f"{what}:"] + [f"    {said}" for said in spoken[start:end]]
    _print("what Orca said for each key", lines)


if __name__ == "__main__":
    run([a_listener_meets_the_window, the_keyboard_and_what_orca_says],
        tools=["dbus-daemon", "gdbus", AT_SPI_BUS_LAUNCHER, "orca", "speech-dispatcher"],
        modules=["pyatspi"])
