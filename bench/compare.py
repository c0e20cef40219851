#!/usr/bin/python3
"""Wavelark and `mpv --no-video --no-config` side by side, on one virtual desktop, one local
Icecast station and one PulseAudio null sink, in one run; prints a table of medians and ranges.

    bench/run                                   # builds, then runs this and the micro-benchmark
    python3 bench/compare.py --binary build-bench/src/wavelark \\
        --bare build-bench/bench/bench_bare_window [--runs 3] [--minutes 10] [--kbps 320] \\
        [--only playback,startup,switches,longplay]

What is measured (each player fresh for every run; the two alternate, so that a busy moment of
this shared machine does not fall on one of them only):

- playback: a click on the slot of a mount with Icecast's 64 KiB burst (Wavelark) or the start of
  `mpv ... --cache=yes --cache-pause-initial=yes --cache-pause-wait=5 URL`, to the first 50 ms
  block of the tone above -40 dBFS at the sink's monitor (parec). The recorder is then stopped:
  it holds the null sink at 20 ms latency, which makes every player wake far more often than on
  a desktop where nobody records. After 3 s, a 30 s window: CPU (utime + stime), wakeups, and
  the window's repaints counted with the X DAMAGE extension; VmRSS at its end, VmHWM (peak) too.
  Wavelark's idle wakeups are counted over 10 s before the click (engine not yet made) and
  10 s after Stop (engine made and idle). The same for a mount without burst (burst-size 0),
  with the repaints while the strip counts the buffer up.
- startup: process start to the window's final look (every caption drawn), read from the
  screen with XGetSubImage every millisecond, against a bare Qt Widgets window of the same size
  at the same place with one caption.
- switches: 100 clicks alternating between the two mounts to warm up (in two halves, each
  followed by a play), then 1000 more; resident memory once the last station of each phase
  plays.
- longplay: Wavelark and mpv's command line play one mount at 320 kbit/s (--kbps) side by side
  for 10 minutes (--minutes); private memory (smaps_rollup) of each, every minute.

Nothing here passes or fails: the budget column is there to read the numbers against.
"""

import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import player as layout  # noqa: E402
import process_stats as stats  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import ProcessSet, wait_until  # noqa: E402
from sound import SoundServer  # noqa: E402
from tone_station import ToneStation  # noqa: E402
from x_probes import DamageCounter, ScreenRegion  # noqa: E402

TONE = 440
BURST, NO_BURST, LONG = "/tone.mp3", "/tone-noburst.mp3", "/tone-long.mp3"
LONG_SLOT = 2
MPV = ["mpv", "--no-video", "--no-config", "--cache=yes", "--cache-pause-initial=yes",
       "--cache-pause-wait=5"]
LOUD = 32768 * 10 ** (-40 / 20)  # -40 dBFS
SETTLE = 3.0  # after the first audio, before a steady window
IDLE_WINDOW = 10.0
FIRST_AUDIO_TIMEOUT = 20.0
SWITCH_GAP = 0.1  # between two clicks of the switching run
SWITCH_BATCH = 50  # clicks per xdotool call
# Like the e2e desktop: an address that cannot work, so that nothing launches a session bus of
# its own for the run and leaves it behind.
NO_SESSION_BUS = {**os.environ, "DBUS_SESSION_BUS_ADDRESS": "disabled:"}


class Bench:
    """What Player needs of the e2e Session (processes, scratch, options.binary), plus the
    desktop, sound server and station every measurement shares."""

    def __init__(self, options, folder):
        self.options = options
        self.folder = folder
        self.processes = ProcessSet(folder)
        self._names = {}
        self.results = {}

    def scratch(self, name):
        path = os.path.join(self.folder, name)
        os.makedirs(path)
        return path

    def unique(self, name):
        """name-1, name-2...: every run gets its own folder and log."""
        self._names[name] = self._names.get(name, 0) + 1
        return f"{name}-{self._names[name]}"

    def record(self, key, value):
        self.results.setdefault(key, []).append(value)

    def start_environment(self):
        self.desktop = Desktop(self.processes, self.scratch("desktop"))
        self.sound = SoundServer(self.processes, self.folder)
        self.station = ToneStation(self.processes, self.folder)
        self.station.add_mount(BURST, TONE)
        self.station.add_mount(NO_BURST, TONE, burst=False)
        # Encoding costs CPU, so the long-playing mount is there only when it is measured.
        long_play = "longplay" in self.options.only
        if long_play:
            self.station.add_mount(LONG, TONE, kbps=self.options.kbps)
        self.station.start()
        self.station.wait_for_burst(BURST)
        # The other slots point nowhere and are never clicked; slots 0 to 2 are the mounts.
        self.stations = [("Tone", self.station.url(BURST), "Tone with burst"),
                         ("No burst", self.station.url(NO_BURST), "Tone without burst")]
        if long_play:
            self.stations.append(("Long", self.station.url(LONG), "Tone played long"))
        self.stations += [(f"Slot {k}", f"http://127.0.0.1:1/{k}", f"Nowhere {k}")
                          for k in range(len(self.stations), 19)]

    def wavelark(self, what):
        player = Player(self, self.desktop, self.stations, env=self.sound.client_variables(),
                        name=self.unique("wavelark-" + what))
        player.wait_for_window()
        return player

    def stop(self, process):
        self.processes.stop(process)


def log(text):
    print(text, file=sys.stderr, flush=True)


# --- measuring windows ---------------------------------------------------------------------


def wakeups_per_second(pid, seconds, tid=None):
    before = stats.context_switches(pid, tid)
    time.sleep(seconds)
    return (stats.context_switches(pid, tid) - before) / seconds


def steady_window(bench, pid, seconds, window_id=None):
    """CPU %, wakeups/s (all threads and the main one), repaints/s and per-thread CPU over a
    window of steady playback; memory at its end."""
    counter = DamageCounter(bench.desktop.display, window_id) if window_id else None
    threads_before = stats.thread_cpu(pid)
    cpu_before, switches_before = stats.cpu_seconds(pid), stats.context_switches(pid)
    main_before = stats.context_switches(pid, pid)
    started = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - started
    cpu = (stats.cpu_seconds(pid) - cpu_before) / elapsed * 100
    result = {
        "cpu": cpu,
        "wakeups": (stats.context_switches(pid) - switches_before) / elapsed,
        "main_wakeups": (stats.context_switches(pid, pid) - main_before) / elapsed,
        "rss": stats.memory_mb(pid, "VmRSS"),
        "hwm": stats.memory_mb(pid, "VmHWM"),
        "threads": {},
    }
    for (tid, name), seconds_after in stats.thread_cpu(pid).items():
        spent = seconds_after - threads_before.get((tid, name), 0.0)
        result["threads"][name] = result["threads"].get(name, 0.0) + spent / elapsed * 100
    if counter:
        paints = counter.stop()
        result["paints"] = len(paints) / elapsed
        result["paints_peak"] = most_in_a_second(paints)
    return result


def most_in_a_second(paints):
    """The most repaints (server times in ms) that fall within any one second."""
    most, first = 0, 0
    for last in range(len(paints)):
        while paints[last] - paints[first] >= 1000:
            first += 1
        most = max(most, last - first + 1)
    return most


def first_loud_sample(recorder, start, end):
    """The time of the first sample above -40 dBFS from start to end: the tone's 50 ms block
    found by the recorder, narrowed down to the sample."""
    first = recorder.sample_at(start)
    for index, sample in enumerate(recorder.between(start, end)):
        if abs(sample) > LOUD:
            return recorder.time_of(first + index)
    return recorder.time_of(recorder.sample_at(end))


def first_audio(bench, start, label):
    """Starts the recorder, calls start() (which returns the moment it acted), waits for the
    tone and stops the recorder. Returns seconds from that moment to the first audio."""
    recorder = bench.sound.record()
    try:
        moment = start()
        block = recorder.wait_for_tone(TONE, since=moment, timeout=FIRST_AUDIO_TIMEOUT)
        heard = first_loud_sample(recorder, max(moment, block - 0.1), block + 0.1)
    finally:
        recorder.stop()
    latency = heard - moment
    log(f"  {label}: first audio after {latency:.3f} s")
    return latency


# --- playback ------------------------------------------------------------------------------


def wavelark_plays(bench, mount_slot, steady):
    kind = "burst" if mount_slot == 0 else "noburst"
    player = bench.wavelark(kind)
    pid = player.process.pid
    if steady:
        time.sleep(2.0)
        bench.record("wavelark idle wakeups (fresh)", wakeups_per_second(pid, IDLE_WINDOW))
    player.hover(layout.slot(mount_slot))
    counter = None if steady else DamageCounter(bench.desktop.display, player.window.id)

    def click():
        moment = time.monotonic()
        bench.desktop.press_button(1)
        return moment

    latency = first_audio(bench, click, f"Wavelark {kind}")
    bench.record(f"wavelark first audio {kind}", latency)
    if counter:
        # The strip counts the buffer up while the stream fills: its repaints per second.
        paints = counter.stop()
        bench.record("wavelark repaints buffering", len(paints) / latency)
        bench.record("wavelark repaints buffering peak", most_in_a_second(paints))
    if steady:
        time.sleep(SETTLE)
        window = steady_window(bench, pid, bench.options.window, player.window.id)
        for key in ("cpu", "wakeups", "main_wakeups", "rss", "hwm", "paints", "paints_peak"):
            bench.record(f"wavelark {key}", window[key])
        bench.record("wavelark threads", window["threads"])
        log(f"  Wavelark steady: CPU {window['cpu']:.2f} %, RSS {window['rss']:.1f} MB, "
            f"peak {window['hwm']:.1f} MB, {window['paints']:.2f} repaints/s, "
            f"{window['main_wakeups']:.1f} UI-thread wakeups/s")
        player.click(layout.STOP)
        time.sleep(2.0)
        bench.record("wavelark idle wakeups (stopped)", wakeups_per_second(pid, IDLE_WINDOW))
    bench.stop(player.process)


def mpv_plays(bench, mount, steady):
    kind = "burst" if mount == BURST else "noburst"
    started = []

    def start():
        moment = time.monotonic()
        started.append(bench.processes.start(bench.unique("mpv-" + kind),
                                             MPV + [bench.station.url(mount)],
                                             env=bench.sound.client_env(NO_SESSION_BUS)))
        return moment

    try:
        bench.record(f"mpv first audio {kind}", first_audio(bench, start, f"mpv {kind}"))
        if steady:
            pid = started[0].pid
            time.sleep(SETTLE)
            window = steady_window(bench, pid, bench.options.window)
            for key in ("cpu", "wakeups", "main_wakeups", "rss", "hwm"):
                bench.record(f"mpv {key}", window[key])
            log(f"  mpv steady: CPU {window['cpu']:.2f} %, RSS {window['rss']:.1f} MB, "
                f"peak {window['hwm']:.1f} MB")
    finally:
        if started:
            bench.stop(started[0])


def playback(bench):
    for run in range(bench.options.runs):
        log(f"playback, round {run + 1} of {bench.options.runs}")
        # Alternate who goes first.
        players = [lambda s: wavelark_plays(bench, 0, s), lambda s: mpv_plays(bench, BURST, s)]
        for play in players if run % 2 == 0 else players[::-1]:
            play(True)
        players = [lambda: wavelark_plays(bench, 1, False), lambda: mpv_plays(bench, NO_BURST, False)]
        for play in players if run % 2 == 0 else players[::-1]:
            play()


# --- start-up ------------------------------------------------------------------------------


def time_to_final_look(bench, launch):
    """Seconds from launch() to the first appearance and to the final look of the player's
    client area; launch() starts the program and returns its Popen."""
    region = ScreenRegion(bench.desktop.display, layout.CLIENT)
    try:
        before = region.digest()
        started = time.monotonic()
        process = launch()
        changes = region.watch(before, quiet=1.0, timeout=20)
        if not changes or changes[-1][1] == before:
            raise RuntimeError("the window did not appear where expected")
        first, final = changes[0][0] - started, changes[-1][0] - started
        bench.stop(process)
        # Gone again before the next run starts.
        wait_until(lambda: region.digest() == before, 10, "the window to go")
    finally:
        region.close()
    return first, final


def startup(bench):
    bench.desktop.move_pointer(2, 2)  # never over the window: no highlight changes its look
    bare_name = "Bare Qt window"
    for run in range(bench.options.startup_runs):
        def wavelark():
            player = Player(bench, bench.desktop, bench.stations,
                            env=bench.sound.client_variables(),
                            name=bench.unique("wavelark-startup"))
            return player.process

        def bare():
            # A home of its own, as the player gets one.
            home = bench.scratch(bench.unique("bare-window-home"))
            env = bench.desktop.env({"HOME": home, "XDG_RUNTIME_DIR": home,
                                     "XDG_CONFIG_HOME": home})
            return bench.processes.start(bench.unique("bare-window"), [bench.options.bare],
                                         env=env, cwd=home)

        order = [("wavelark", wavelark), ("bare", bare)]
        for name, launch in order if run % 2 == 0 else order[::-1]:
            first, final = time_to_final_look(bench, launch)
            bench.record(f"{name} startup", final)
            bench.record(f"{name} first pixels", first)
            log(f"  start-up {name if name == 'wavelark' else bare_name}: first pixels "
                f"{first * 1000:.0f} ms, final look {final * 1000:.0f} ms")


# --- switching -----------------------------------------------------------------------------


def icecast_connections(bench):
    """GET requests Icecast has logged on both mounts (a listener is logged when it leaves)."""
    try:
        with open(os.path.join(bench.station.folder, "access.log")) as file:
            return sum(1 for line in file if re.search(r'"GET /tone(-noburst)?\.mp3 ', line))
    except OSError:
        return 0


def switches(bench):
    player = bench.wavelark("switches")
    pid = player.process.pid
    points = [layout.centre(player.screen_rect(layout.slot(k))) for k in (0, 1)]
    trend = []  # RSS after each batch of clicks

    def switch(count):
        done = 0
        while done < count:
            batch = min(SWITCH_BATCH, count - done)
            words = []
            for n in range(done, done + batch):
                x, y = points[n % 2]
                words += ["mousemove", str(x), str(y), "click", "1", "sleep", str(SWITCH_GAP)]
            subprocess.run(["xdotool"] + words, env=bench.desktop.env(), check=True,
                           timeout=batch * (SWITCH_GAP + 1) + 20, stdin=subprocess.DEVNULL,
                           capture_output=True)
            done += batch
            trend.append(stats.memory_mb(pid, "VmRSS"))

    def settled_rss():
        # After an even number of clicks the last one went to the mount without burst.
        recorder = bench.sound.record()
        try:
            recorder.wait_for_tone(TONE, since=time.monotonic(), timeout=FIRST_AUDIO_TIMEOUT)
        finally:
            recorder.stop()
        time.sleep(2.0)
        return stats.memory_mb(pid, "VmRSS")

    # Warming up takes two plays: the second one after switching still touches about 10 MB
    # of new heap inside the engine, and no later one does.
    warm_up = bench.options.switches // 10
    switch(warm_up // 2)
    first = settled_rss()
    switch(warm_up - warm_up // 2)
    warm = settled_rss()
    log(f"  RSS after the first warm-up play {first:.1f} MB, after the second {warm:.1f} MB")
    connections_before = icecast_connections(bench)
    started = time.monotonic()
    switch(bench.options.switches)
    took = time.monotonic() - started
    end = settled_rss()
    connections = icecast_connections(bench) - connections_before
    bench.record("wavelark switches rss warm", warm)
    bench.record("wavelark switches rss end", end)
    bench.record("wavelark switches growth", end - warm)
    bench.record("wavelark switches peak", stats.memory_mb(pid, "VmHWM"))
    log(f"  {bench.options.switches} switches in {took:.0f} s after {warm_up} to warm up: "
        f"RSS {warm:.1f} -> {end:.1f} MB, Icecast logged {connections} listeners leaving")
    bench.record("switches icecast connections", connections)
    log(f"  RSS after every {SWITCH_BATCH} clicks, MB: " + " ".join(f"{v:.1f}" for v in trend))
    bench.stop(player.process)


# --- long playing ------------------------------------------------------------------------


def longplay(bench):
    """Both players on the long mount at once, each sampled a whole number of minutes after
    its own start (Wavelark: the click; mpv: the process start)."""
    player = bench.wavelark("longplay")
    player.hover(layout.slot(LONG_SLOT))
    clicked = []

    def click():
        clicked.append(time.monotonic())
        bench.desktop.press_button(1)
        return clicked[0]

    first_audio(bench, click, "Wavelark long-playing")
    started = time.monotonic()
    mpv = bench.processes.start("mpv-longplay", MPV + [bench.station.url(LONG)],
                                env=bench.sound.client_env(NO_SESSION_BUS))
    players = [("wavelark", player.process, clicked[0]), ("mpv", mpv, started)]
    for minute in range(1, bench.options.minutes + 1):
        line = []
        for name, process, start in players:
            time.sleep(max(0.0, start + 60 * minute - time.monotonic()))
            if process.poll() is not None:
                raise RuntimeError(f"{name} ended during the long-playing run")
            private = stats.private_mb(process.pid)
            bench.record(f"{name} private {minute}", private)
            line.append(f"{name} {private:.1f} MB")
        log(f"  minute {minute}: private memory " + ", ".join(line))
    bench.stop(mpv)
    bench.stop(player.process)


# --- the table -----------------------------------------------------------------------------


def spread(values, scale=1.0, digits=2):
    if not values:
        return "–"
    values = [v * scale for v in values]
    median = statistics.median(values)
    if len(values) == 1:
        return f"{median:.{digits}f}"
    return f"{median:.{digits}f} ({min(values):.{digits}f}–{max(values):.{digits}f})"


def median(results, key):
    values = results.get(key)
    return statistics.median(values) if values else None


def verdict(ok):
    return "–" if ok is None else ("yes" if ok else "**no**")


def table(bench):
    r = bench.results
    rows = []

    def row(measure, ours, theirs, budget, ok):
        rows.append((measure, ours, theirs, budget, verdict(ok)))

    def compare(key_ours, key_theirs, limit):
        ours, theirs = median(r, key_ours), median(r, key_theirs)
        return None if ours is None or theirs is None else ours <= limit(theirs)

    if "wavelark cpu" in r:
        row("CPU, 30 s steady playback, % of one core", spread(r["wavelark cpu"]),
            spread(r.get("mpv cpu")), "≤ mpv (stretch ≤ 1.1)",
            compare("wavelark cpu", "mpv cpu", lambda m: m))
        row("RSS steady, MB", spread(r["wavelark rss"], digits=1), spread(r.get("mpv rss"), digits=1),
            "≤ mpv + 15", compare("wavelark rss", "mpv rss", lambda m: m + 15))
        row("RSS peak (VmHWM), MB", spread(r["wavelark hwm"], digits=1),
            spread(r.get("mpv hwm"), digits=1), "≤ mpv + 15",
            compare("wavelark hwm", "mpv hwm", lambda m: m + 15))
        for kind, label in (("burst", "64 KiB burst"), ("noburst", "no burst")):
            row(f"click (mpv: start) → first audio, {label}, s",
                spread(r.get(f"wavelark first audio {kind}"), digits=3),
                spread(r.get(f"mpv first audio {kind}"), digits=3), "≤ mpv + 0.15",
                compare(f"wavelark first audio {kind}", f"mpv first audio {kind}",
                        lambda m: m + 0.15))
        row("wakeups/s, all threads, playing", spread(r["wavelark wakeups"], digits=0),
            spread(r.get("mpv wakeups"), digits=0), "–", None)
        row("wakeups/s, main (UI) thread, playing", spread(r["wavelark main_wakeups"], digits=1),
            spread(r.get("mpv main_wakeups"), digits=1), "–", None)
        row("window repaints/s, playing, mean over 30 s (X DAMAGE)",
            spread(r["wavelark paints"]), "–", "≤ 5", median(r, "wavelark paints") <= 5)
        row("window repaints, playing, most in any 1 s", spread(r["wavelark paints_peak"], digits=0),
            "–", "≤ 5", max(r["wavelark paints_peak"]) <= 5)
        if "wavelark repaints buffering" in r:
            row("window repaints/s, click → audio (no burst), mean",
                spread(r["wavelark repaints buffering"]), "–", "–", None)
            row("window repaints, click → audio (no burst), most in any 1 s",
                spread(r["wavelark repaints buffering peak"], digits=0), "–", "≤ 5",
                max(r["wavelark repaints buffering peak"]) <= 5)
        for state in ("fresh", "stopped"):
            key = f"wavelark idle wakeups ({state})"
            label = "nothing played yet" if state == "fresh" else "after Stop"
            row(f"wakeups/s, idle, {label} (10 s)", spread(r[key]), "–", "≤ 1",
                median(r, key) <= 1)
    if "wavelark startup" in r:
        ours, bare = median(r, "wavelark startup"), median(r, "bare startup")
        row("start → window drawn (captions), ms [mpv column: bare Qt window]",
            spread(r["wavelark startup"], 1000, 0), spread(r["bare startup"], 1000, 0),
            "≤ 150 and ≤ 1.3 × bare", ours <= 0.150 and ours <= 1.3 * bare)
        row("start → first pixels, ms [bare Qt window]", spread(r["wavelark first pixels"], 1000, 0),
            spread(r["bare first pixels"], 1000, 0), "–", None)
    if "wavelark switches growth" in r:
        n = bench.options.switches
        row(f"RSS after warm-up → after {n} switches, MB",
            f"{r['wavelark switches rss warm'][0]:.1f} → {r['wavelark switches rss end'][0]:.1f}",
            "–", "–", None)
        row(f"RSS growth over {n} switches, MB", spread(r["wavelark switches growth"], digits=1),
            "–", "≤ 2", r["wavelark switches growth"][0] <= 2)
    last = bench.options.minutes
    if f"wavelark private {last}" in r:
        kbps = bench.options.kbps
        for minute in sorted({1, 10, 60, last} & set(range(1, last + 1))):
            row(f"private memory after {minute} min playing at {kbps} kbit/s, MB",
                spread(r[f"wavelark private {minute}"], digits=1),
                spread(r[f"mpv private {minute}"], digits=1), "–", None)
        growth = {name: median(r, f"{name} private {last}") - median(r, f"{name} private 1")
                  for name in ("wavelark", "mpv")}
        row(f"private memory growth, minute 1 → {last}, MB", f"{growth['wavelark']:.1f}",
            f"{growth['mpv']:.1f}", "≤ 1", growth["wavelark"] <= 1)

    header = ("measure", "Wavelark", "mpv", "budget", "within")
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(cells) + " |" for cells in rows]
    return "\n".join(lines)


def thread_table(bench):
    runs = bench.results.get("wavelark threads")
    if not runs:
        return ""
    names = sorted({name for run in runs for name in run}, key=lambda n: -statistics.median(
        [run.get(n, 0.0) for run in runs]))
    lines = ["| Wavelark thread | CPU % of one core, median (min–max) |", "|---|---|"]
    for name in names:
        lines.append(f"| {name} | {spread([run.get(name, 0.0) for run in runs])} |")
    return "\n".join(lines)


# --- main ----------------------------------------------------------------------------------


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as file:
            model = re.search(r"model name\s*:\s*(.*)", file.read()).group(1)
    except (OSError, AttributeError):
        pass
    load = os.getloadavg()[0]
    return f"{model}, {os.cpu_count()} cores, load average {load:.2f} at the start"


def versions():
    def first_line(argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True, timeout=10).stdout.split(
                "\n")[0].strip()
        except OSError:
            return "?"
    return " ".join(first_line(["mpv", "--version"]).split()[:2])


def options():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--binary", required=True, help="the wavelark executable")
    parser.add_argument("--bare", required=True, help="the bench_bare_window executable")
    parser.add_argument("--runs", type=int, default=3, help="playback rounds (default 3)")
    parser.add_argument("--startup-runs", type=int, default=10, help="start-ups of each (10)")
    parser.add_argument("--switches", type=int, default=1000, help="station switches (1000)")
    parser.add_argument("--window", type=float, default=30.0, help="steady window, s (30)")
    parser.add_argument("--minutes", type=int, default=10, help="long-playing run, min (10)")
    parser.add_argument("--kbps", type=int, default=320, help="long-playing mount's rate (320)")
    parser.add_argument("--only", default="playback,startup,switches,longplay",
                        help="comma-separated parts to run")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder and logs")
    parsed = parser.parse_args()
    parsed.binary, parsed.bare = os.path.abspath(parsed.binary), os.path.abspath(parsed.bare)
    return parsed


def main():
    opts = options()
    missing = [tool for tool in ("mpv", "Xvfb", "openbox", "xdotool", "xwininfo", "pulseaudio",
                                 "parec", "icecast2", "ffmpeg") if shutil.which(tool) is None]
    if missing:
        sys.exit("missing " + ", ".join(missing) + " (scripts/setup --with-tests)")
    folder = tempfile.mkdtemp(prefix="wavelark-bench-")
    os.chmod(folder, 0o711)  # Icecast runs as its own user and must reach its folder inside
    bench = Bench(opts, folder)
    # A plain kill (or ^C) still ends every program this run started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    started = time.monotonic()
    header = f"{time.strftime('%Y-%m-%d %H:%M')}; {machine()}; {versions()}"
    try:
        bench.start_environment()
        parts = {"playback": playback, "startup": startup, "switches": switches,
                 "longplay": longplay}
        for name in opts.only.split(","):
            log(f"== {name}")
            parts[name.strip()](bench)
    finally:
        bench.processes.close()
        if opts.keep:
            log(f"scratch folder kept: {folder}")
        else:
            shutil.rmtree(folder, ignore_errors=True)
    print(f"\n{header}; runs: {opts.runs} playback, {opts.startup_runs} start-up; "
          f"took {time.monotonic() - started:.0f} s\n")
    print(table(bench))
    threads = thread_table(bench)
    if threads:
        print("\n" + threads)


if __name__ == "__main__":
    main()
