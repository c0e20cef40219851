#!/usr/bin/python3
"""Staying on the air: the sound coming back by itself.

A connection that stalls is replaced before its buffer runs dry; logind's resume and
NetworkManager's "connected" on a private system bus (python-dbusmock) bring a stalled or
waiting station back at once, and only when their owner sends them (also after logind
restarts): the same signals from another connection change nothing. (https stations, trusted and not, are checked against the engine
in the integration tests.) With WAVELARK_E2E_LONG=1
only the long case runs: the station is away for 60 s and comes back with no click.
Each case prints what it measured.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import wait_until  # noqa: E402
from session_bus import SessionBus  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import Relay, ToneStation  # noqa: E402

TONE = 440
MOUNT = "/tone.mp3"
# The pre-buffer and room for a busy machine.
FIRST_SOUND = 5.0 + 4.0
OUTAGE = 60.0
LOGIND = [sys.executable, "-m", "dbusmock", "--system", "--template", "logind"]
# What the listener may wait for at most.
AFTER_OUTAGE, AFTER_STALL, AFTER_RESUME, AFTER_NETWORK = 40.0, 5.0, 6.0, 8.0


def on_the_air(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount(MOUNT, TONE)
    station.start()
    session.relay = Relay(station.port)
    system = SessionBus(session.processes, session.folder, "system", system=True)
    session.logind = system.start("logind", LOGIND)
    system.start("networkmanager",
                 [sys.executable, "-m", "dbusmock", "--system", "--template", "networkmanager"])
    names = ["gdbus", "call", "--system", "-d", "org.freedesktop.DBus", "-o",
             "/org/freedesktop/DBus", "-m", "org.freedesktop.DBus.ListNames"]
    for service in ("org.freedesktop.login1", "org.freedesktop.NetworkManager"):
        wait_until(lambda: f"'{service}'" in system.run(names), 20, f"{service} on the bus")
    stations = [("Relayed", session.relay.url(MOUNT), "Tone through a relay that can stall")]
    # The media log says which event brought the sound back.
    env = {**sound.client_variables(), **system.variables(),
           "QT_LOGGING_RULES": "wavelark.media=true"}
    session.desktop, session.station, session.system = desktop, station, system
    session.recorder = sound.record()
    session.player = Player(session, desktop, stations, env=env)
    session.player.wait_for_window()
    station.wait_for_burst(MOUNT)


def _tune(session, k):
    return session.player.tune(k, session.recorder, TONE, FIRST_SOUND)


def a_stall_is_replaced(session):
    _tune(session, 0)
    time.sleep(1)
    stalled = time.monotonic()
    session.relay.stall()
    session.recorder.wait_for_tone(TONE, stalled + 10, 10)
    silence = session.recorder.longest_silence(stalled, stalled + 10)
    session.note(f"longest silence after a stall: {silence:.2f} s")
    session.check(f"after a stall the sound is back within {AFTER_STALL:.0f} s of silence",
                  silence <= AFTER_STALL, f"{silence:.2f} s")


def _back_after(session, signal, logged, limit, what):
    """Sends the signal and waits for the sound to come back after the cut it causes."""
    sent = time.monotonic()
    signal()
    wait_until(lambda: f"wavelark.media: {logged}" in session.processes.log("wavelark"), limit,
               f'"{logged}" in the log')
    gap = session.recorder.wait_for_silence(sent, limit, length=0.2)
    heard = session.recorder.wait_for_tone(TONE, gap, limit)
    session.note(f"{what}: sound back {heard - sent:.2f} s after the signal")
    session.check(f"{what}: the sound is back within {limit:.0f} s", heard - sent <= limit,
                  f"{heard - sent:.2f} s")


def forged_signals_are_ignored(session):
    """Another user's connection sends logind's and NetworkManager's signals: nothing reloads.
    logind then restarts, under a new unique name, which the player follows."""
    session.logind = _restart_logind(session)
    start = time.monotonic()
    for _ in range(6):
        for signal, value in (("org.freedesktop.login1.Manager.PrepareForSleep", "false"),
                              ("org.freedesktop.NetworkManager.StateChanged", "uint32 70")):
            path = "/org/freedesktop/" + ("login1" if "login1" in signal else "NetworkManager")
            session.system.run(["gdbus", "emit", "--system", "-o", path, "-s", signal, value])
        time.sleep(1)
    end = time.monotonic()
    silence = session.recorder.longest_silence(start, end)
    session.note(f"six forged resumes in {end - start:.1f} s: longest silence {silence:.2f} s")
    log = session.processes.log("wavelark")
    session.check("forged signals reload nothing", "the system resumed" not in log and
                  "the network is connected" not in log and silence < 0.5, f"{silence:.2f} s")


def _restart_logind(session):
    session.processes.stop(session.logind)
    names = ["gdbus", "call", "--system", "-d", "org.freedesktop.DBus", "-o",
             "/org/freedesktop/DBus", "-m", "org.freedesktop.DBus.ListNames"]
    logind = session.system.start("logind", LOGIND)
    wait_until(lambda: "'org.freedesktop.login1'" in session.system.run(names), 20,
               "logind back on the bus")
    return logind


def a_resume_reloads(session):
    time.sleep(2)
    session.relay.stall()
    _back_after(session, lambda: _mock_call(session, "org.freedesktop.login1",
                                            "/org/freedesktop/login1",
                                            "org.freedesktop.DBus.Mock.EmitSignal",
                                            "org.freedesktop.login1.Manager", "PrepareForSleep",
                                            "b", "[<false>]"),
                "the system resumed", AFTER_RESUME, "resume with a stalled connection")


def the_network_returns(session):
    station, player = session.station, session.player
    station.stop()
    player.shows_status("Reconnecting\u2026", "", timeout=20)
    # Past the tries 1, 2, 4 and 8 s apart: the next one would be 16 s away.
    time.sleep(16)
    station.start()
    station.wait_for_burst(MOUNT)
    _back_after(session, lambda: _mock_call(session, "org.freedesktop.NetworkManager",
                                            "/org/freedesktop/NetworkManager",
                                            "org.freedesktop.DBus.Mock.SetGlobalConnectionState",
                                            "70"),
                "the network is connected", AFTER_NETWORK, "the network's return")


def an_outage_of_a_minute(session):
    station = session.station
    _tune(session, 0)
    station.stop()
    session.player.shows_status("Reconnecting\u2026", "", timeout=20)
    time.sleep(OUTAGE)
    station.start()
    back = time.monotonic()
    heard = session.recorder.wait_for_tone(TONE, back, AFTER_OUTAGE + 5)
    session.note(f"after a {OUTAGE:.0f} s outage: sound back {heard - back:.2f} s after the "
                 "server's return, with no click")
    session.check(f"after a {OUTAGE:.0f} s outage the sound is back within {AFTER_OUTAGE:.0f} s",
                  heard - back <= AFTER_OUTAGE, f"{heard - back:.2f} s")


def _mock_call(session, service, path, method, *args):
    # The silence that follows may not begin before the call returns: no answer is awaited.
    session.system.run(["gdbus", "call", "--system", "-d", service, "-o", path, "-m", method,
                        *args])


if __name__ == "__main__":
    long_run = os.environ.get("WAVELARK_E2E_LONG") == "1"
    run([on_the_air, an_outage_of_a_minute] if long_run else
        [on_the_air, a_stall_is_replaced, forged_signals_are_ignored, a_resume_reloads,
         the_network_returns],
        tools=("dbus-daemon", "gdbus"), modules=("dbusmock",))
