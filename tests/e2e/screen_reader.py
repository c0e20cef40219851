"""What a screen reader finds and says.

ScreenReader: the player's accessible objects over AT-SPI, read with pyatspi in the test's own
process, for what a screen reader finds but does not say (the tree, the actions).

    address = bus.start_accessibility(desktop.env())
    reader = ScreenReader(bus, desktop, address)
    window = reader.window(TITLE)
    reader.dump(window)          # ["frame 'Skyvane Wavelark Player'", "  push button 'A' [Press]"...]

Orca: the real screen reader, and what it speaks (see the class).
"""

import os
import re
import threading
import tty

from processes import wait_until


class ScreenReader:
    def __init__(self, bus, desktop, address):
        # libatspi reads where the buses are when it is first loaded.
        os.environ.update({**bus.variables(), "DISPLAY": desktop.display,
                           "AT_SPI_BUS_ADDRESS": address})
        import pyatspi
        from gi.repository import GLib

        self.pyatspi = pyatspi
        self._context = GLib.MainContext.default()

    def pump(self):
        """Lets the events that arrived reach their listeners."""
        while self._context.iteration(False):
            pass

    def wait_until(self, condition, timeout, what):
        """A bounded wait that keeps the events flowing."""

        def pumped():
            self.pump()
            return condition()

        return wait_until(pumped, timeout, what)

    def window(self, title, timeout=20):
        """The top-level accessible object titled `title`, once an application offers it."""

        def find():
            desktop = self.pyatspi.Registry.getDesktop(0)
            for app in desktop:
                for frame in app or []:
                    if frame is not None and frame.name == title:
                        return frame
            return None

        return self.wait_until(find, timeout, f"the accessible window {title!r}")

    def children(self, accessible):
        return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]

    def actions(self, accessible):
        try:
            action = accessible.queryAction()
        except NotImplementedError:
            return []
        return [action.getName(i) for i in range(action.nActions)]

    def dump(self, accessible, depth=0):
        """The tree as lines: role, name, description and actions, indented by depth."""
        line = f"{'  ' * depth}{accessible.getRoleName()} {accessible.name!r}"
        if accessible.description:
            line += f" ({accessible.description})"
        actions = self.actions(accessible)
        if actions:
            line += f" [{', '.join(actions)}]"
        lines = [line]
        for child in self.children(accessible):
            lines += self.dump(child, depth + 1)
        return lines


# The voice follows the quoted words: SPEECH OUTPUT: 'Play push button.'{'established': False}
_UTTERANCE = re.compile(r"SPEECH OUTPUT: '(.*)' ?(\{.*\})?$")

_SPEECHD_CONF = """# Nothing is synthesised: the dummy module serves every request.
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
LanguageDefaultModule "en" "dummy"
AudioOutputMethod "alsa"
AudioALSADevice "null"
"""


class Orca:
    """The real screen reader, Debian's orca, on the test's buses and display, with
    speech-dispatcher's dummy output module behind it. What it speaks is read from its debug
    log, where every utterance is a line `SPEECH OUTPUT: '...'` before it goes to speech.

        orca = Orca(processes, folder, bus, desktop)    # before the application starts
        heard = orca.heard()
        desktop.key("Tab")
        orca.wait_for_speech(lambda said: said == "Tone B push button.", heard, 10, "Tab")
        orca.spoken()[heard:]                           # what it said since

    It has a home of its own (settings, no setup dialog) and ends with the
    process set.
    """

    def __init__(self, processes, folder, bus, desktop):
        home = os.path.join(folder, "home")
        config = os.path.join(home, "config")
        speechd_config = os.path.join(config, "speech-dispatcher")
        os.makedirs(speechd_config)
        with open(os.path.join(speechd_config, "speechd.conf"), "w") as file:
            file.write(_SPEECHD_CONF)
        socket = os.path.join(folder, "speechd.sock")
        env = {**desktop.env(), **bus.variables(), "HOME": home, "XDG_CONFIG_HOME": config,
               "XDG_DATA_HOME": os.path.join(home, "data"),
               "XDG_CACHE_HOME": os.path.join(home, "cache"), "XDG_RUNTIME_DIR": bus.folder,
               "GSETTINGS_BACKEND": "memory", "SPEECHD_ADDRESS": f"unix_socket:{socket}"}
        processes.start("speech-dispatcher",
                        ["speech-dispatcher", "--run-single", "--timeout", "0",
                         "--communication-method", "unix_socket", "--socket-path", socket,
                         "--config-dir", speechd_config, "--log-dir", folder], env=env)
        wait_until(lambda: os.path.exists(socket), 20, "speech-dispatcher's socket")
        # Orca writes its debug log through a buffer it flushes only when full, unless the
        # file is a terminal: it gets one, and a thread copies the log into the folder.
        self.log = os.path.join(folder, "orca-debug.out")
        self._lock = threading.Lock()
        self._text = ""
        master, terminal = os.openpty()
        tty.setraw(terminal)  # lines as written, no CR added
        threading.Thread(target=self._copy, args=(master,), daemon=True).start()
        # Through the interpreter: orca looks for other copies of itself by process name, for
        # the whole user, and refuses to start beside one (or, told to replace it, kills it);
        # another test's copy on other buses is no concern of this one.
        self.process = processes.start(
            "orca", ["/usr/bin/python3", "/usr/bin/orca", "--debug-file", os.ttyname(terminal)],
            env=env)

        def started():
            if self.process.poll() is not None:
                raise RuntimeError(f"orca ended with {self.process.returncode}")
            return self.spoken()

        try:
            wait_until(started, 30, "Orca to start")
        finally:
            # Orca holds the terminal open now; once it ends, the copy reads its end.
            os.close(terminal)

    def _copy(self, master):
        with open(self.log, "wb") as log:
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:  # the other side closed
                    break
                if not chunk:
                    break
                log.write(chunk)
                log.flush()
                with self._lock:
                    self._text += chunk.decode("utf-8", "replace")
        os.close(master)

    def _lines(self):
        with self._lock:
            return self._text.splitlines()

    def spoken(self):
        """Every utterance so far, in order (the log adds the voice after the quoted text)."""
        return [found.group(1) for found in map(_UTTERANCE.search, self._lines()) if found]

    def heard(self):
        """How many utterances there have been: a mark to wait and read from."""
        return len(self.spoken())

    def wait_for_speech(self, condition, since, timeout, what):
        """The first utterance after the mark `since` that satisfies condition."""

        def said():
            return next((text for text in self.spoken()[since:] if condition(text)), None)

        return wait_until(said, timeout, f"Orca to say {what}")

    def complaints(self):
        """The log's lines where Orca could not speak what it was sent or its handler failed."""
        return [line for line in self._lines()
                if "bad content sent to speak" in line or line.startswith(("IndexError",
                                                                           "TypeError"))]
