#!/usr/bin/python3
"""Staying on the air: the sound coming back by itself.

A connection that stalls is replaced before its buffer runs dry; logind's resume and
NetworkManager's "connected" on a private system bus (python-dbusmock) bring a stalled or
waiting station back at once. (https stations, trusted and not, are checked against the engine
in the integration tests.) With WAVELARK_E2E_LONG=1
only the long case runs: the station is away past the player's five quick tries and comes back
with no click. Each case prints what it measured.
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
# The five quick tries, 1, 2, 4, 8 and 16 s apart; then one every 30 s.
QUICK_TRIES, QUICK_TRIES_TAKE = 5, 31.0
# What the listener may wait for at most.
AFTER_OUTAGE, AFTER_STALL, AFTER_RESUME, AFTER_NETWORK = 40.0, 5.0, 6.0, 6.0


def on_the_air(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount(MOUNT, TONE)
    station.start()
    session.relay = Relay(station.port)
    system = SessionBus(session.processes, session.folder, "system", system=True)
    system.start("logind", [sys.executable, "-m", "dbusmock", "--system", "--template", "logind"])
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


def _plays_for(session, seconds, since):
    """Waits until the tone, heard at `since`, has played on for `seconds`."""
    level = session.recorder.tone_level(TONE, since, since + seconds)
    session.check(f"the tone plays for {seconds:.0f} s", level > -30, f"{level:.1f} dBFS")


def _log_length(session):
    return len(session.processes.log("wavelark"))


def _waits_after_tries(session, count, since):
    """Whether the player has made `count` tries since the log was `since` long and, the last
    one failed, waits for the next: the stop after a load is logged once the failure is in."""
    tries = session.processes.log("wavelark")[since:].split("wavelark.media: load ")
    return len(tries) > count and "wavelark.media: stop" in tries[-1]


def a_stall_is_replaced(session):
    heard, _ = _tune(session, 0)
    _plays_for(session, 1, heard)
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


def a_resume_reloads(session):
    _plays_for(session, 2, session.recorder.wait_for_tone(TONE, time.monotonic(), AFTER_STALL))
    session.relay.stall()
    _back_after(session, lambda: _mock_call(session, "org.freedesktop.login1",
                                            "/org/freedesktop/login1",
                                            "org.freedesktop.DBus.Mock.EmitSignal",
                                            "org.freedesktop.login1.Manager", "PrepareForSleep",
                                            "b", "[<false>]"),
                "the system resumed", AFTER_RESUME, "resume with a stalled connection")


def the_network_returns(session):
    relay, player = session.relay, session.player
    since = _log_length(session)
    relay.go_away()
    player.shows_status("Reconnecting\u2026", "", timeout=20)
    # Past the tries 1, 2 and 4 s apart the next one is 8 s away: only the network's word can
    # bring the sound back within AFTER_NETWORK.
    wait_until(lambda: _waits_after_tries(session, 3, since), 30, "three tries turned away")
    relay.come_back()
    _back_after(session, lambda: _mock_call(session, "org.freedesktop.NetworkManager",
                                            "/org/freedesktop/NetworkManager",
                                            "org.freedesktop.DBus.Mock.SetGlobalConnectionState",
                                            "70"),
                "the network is connected", AFTER_NETWORK, "the network's return")


def an_outage_past_the_quick_tries(session):
    station = session.station
    _tune(session, 0)
    since = _log_length(session)
    station.stop()
    session.player.shows_status("Reconnecting\u2026", "", timeout=20)
    wait_until(lambda: _waits_after_tries(session, QUICK_TRIES, since), QUICK_TRIES_TAKE + 20,
               "the player's quick tries")
    station.start()
    back = time.monotonic()
    heard = session.recorder.wait_for_tone(TONE, back, AFTER_OUTAGE + 5)
    session.note(f"after the quick tries: sound back {heard - back:.2f} s after the "
                 "server's return, with no click")
    session.check(f"after the quick tries the sound is back within {AFTER_OUTAGE:.0f} s",
                  heard - back <= AFTER_OUTAGE, f"{heard - back:.2f} s")


def _mock_call(session, service, path, method, *args):
    # The silence that follows may not begin before the call returns: no answer is awaited.
    session.system.run(["gdbus", "call", "--system", "-d", service, "-o", path, "-m", method,
                        *args])


if __name__ == "__main__":
    long_run = os.environ.get("WAVELARK_E2E_LONG") == "1"
    run([on_the_air, an_outage_past_the_quick_tries] if long_run else
        [on_the_air, a_stall_is_replaced, a_resume_reloads, the_network_returns],
        tools=("dbus-daemon", "gdbus"), modules=("dbusmock",))
