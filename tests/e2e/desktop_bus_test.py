#!/usr/bin/python3
"""The player on a session bus: media controls, one running copy, song notifications, D-Bus tray.

On a private bus with a local station and sound server, playerctl starts, stops, steps through
the stations and sets the volume, and the window and the sound follow; a title change on the
station is announced as PropertiesChanged. A second start shows the first copy and ends; when
the first copy hangs, the second says so and fails. While the window is hidden, a new song
gives one desktop notification that replaces the last. On a desktop whose only tray is a
StatusNotifierWatcher the icon registers there and its Activate and ContextMenu act; when that
panel starts after the player, minimising leaves an ordinary minimised window, and an XEmbed
tray that starts later still gets the icon.
"""

import os
import re
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import player as layout  # noqa: E402
from desktop import Desktop  # noqa: E402
from player import Player  # noqa: E402
from processes import wait_until  # noqa: E402
from session_bus import SessionBus  # noqa: E402
from sound import SoundServer  # noqa: E402
from suite import run  # noqa: E402
from tone_station import ToneStation  # noqa: E402
from tray_test import _hidden, _restored  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MPRIS = ["org.mpris.MediaPlayer2.wavelark", "/org/mpris/MediaPlayer2"]
NOWHERE = [("Nowhere", "http://127.0.0.1:1/", "Nowhere")]
FIRST_SOUND = 9.0  # the 5 s pre-buffer and room for a busy machine


def _stations(station):
    """Slots 0 and 18 hold the local tones, the others addresses nobody can tune; slot 13 is
    the built-in station, which this test never reaches."""
    lines = [(f"Empty {k}", "none", "") for k in range(19)]
    lines[0] = ("A", station.url("/a.mp3"), "Station A")
    lines[18] = ("Last", station.url("/b.mp3"), "Last station")
    return lines


def _playerctl(session, *args):
    return session.bus.run(["playerctl", "-p", "wavelark", *args])


def _errors_by_the_book(session):
    """Wrong calls are answered with the errors D-Bus names for them; introspection without an
    interface name lists the player's interfaces."""
    import dbus
    connection = dbus.bus.BusConnection(session.bus.address)

    def call(interface, member, signature="", args=()):
        try:
            return connection.call_blocking(MPRIS[0], MPRIS[1], interface, member, signature,
                                            args, timeout=10)
        except dbus.DBusException as error:
            return error.get_dbus_name().rsplit(".", 1)[-1]

    properties, player = "org.freedesktop.DBus.Properties", "org.mpris.MediaPlayer2.Player"
    seen = [call(player, "Rewind"),
            call(properties, "Set", "ssv", (player, "Shuffle", dbus.Boolean(True))),
            call(properties, "GetAll", "s", ("org.example.Nothing",)),
            call(properties, "Get", "s", (player,))]
    expected = ["UnknownMethod", "UnknownProperty", "UnknownInterface", "UnknownMethod"]
    session.check("wrong calls get the errors D-Bus names", seen == expected, f"{seen}")
    # Qt reports a value it cannot write as a failed write, and the volume stays as it was.
    refused = call(properties, "Set", "ssv", (player, "Volume", "loud"))
    volume = call(properties, "Get", "ss", (player, "Volume"))
    session.check("a volume that is no number is refused",
                  refused in ("InvalidArgs", "InternalError") and volume == 1.0,
                  f"{refused}, {volume}")
    xml = str(call(None, "Introspect"))
    session.check("introspection lists the player's interfaces",
                  'name="org.mpris.MediaPlayer2"' in xml and f'name="{player}"' in xml)
    connection.close()


def _step(session, command, name, tone):
    """playerctl next/previous; the window names `name` and its tone is heard."""
    asked = time.monotonic()
    _playerctl(session, command)
    session.player.shows_station(name, timeout=10)
    session.recorder.wait_for_tone(tone, asked, FIRST_SOUND)
    session.check(f"{command}: {name} plays and the window names it", True)


def media_controls(session):
    desktop = Desktop(session.processes, session.scratch("desktop"))
    desktop.start_tray()
    sound = SoundServer(session.processes, session.folder)
    station = ToneStation(session.processes, session.folder)
    station.add_mount("/a.mp3", 440)
    station.add_mount("/b.mp3", 660)
    station.start()
    station.set_title("/a.mp3", "Song one")
    bus = SessionBus(session.processes, session.folder)
    session.desktop, session.bus, session.station = desktop, bus, station
    session.recorder = sound.record()
    session.player = Player(session, desktop, _stations(station),
                            env={**sound.client_variables(), **bus.variables()})
    session.player.wait_for_window()
    monitor = bus.start("monitor", ["dbus-monitor", "--address", bus.address,
                                    "type='signal',member='PropertiesChanged',"
                                    "path='/org/mpris/MediaPlayer2'"])
    wait_until(lambda: session.processes.log("monitor"), 10, "dbus-monitor to listen")
    session.monitor = monitor

    wait_until(lambda: "wavelark" in bus.run(["playerctl", "-l"], check=False), 10,
               "the player on the bus")
    entry = bus.run(["gdbus", "call", "--session", "-d", MPRIS[0], "-o", MPRIS[1], "-m",
                     "org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2",
                     "DesktopEntry"])
    session.check("DesktopEntry names the installed desktop file",
                  os.path.exists(os.path.join(HERE, "../../packaging",
                                              re.sub(r"[(<>',)]", "", entry) + ".desktop")),
                  entry)
    status = _playerctl(session, "status")
    session.check("before any station: Stopped", status == "Stopped", status)
    _errors_by_the_book(session)

    station.wait_for_burst("/a.mp3")
    station.wait_for_burst("/b.mp3")
    # Which slot each step reaches is the remote control's own test; here the bus carries
    # both commands and the sound follows.
    _step(session, "previous", "Last station", 660)  # before any tuning: the last station
    status = _playerctl(session, "status")
    session.check("status Playing", status == "Playing", status)
    _step(session, "next", "Station A", 440)  # round the end
    title = wait_until(lambda: _playerctl(session, "metadata", "title") == "Song one", 15,
                       "the stream's title in the metadata")
    album = _playerctl(session, "metadata", "album")
    session.check("title is the song, album the station", title and album == "Station A", album)

    station.set_title("/a.mp3", "Song two")
    wait_until(lambda: "Song two" in session.processes.log("monitor"), 15,
               "PropertiesChanged with the new title")
    session.check("a new title on the station: PropertiesChanged carries it", True)

    heard = session.recorder.wait_for_tone(440, time.monotonic(), FIRST_SOUND)
    full = session.recorder.tone_level(440, heard, heard + 1.0)
    _playerctl(session, "volume", "0.5")
    session.player.shows_volume("16")
    lowered = time.monotonic()
    volume = _playerctl(session, "volume")
    low = session.recorder.tone_level(440, lowered + 0.5, lowered + 1.5)
    session.check("volume 0.5: the readout says 16 and reads back 16/31",
                  abs(float(volume) - 16 / 31) < 1e-3, volume)
    session.check("and the tone is 30 dB lower (within 3 dB)", abs(full - low - 30) <= 3,
                  f"{full:.1f} -> {low:.1f} dBFS")
    _playerctl(session, "volume", "1")
    session.player.shows_volume("31 Highest")

    asked = time.monotonic()
    _playerctl(session, "pause")
    session.recorder.wait_for_silence(asked, 3.0)
    status = _playerctl(session, "status")
    session.check("pause silences the stream and reads Stopped", status == "Stopped", status)
    asked = time.monotonic()
    _playerctl(session, "play-pause")
    session.recorder.wait_for_tone(440, asked, FIRST_SOUND)
    session.check("play-pause plays it again", _playerctl(session, "status") == "Playing")
    log = session.processes.log("monitor")
    session.check("PropertiesChanged never carries Position", "Position" not in log)


def a_second_start_shows_the_first(session):
    desktop, first = session.desktop, session.player
    desktop.minimise(first.window.id)
    wait_until(lambda: _hidden(desktop, first.window.id), 10, "the window to hide")
    second = Player(session, desktop, NOWHERE, env=session.bus.variables(), name="second")
    code = second.wait_for_exit(20)
    session.check("a second start ends with status 0", code == 0, f"exit code {code}")
    wait_until(lambda: _restored(desktop, first.window.id), 10, "the first window to return")
    session.check("and brings the first copy's window back", True)


def a_hung_copy_is_named(session):
    """The first copy stopped: a second start cannot raise it, says so and fails."""
    first = session.player.process
    first.send_signal(signal.SIGSTOP)
    try:
        second = Player(session, session.desktop, NOWHERE, env=session.bus.variables(),
                        name="hung")
        desktop, pid = session.desktop, f"= {second.process.pid}"

        def message():  # the first copy has windows of that name too (its tray icon)
            for window in desktop.find_windows("Wavelark"):
                info = desktop.window_info(window)
                ours = desktop.property(window, "_NET_WM_PID").strip().endswith(pid)
                if info and info.viewable and ours:
                    return window
            return None
        desktop.activate(wait_until(message, 30, "the second start's message"))
        desktop.key("Return")
        code = second.wait_for_exit(15)
    finally:
        first.send_signal(signal.SIGCONT)
    session.check("with the first copy stopped, a second start shows a message and fails",
                  code not in (0, None), f"exit code {code}")


def _notifications(session):
    return re.findall(r'Notify "Wavelark" (\d+) "[^"]*" "([^"]*)" "([^"]*)"',
                      session.processes.log("notifications"))


def song_notifications(session):
    desktop, station, window_id = session.desktop, session.station, session.player.window.id
    session.bus.start("notifications", [sys.executable, "-m", "dbusmock", "--session",
                                        "--template", "notification_daemon"])
    wait_until(lambda: "org.freedesktop.Notifications" in session.bus.run(
        ["gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus",
         "-m", "org.freedesktop.DBus.ListNames"]), 20, "the notification service")

    station.set_title("/a.mp3", "Shown song")  # with the window on show: no notification
    wait_until(lambda: _playerctl(session, "metadata", "title") == "Shown song", 15, "the title")
    desktop.minimise(window_id)
    wait_until(lambda: _hidden(desktop, window_id), 10, "the window to hide")
    for title in ("Song three", "Song four"):
        station.set_title("/a.mp3", title)
        wait_until(lambda: _playerctl(session, "metadata", "title") == title, 15, title)
    wait_until(lambda: len(_notifications(session)) >= 2, 15, "the notifications")
    shown = _notifications(session)
    session.check("one notification per new song while hidden, naming station and title",
                  shown == [("0", "Station A", "Song three"), ("1", "Station A", "Song four")],
                  f"{shown}")


def quit_leaves_the_bus_to_the_next_start(session):
    """Quit is the tray menu's Exit: with the About window open the program goes on, but a new
    start must then run a player of its own rather than raise the one that is gone."""
    desktop, player = session.desktop, session.player
    session.bus.run(["gdbus", "call", "--session", "-d", MPRIS[0], "-o", MPRIS[1], "-m",
                     "org.mpris.MediaPlayer2.Raise"])
    wait_until(lambda: _restored(desktop, player.window.id), 10, "the window on show")
    player.click(layout.ABOUT_LABEL)
    desktop.wait_for_window(layout.ABOUT_TITLE, 15)
    session.bus.run(["gdbus", "call", "--session", "-d", MPRIS[0], "-o", MPRIS[1], "-m",
                     "org.mpris.MediaPlayer2.Quit"])
    wait_until(lambda: not _restored(desktop, player.window.id), 10, "the player window to go")
    session.check("Quit unloads the player window", player.process.poll() is None)
    again = Player(session, desktop, NOWHERE, env=session.bus.variables(), name="again")
    again.wait_for_window()  # fails if it ended instead
    session.check("a new start then runs its own player", True)
    session.processes.stop(again.process)
    session.processes.stop(player.process)


def the_d_bus_tray(session):
    desktop = Desktop(session.processes, session.scratch("plain-desktop"))  # no XEmbed tray
    bus = SessionBus(session.processes, session.folder, name="tray-bus")
    watcher = [sys.executable, "-m", "dbusmock", "--session", "--template",
               os.path.join(HERE, "status_notifier_watcher.py")]
    bus.start("watcher", watcher)
    items = ["gdbus", "call", "--session", "-d", "org.kde.StatusNotifierWatcher", "-o",
             "/StatusNotifierWatcher", "-m", "org.freedesktop.DBus.Properties.Get",
             "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"]
    wait_until(lambda: bus.run(items, check=False).startswith("("), 20, "the watcher")
    player = Player(session, desktop, NOWHERE, env=bus.variables(), name="sni")
    window_id = player.wait_for_window().id
    item = wait_until(lambda: re.findall(r"'([^']+)'", bus.run(items)), 20,
                      "the icon to register")[0]
    call = ["gdbus", "call", "--session", "-d", item, "-o", "/StatusNotifierItem", "-m"]
    tip = bus.run(call + ["org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem",
                          "ToolTip"])
    session.check("the icon registers with the watcher, with its tip",
                  "Skyvane Wavelark Player" in tip, tip)
    desktop.minimise(window_id)
    wait_until(lambda: _hidden(desktop, window_id), 10, "the window to hide")
    bus.run(call + ["org.kde.StatusNotifierItem.Activate", "0", "0"])
    wait_until(lambda: _restored(desktop, window_id), 10, "the window to return")
    session.check("minimise hides the window and Activate brings it back", True)
    before = desktop.override_redirect_windows()
    bus.run(call + ["org.kde.StatusNotifierItem.ContextMenu", "0", "0"])
    menu = desktop.wait_for_popup(before)
    rows = len(desktop.menu_items(menu))
    session.check("ContextMenu pops up the menu", rows == 5, f"{rows} rows")
    desktop.key("Escape")
    session.processes.stop(player.process)

    # The panel comes after the player: Qt has settled on XEmbed, which nobody offers.
    late_bus = SessionBus(session.processes, session.folder, name="late-bus")
    late = Player(session, desktop, NOWHERE, env=late_bus.variables(), name="late")
    window_id = late.wait_for_window().id
    late_bus.start("late-watcher", watcher)
    wait_until(lambda: late_bus.run(items, check=False).startswith("("), 20, "the late watcher")
    desktop.minimise(window_id)
    wait_until(lambda: desktop.wm_state(window_id) == "Iconic", 10, "the window to minimise")
    session.check("with a late panel, minimise leaves a minimised window", True)
    late_bus.run(["gdbus", "call", "--session", "-d", MPRIS[0], "-o", MPRIS[1], "-m",
                  "org.mpris.MediaPlayer2.Raise"])
    wait_until(lambda: _restored(desktop, window_id), 10, "the window to return")
    session.check("and Raise brings it back", True)
    # A late panel with an XEmbed area does get the icon.
    desktop.start_tray()
    icon = wait_until(desktop.tray_icons, 15, "the icon in the late tray")[0]
    desktop.minimise(window_id)
    wait_until(lambda: _hidden(desktop, window_id), 10, "the window to hide")
    desktop.click_tray_icon(icon, 1)
    wait_until(lambda: _restored(desktop, window_id), 10, "the window to return")
    session.check("a late XEmbed tray gets the icon: minimise hides, a click restores", True)


if __name__ == "__main__":
    run([media_controls, a_second_start_shows_the_first, a_hung_copy_is_named,
         song_notifications, quit_leaves_the_bus_to_the_next_start, the_d_bus_tray],
        tools=["dbus-daemon", "dbus-monitor", "gdbus", "playerctl"], modules=["dbusmock"])
