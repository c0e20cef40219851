#!/usr/bin/python3
"""The player as a listener uses it, on a virtual desktop with a local station and sound server.

The window appears where and as the design puts it; a click on a station plays its tone within
the pre-buffer time and the readouts name the station; stop, play, volume and mute act on what
reaches the sound server; the About window opens and closes; closing the window ends the program.
With WAVELARK_UPDATE_SCREENSHOTS=1 the window and the About window are saved to --docs.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import free_port, wait_until  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402

TONE = 440
STATION_NAME = "Wavelark test tone - 127.0.0.1"
ON_AIR = "Test tone 440 Hz"
# The longest wait for the first sound: the player's 5 s pre-buffer and room for a busy machine.
FIRST_SOUND = 5.0 + 4.0
# Stop and mute cut the sound at once; a busy machine may take a moment to get there.
CUT = 3.0
# ffmpeg's sine source plays at 1/8 of full scale.
SOURCE_LEVEL_DB = -18.06
# Five steps of 2 dB down.
EXPECTED_DROP_DB = 10.0


def _stations(station):
    """The local tones first; the sample list's stations fill the other slots (never clicked)
    so that the screenshot shows a full list."""
    ours = [
        ("Tone 440 Hz", station.url("/tone.mp3"), STATION_NAME),
        ("No burst", station.url("/tone-noburst.mp3"), "Wavelark test tone without burst"),
        ("Refused", f"http://127.0.0.1:{free_port()}/tone.mp3", "Nobody listens here"),
        ("Missing", station.url("/missing.mp3"), "No such mount"),
    ]
    return ours + layout.sample_stations(19 - len(ours))


def window_appears(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/tone.mp3", TONE)
    station.add_mount("/tone-noburst.mp3", TONE, burst=False)
    station.start()
    station.set_title("/tone.mp3", ON_AIR)
    recorder = sound.record()

    player = Player(session, desktop, _stations(station), env=sound.client_variables())
    window = player.wait_for_window()
    session.desktop, session.recorder, session.player = desktop, recorder, player
    session.station = station

    title = desktop.title(window.id)
    session.check("the title bar reads the player's title", title == layout.TITLE, f"{title!r}")
    place = (window.left, window.top, window.width, window.height)
    session.check("client area at 220,87, 467 x 216", place == layout.CLIENT, f"{place}")
    session.check("a normal window", desktop.wm_state(window.id) == "Normal")
    player.shows_station("None")
    session.check('the Station readout says "None"', True)
    player.shows_volume("31 Highest")
    session.check('the Volume readout says "31 Highest"', True)


def a_station_plays(session):
    player, recorder = session.player, session.recorder
    session.station.wait_for_burst("/tone.mp3")
    heard, clicked = _tune(session, 0)
    session.check("the station's tone reaches the sound server", True)
    session.note(f"time to first tone (burst mount): {heard - clicked:.2f} s")
    player.shows_station(STATION_NAME)
    session.check("the Station readout names the station", True)
    player.shows_status("Playing", ON_AIR)
    session.check(f'the strip says "Playing: {ON_AIR}"', True)
    level = recorder.tone_level(TONE, heard + 0.5, heard + 1.5)
    session.note(f"tone level at full volume: {level:.1f} dBFS")
    session.check(
        f"at full volume the tone keeps the source's level ({SOURCE_LEVEL_DB:.0f} dBFS)",
        abs(level - SOURCE_LEVEL_DB) <= 1.5,
        f"{level:.1f} dBFS",
    )


def screenshot_while_playing(session):
    player, desktop = session.player, session.desktop
    # The pointer leaves the station over the window's background, which clears the highlight.
    highlighted = player.crop(layout.slot(0))
    desktop.hover(*player.screen_rect((440, 190, 1, 1))[:2])
    desktop.wait_for_change(player.screen_rect(layout.slot(0)), highlighted, 10,
                            "the station's highlight to go")
    desktop.move_pointer(0, 0)
    shot = player.crop((0, 0, *layout.CLIENT[2:]))
    shot.save_png(os.path.join(session.folder, "wavelark.png"))
    session.update_docs(shot, "wavelark.png")


def another_station_replaces_it(session):
    player, recorder = session.player, session.recorder
    player.hover(layout.slot(1))
    clicked = time.monotonic()
    session.desktop.press_button(1)
    gap = recorder.wait_for_silence(clicked, CUT)
    heard = recorder.wait_for_tone(TONE, gap, FIRST_SOUND)
    session.check("the old station stops and the new one is heard", True)
    session.note(f"time to first tone (no-burst mount): {heard - clicked:.2f} s")
    player.shows_station("Wavelark test tone without burst")
    session.check("the Station readout names the new station", True)


def a_wrong_address_says_why(session):
    player = session.player
    player.click(layout.slot(2))
    player.shows_status("Connection refused", "")
    session.check('nobody listening: the strip says "Connection refused"', True)
    session.recorder.wait_for_silence(time.monotonic(), CUT)
    session.check("and nothing plays", True)
    player.click(layout.slot(3))
    player.shows_status("Not found (404)", "")
    session.check('a missing mount: the strip says "Not found (404)"', True)

    heard, clicked = _tune(session, 0)
    session.note(f"time to first tone (burst mount, after a failure): {heard - clicked:.2f} s")


def _tune(session, k):
    """Clicks slot k and waits for its tone; returns when it was heard and when clicked."""
    return session.player.tune(k, session.recorder, TONE, FIRST_SOUND)


def stop_play_volume_and_mute(session):
    player, recorder, desktop = session.player, session.recorder, session.desktop

    player.hover(layout.STOP)
    clicked = time.monotonic()
    desktop.press_button(1)
    quiet = recorder.wait_for_silence(clicked, CUT)
    session.check("stop silences the sound", True)
    session.note(f"stop to silence: {max(0.0, quiet - clicked):.2f} s")
    player.shows_status("Stopped", "")
    session.check('the strip says "Stopped"', True)

    player.hover(layout.PLAY)
    clicked = time.monotonic()
    desktop.press_button(1)
    heard = recorder.wait_for_tone(TONE, clicked, FIRST_SOUND)
    session.check("play brings the station back", True)
    session.note(f"play to first tone: {heard - clicked:.2f} s")
    full = recorder.tone_level(TONE, heard + 0.5, heard + 1.5)

    player.hover(layout.VOLUME_DOWN)
    for _ in range(5):
        desktop.press_button(1)
    player.shows_volume("26")
    lowered = time.monotonic()
    session.check('five clicks on volume down: the readout says "26"', True)
    low = recorder.tone_level(TONE, lowered + 0.3, lowered + 1.3)
    drop = full - low
    session.note(f"tone level {full:.1f} dBFS -> {low:.1f} dBFS after five steps down")
    session.check(
        f"the level drops by {EXPECTED_DROP_DB:.0f} dB (within 2 dB)",
        abs(drop - EXPECTED_DROP_DB) <= 2.0,
        f"dropped {drop:.1f} dB",
    )

    player.hover(layout.MUTE)
    clicked = time.monotonic()
    desktop.press_button(1)
    player.shows_volume("Mute")
    quiet = recorder.wait_for_silence(clicked, CUT)
    muted = recorder.level(quiet, quiet + 0.3)
    session.check("mute silences the sound", True, f"{muted:.0f} dBFS")

    # The highlighted image of the new state is under the pointer: the next click unmutes.
    clicked = time.monotonic()
    desktop.press_button(1)
    player.shows_volume("26")
    heard = recorder.wait_for_tone(TONE, clicked, CUT)
    back = recorder.tone_level(TONE, heard + 0.3, heard + 1.3)
    session.check(
        "unmute brings the sound back at the lowered level",
        abs(back - low) <= 1.0,
        f"{back:.1f} dBFS against {low:.1f} dBFS",
    )

    # The arrow keys step the volume too: five steps up is full volume again.
    for _ in range(5):
        desktop.key("Up")
    player.shows_volume("31 Highest")
    raised = time.monotonic()
    session.check('five Up arrow keys: the readout says "31 Highest"', True)
    again = recorder.tone_level(TONE, raised + 0.3, raised + 1.3)
    session.check("and the level is back at full volume", abs(again - full) <= 1.0,
                  f"{again:.1f} dBFS against {full:.1f} dBFS")


def the_about_window(session):
    player, desktop = session.player, session.desktop
    player.click(layout.ABOUT_LABEL)
    about = desktop.wait_for_window(layout.ABOUT_TITLE, 15)
    size = (about.width, about.height)
    session.check("the About window opens, 333 x 225", size == (333, 225), f"{size}")
    centred = (
        abs(about.left + about.width // 2 - desktop.size[0] // 2) <= 1
        and abs(about.top + about.height // 2 - desktop.size[1] // 2) <= 1
    )
    session.check("the About window is centred", centred, f"at {about.left},{about.top}")
    desktop.move_pointer(0, 0)
    shot = desktop.screenshot().crop(about.left, about.top, about.width, about.height)
    shot.save_png(os.path.join(session.folder, "about.png"))
    session.update_docs(shot, "about.png")

    # A link arms under the pointer and rests again when the pointer leaves the window in one
    # jump, with no move inside the window after the link.
    link = (about.left + 168, about.top + 128, 129, 17)
    resting = shot.crop(168, 128, 129, 17)
    desktop.hover(about.left + 180, about.top + 134)
    desktop.wait_for_change(link, resting, 10, "the link to arm")
    desktop.move_pointer(0, 0)
    desktop.wait_for_picture(link, lambda crop: crop.differing_pixels(resting) == 0, 10,
                             "the link to rest")
    session.check("a link rests when the pointer leaves the window in one move", True)

    # Meanwhile the main window is disabled: a click on Stop does nothing.
    player.hover(layout.STOP, changes=False)
    clicked = time.monotonic()
    desktop.press_button(1)
    level = session.recorder.tone_level(TONE, clicked + 0.5, clicked + 1.5)
    session.check("the main window ignores clicks meanwhile", level > -30, f"{level:.1f} dBFS")

    player.click(layout.ABOUT_CLOSE, window=about)
    session.check("Close closes the About window", _wait_gone(desktop, about.id))
    # The main window takes keys again: it is enabled and has the focus back.
    desktop.key("Down")
    player.shows_volume("30")
    session.check("the main window takes the arrow keys again", True)


def closing_the_window_ends_the_program(session):
    player, desktop = session.player, session.desktop
    desktop.activate(player.window.id)
    desktop.hover(*player.screen_rect((440, 190, 1, 1))[:2])
    desktop.key("alt+F4")
    code = player.wait_for_exit(15)
    session.check("alt+F4 on the window ends the program cleanly", code == 0, f"exit code {code}")


def _wait_gone(desktop, window_id):
    def gone():
        info = desktop.window_info(window_id)
        return info is None or not info.viewable

    return wait_until(gone, 10, "the window to go")


if __name__ == "__main__":
    run(
        [
            window_appears,
            a_station_plays,
            screenshot_while_playing,
            another_station_replaces_it,
            a_wrong_address_says_why,
            stop_play_volume_and_mute,
            the_about_window,
            closing_the_window_ends_the_program,
        ]
    )
