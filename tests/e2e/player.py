"""The real Wavelark binary on a Desktop, and where things are in its window.

Places are (left, top, width, height) in pixels from the top-left corner of the window's client
area, which is at 220,87 on the screen and 467 x 216 pixels in size.
"""

import os
import subprocess
import time

from picture import Picture
from processes import WaitTimeout, wait_until

TITLE = "Skyvane Wavelark Player"
ABOUT_TITLE = "About Wavelark Player"
CLIENT = (220, 87, 467, 216)


def slot(k):
    """Station slot k (0..18): slots 0..9 down the left column, 10..18 down the right."""
    column, row = divmod(k, 10)
    return (8 + 88 * column, 8 + 16 * row, 74, 17)


PLAY = (184, 32, 24, 17)
STOP = (208, 32, 18, 17)
VOLUME_DOWN = (248, 32, 21, 17)
MUTE = (272, 32, 21, 17)
VOLUME_UP = (296, 32, 20, 17)
STATION_READOUT = (240, 56, 209, 17)  # the rest of the label lies under the panel's edge
VOLUME_READOUT = (381, 35, 65, 17)
STRIP = (188, 73, 260, 20)
ABOUT_LABEL = (416, 104, 34, 18)
# A picture blown up from window pixels loses nothing by halving and doubling; a sharp one loses
# more than this share of its pixels (measured: 5 % for the play button, 8 % for the panel's
# edge; 0 for both with the small pictures).
SHARP = 0.01
PANEL_EDGE = (170, 4, 14, 96)  # the skin only: the black panel's wavy left edge and its shadow
ABOUT_CLOSE = (272, 176, 33, 17)  # in the About window


def centre(rect):
    return rect[0] + rect[2] // 2, rect[1] + rect[3] // 2


def sample_stations(count=19):
    """The first `count` stations of the sample list, as (caption, address, display name)."""
    sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../examples/wavelark.ini")
    with open(sample, encoding="utf-8", newline="") as file:
        return [tuple(line.rstrip("\r\n").split(",", 2)) for line in file.readlines()[:count]]


def station_file(stations):
    """The text of a wavelark.ini: (caption, address, display name) per line, CRLF endings."""
    return "".join(f"{caption},{address},{name}\r\n" for caption, address, name in stations)


class Player:
    """One run of the binary in its own working folder with its own station file: a list of
    (caption, address, display name), or the file's text as it is. A wrapper is the command
    that runs the binary (unshare, say)."""

    def __init__(self, session, desktop, stations, env=None, name="wavelark", wrapper=()):
        self.session = session
        self.desktop = desktop
        self.folder = session.scratch(name)
        self.name = name
        with open(os.path.join(self.folder, "wavelark.ini"), "w", newline="") as file:
            file.write(stations if isinstance(stations, str) else station_file(stations))
        home = os.path.join(self.folder, "home")
        os.makedirs(home, mode=0o700)
        extra = {"HOME": home, "XDG_RUNTIME_DIR": home, "XDG_CONFIG_HOME": home}
        extra.update(env or {})
        self.process = session.processes.start(
            name, [*wrapper, session.options.binary], env=desktop.env(extra), cwd=self.folder
        )
        self.window = None
        self._mismatches = 0

    def window_on_show(self):
        """The main window's WindowInfo if it is on show now, else None."""
        return self.desktop.shown_window(TITLE)

    def wait_for_window(self, timeout=30):
        """The main window's WindowInfo once it is on show."""

        def shown():
            if self.process.poll() is not None:
                raise RuntimeError(f"the player ended with {self.process.returncode}")
            return self.window_on_show()

        self.window = wait_until(shown, timeout, "the player's window")
        return self.window

    def info(self):
        return self.desktop.window_info(self.window.id)

    def screen_rect(self, rect, window=None):
        """A window-relative rect in screen pixels."""
        window = window or self.window
        return (window.left + rect[0], window.top + rect[1], rect[2], rect[3])

    def crop(self, rect, screenshot=None, window=None):
        """The part of the screen under a window-relative rect."""
        screenshot = screenshot or self.desktop.screenshot()
        return screenshot.crop(*self.screen_rect(rect, window))

    def hover(self, rect, window=None, changes=True):
        """Moves the pointer onto the middle of rect, as a hand would before clicking. With
        `changes`, waits until the window redrew something there (a lit button, a highlighted
        station): the proof that the program saw the pointer."""
        x, y = centre(self.screen_rect(rect, window))
        before = self.crop(rect, window=window)
        self.desktop.hover(x, y)
        if changes:
            self.desktop.wait_for_change(
                self.screen_rect(rect, window), before, 10, f"the hover at {rect} to show"
            )

    def click(self, rect, window=None):
        """Hovers rect and clicks it."""
        self.hover(rect, window)
        self.desktop.press_button(1)

    def tune(self, k, recorder, frequency, timeout):
        """Clicks slot k and waits for its tone; returns when it was heard and when clicked."""
        self.hover(slot(k))
        clicked = time.monotonic()
        self.desktop.press_button(1)
        return recorder.wait_for_tone(frequency, clicked, timeout), clicked

    def reference(self, kind, *texts):
        """The reference rendering of a readout ("station", "volume") or the strip."""
        path = os.path.join(self.session.folder, "reference.ppm")
        subprocess.run(
            [self.session.options.renderer, kind, *texts, path],
            env={**os.environ, "QT_QPA_PLATFORM": "offscreen"},
            check=True,
            capture_output=True,
            timeout=30,
        )
        return Picture.read_ppm(path)

    def wait_for_text(self, rect, reference_crop, timeout, what):
        """Waits until the screen under rect equals reference_crop pixel for pixel."""
        # Text on black: a blank reference would match any blank place and prove nothing.
        if reference_crop.count(lambda r, g, b: r or g or b) == 0:
            raise ValueError(f"the reference for {what} is blank")
        try:
            return self.desktop.wait_for_picture(
                self.screen_rect(rect),
                lambda crop: crop.differing_pixels(reference_crop) == 0,
                timeout,
                what,
            )
        except WaitTimeout as timeout_error:
            self._mismatches += 1
            stem = os.path.join(self.session.folder, f"mismatch-{self._mismatches}")
            reference_crop.save_png(stem + "-expected.png")
            self.crop(rect).save_png(stem + "-seen.png")
            raise WaitTimeout(f"{timeout_error}; see {stem}-expected.png and -seen.png") from None

    def shows_station(self, name, timeout=10):
        reference = self.reference("station", name).crop(0, 0, *STATION_READOUT[2:])
        return self.wait_for_text(STATION_READOUT, reference, timeout,
                                  f'the Station readout to say "{name}"')

    def shows_volume(self, text, timeout=10):
        reference = self.reference("volume", text).crop(0, 0, *VOLUME_READOUT[2:])
        return self.wait_for_text(VOLUME_READOUT, reference, timeout,
                                  f'the Volume readout to say "{text}"')

    def shows_status(self, state, title, timeout=20):
        """Waits for the strip to read "state: title" (the time played at its right is left
        out of the comparison)."""
        width = STRIP[2] - 70
        reference = self.reference("strip", state, title).crop(4, 1, width, STRIP[3])
        rect = (STRIP[0], STRIP[1], width, STRIP[3])
        text = f"{state}: {title}" if title else state
        return self.wait_for_text(rect, reference, timeout, f'the strip to say "{text}"')

    def wait_for_exit(self, timeout=15):
        wait_until(lambda: self.process.poll() is not None, timeout, "the player to end")
        self.session.processes.forget(self.process)
        return self.process.returncode
