"""Running a script of end-to-end checks: arguments, a scratch folder, checks and the tally.

A script defines functions taking a Session and calls run(). Each function is one group of checks,
run in order; later groups may use what earlier ones set up (session attributes). A failed check
is counted and the group goes on; an exception (a wait that ran out, say) fails the group and
the ones after it, which build on it, are counted as failed without running. Every process started
through session.processes is ended when the script finishes, and the logs of a failed run are
printed.

    def window_appears(session):
        session.check("the title", title == TITLE, f"saw {title!r}")

    if __name__ == "__main__":
        run([window_appears])
"""

import argparse
import importlib.util
import os
import shutil
import sys
import tempfile
import time
import traceback

from processes import ProcessSet

# ctest treats this exit code as "skipped" (SKIP_RETURN_CODE).
SKIPPED = 77

_TOOLS = ["Xvfb", "openbox", "trayer", "xdotool", "xwininfo", "xprop", "import", "pulseaudio",
          "pactl", "parec", "icecast2", "ffmpeg"]


class Session:
    """What every group gets: options, a scratch folder, the process set and the tally."""

    def __init__(self, options, folder):
        self.options = options
        self.folder = folder
        self.processes = ProcessSet(folder)
        self.passed = 0
        self.failed = 0
        self.started = time.monotonic()

    def check(self, name, ok, detail=""):
        """Counts one check and prints it; returns ok so callers can stop early."""
        if ok:
            self.passed += 1
            print(f"  ok    {name}" + (f" ({detail})" if detail else ""), flush=True)
        else:
            self.failed += 1
            print(f"  FAIL  {name}" + (f": {detail}" if detail else ""), flush=True)
        return ok

    def note(self, text):
        """Prints a measurement (times, levels); never a pass or fail."""
        print(f"  ..    {text}", flush=True)

    def update_docs(self, picture, name):
        """With WAVELARK_UPDATE_SCREENSHOTS=1, saves a screenshot to --docs under name."""
        if os.environ.get("WAVELARK_UPDATE_SCREENSHOTS") == "1" and self.options.docs:
            os.makedirs(self.options.docs, exist_ok=True)
            path = os.path.join(self.options.docs, name)
            picture.save_png(path)
            self.note(f"wrote {path}")

    def scratch(self, name):
        """A new folder inside the scratch folder."""
        path = os.path.join(self.folder, name)
        os.makedirs(path)
        return path


def _options():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True, help="the wavelark executable")
    parser.add_argument("--renderer", required=True, help="the e2e_reference_rendering tool")
    parser.add_argument("--docs", help="folder for the documentation screenshots")
    parser.add_argument("--keep", action="store_true",
                        help="keep the scratch folder and logs (kept anyway after a failure)")
    options = parser.parse_args()
    for name in ("binary", "renderer", "docs"):
        if getattr(options, name):
            setattr(options, name, os.path.abspath(getattr(options, name)))
    return options


def run(groups, tools=(), modules=()):
    """Runs the groups in order and exits 0 when every check passed, 1 otherwise. A script
    that needs more programs or Python modules than every script does names them."""
    options = _options()
    missing = [tool for tool in [*_TOOLS, *tools] if shutil.which(tool) is None]
    missing += [module for module in modules if importlib.util.find_spec(module) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing) + " (scripts/setup --with-tests)")
        sys.exit(SKIPPED)

    folder = tempfile.mkdtemp(prefix="wavelark-e2e-")
    os.chmod(folder, 0o711)  # Icecast runs as its own user and must reach its folder inside
    session = Session(options, folder)
    try:
        for group in groups:
            print(f"{group.__name__.replace('_', ' ')}:", flush=True)
            try:
                group(session)
            except Exception as error:
                session.check("the group ran to its end", False, f"{type(error).__name__}: {error}")
                traceback.print_exc(file=sys.stdout)
                # Later groups build on what this one left behind.
                skipped = groups[groups.index(group) + 1 :]
                if skipped:
                    names = ", ".join(g.__name__ for g in skipped)
                    print(f"skipped after the failure: {names}", flush=True)
                    session.failed += len(skipped)
                break
    finally:
        session.processes.close()
        if session.failed:
            _print_logs(folder)
        if options.keep or session.failed:
            print(f"scratch folder kept: {folder}")
        else:
            shutil.rmtree(folder, ignore_errors=True)
    elapsed = time.monotonic() - session.started
    print(f"{session.passed} passed, {session.failed} failed ({elapsed:.0f} s)", flush=True)
    sys.exit(0 if session.failed == 0 else 1)


def _print_logs(folder):
    """Prints the tail of every program's log, for a failed group."""
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".log"):
            continue
        with open(os.path.join(folder, name), "rb") as log:
            text = log.read().decode("utf-8", "replace").strip()
        if text:
            tail = "\n".join(text.splitlines()[-15:])
            print(f"  --- {name} (last lines)\n{tail}", flush=True)
