"""A throwaway X desktop: Xvfb on a free display, openbox, optionally a trayer notification area.

It drives windows as a person would, with real XTEST input from xdotool (pointer moves, clicks,
keys reach whatever window is under the pointer or focused), reads window state with xwininfo
and xprop (xdotool's own geometry is wrong under openbox's reparenting), and takes screenshots
of the root window with ImageMagick's import.

    processes = ProcessSet(folder)
    try:
        desktop = Desktop(processes, folder)
        desktop.start_tray()
        ...start a program with env=desktop.env()...
        window = desktop.wait_for_window("Some title")
        desktop.click(window.left + 10, window.top + 10)
        picture = desktop.screenshot().crop(window.left, window.top, window.width, window.height)
    finally:
        processes.close()
"""

import json
import os
import re
import select
import struct
import subprocess
import time
from dataclasses import dataclass

from picture import Picture
from processes import wait_until

# Every X tool call is bounded; a healthy Xvfb answers in milliseconds.
_TOOL_TIMEOUT = 20
# Longer than Qt's double-click interval (400 ms).
_DOUBLE_CLICK_GAP = 0.45


@dataclass(frozen=True)
class WindowInfo:
    """What xwininfo says about one window; places are absolute screen pixels."""

    id: int
    name: str
    left: int
    top: int
    width: int
    height: int
    viewable: bool  # mapped, and so are all its ancestors
    mapped: bool  # mapped itself (IsViewable or IsUnviewable)
    override_redirect: bool

    def centre(self):
        return self.left + self.width // 2, self.top + self.height // 2


class Desktop:
    """Xvfb with openbox on a display nobody else uses, ended with the process set."""

    def __init__(self, processes, folder, size=(1024, 768)):
        self.processes = processes
        self.folder = folder
        self.size = size
        self.tray = None
        self._xvfb = None
        self._last_tray_click = 0.0
        self._start_server()
        self._start_window_manager()

    # --- start-up ------------------------------------------------------------------------

    def _start_server(self):
        # Xvfb picks a free display itself and writes its number to the pipe once it accepts
        # connections: no guessing of numbers, no race with other servers on this machine.
        read_end, write_end = os.pipe()
        try:
            self._xvfb = self.processes.start(
                "xvfb",
                [
                    "Xvfb",
                    "-displayfd",
                    str(write_end),
                    "-screen",
                    "0",
                    f"{self.size[0]}x{self.size[1]}x24",
                    "-nolisten",
                    "tcp",
                    "-noreset",
                ],
                pass_fds=(write_end,),
            )
            os.close(write_end)
            write_end = None
            # Xvfb writes the number and the newline separately and dies if the pipe is closed
            # in between: read up to the newline.
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
                chunk = os.read(read_end, 64) if ready else b""
                if not chunk:
                    break
                number += chunk
            number = number.decode().strip()
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        if not number.isdigit():
            raise RuntimeError("Xvfb did not start:\n" + self.processes.log("xvfb"))
        self.display = ":" + number

    def _start_window_manager(self):
        self.processes.start("openbox", ["openbox", "--sm-disable"], env=self.env())
        # openbox marks the root window before it reaches its event loop; a window mapped in
        # between stays unmanaged. A request that only the loop answers proves it is running:
        # one desktop instead of four.
        wait_until(
            lambda: "window id #" in self._run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]),
            20,
            "openbox to claim the screen",
        )

        def answers():
            # A request sent before openbox listens is lost, so it is sent again each time.
            self._run(["xdotool", "set_num_desktops", "1"], check=True)
            return self._run(["xprop", "-root", "_NET_NUMBER_OF_DESKTOPS"]).strip().endswith("= 1")

        wait_until(answers, 20, "openbox to answer requests")

    def env(self, extra=None):
        """An environment for programs on this desktop: our display, no session bus (so Qt
        uses the XEmbed notification area) and the X platform even if the caller set offscreen.
        The bus address is set to one that cannot work rather than left out: without one,
        libdbus would launch a bus of its own for the display (dbus-x11), left behind after
        the test."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("DBUS_")}
        env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        env["DISPLAY"] = self.display
        env["QT_QPA_PLATFORM"] = "xcb"
        env["LC_ALL"] = "C.UTF-8"  # xprop then prints UTF-8 titles as they are
        env.pop("XAUTHORITY", None)
        if extra:
            env.update(extra)
        return env

    # --- the notification area -----------------------------------------------------------

    def start_tray(self):
        """Starts trayer, an XEmbed notification area along the bottom edge."""
        self.tray = self.processes.start(
            "trayer",
            [
                "trayer",
                "--edge",
                "bottom",
                "--align",
                "right",
                "--widthtype",
                "request",
                "--height",
                "24",
                "--SetDockType",
                "true",
            ],
            env=self.env(),
        )
        wait_until(self.tray_panel, 20, "trayer's panel")

    def stop_tray(self):
        if self.tray is not None:
            self.processes.stop(self.tray)
            self.tray = None
            wait_until(lambda: self.tray_panel() is None, 10, "trayer's panel to go")

    def tray_panel(self):
        """The id of trayer's panel window (the icons' parent), or None. Only a panel that
        openbox manages (reparented into a frame) counts: an unmanaged one is misplaced."""
        for window_id, name, depth in self.windows():
            if name == "panel" and depth > 0:
                return window_id
        return None

    def click_tray_icon(self, icon, button=1):
        """Clicks the middle of a tray icon (a WindowInfo from tray_icons). Clicks on the icon
        are kept further apart than the double-click interval, or the second of two left
        clicks would arrive as a double click."""
        pause = self._last_tray_click + _DOUBLE_CLICK_GAP - time.monotonic()
        if pause > 0:
            time.sleep(pause)
        self.click(*icon.centre(), button=button)
        self._last_tray_click = time.monotonic()

    def tray_icons(self):
        """The windows embedded in the notification area, as WindowInfo."""
        icons = []
        inside, panel_depth = False, 0
        for window_id, name, depth in self.windows():
            if inside and depth <= panel_depth:
                inside = False
            if name == "panel" and not inside:
                inside, panel_depth = True, depth
                continue
            # trayer wraps each icon in a socket window; the icon is the socket's child.
            if inside and depth == panel_depth + 2:
                info = self.window_info(window_id)
                if info is not None and info.viewable:
                    icons.append(info)
        return icons

    # --- windows -------------------------------------------------------------------------

    def _run(self, argv, check=False):
        result = subprocess.run(
            argv,
            env=self.env(),
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=_TOOL_TIMEOUT,
        )
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv[0]} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode("utf-8", "replace")

    def windows(self):
        """(id, name, depth) of every window below the root, in xwininfo's order."""
        windows = []
        for line in self._run(["xwininfo", "-root", "-tree"]).splitlines():
            match = re.match(r"^(\s+)(0x[0-9a-f]+) (?:\"(.*)\"|\(has no name\)):", line)
            if match:
                depth = (len(match.group(1)) - 5) // 3
                windows.append((int(match.group(2), 16), match.group(3), depth))
        return windows

    def top_level_windows(self):
        """Ids of the root window's children (frames, override-redirect windows...)."""
        return [window_id for window_id, _, depth in self.windows() if depth == 0]

    def window_info(self, window_id):
        """WindowInfo for the window, or None when it no longer exists."""
        text = self._run(["xwininfo", "-id", hex(window_id)])
        if "Map State" not in text:
            return None

        def field(label):
            return re.search(rf"^\s*{re.escape(label)}:\s*(.*)$", text, re.M).group(1).strip()

        name = re.search(r'Window id: 0x[0-9a-f]+ (?:"(.*)"|\(has no name\))', text)
        map_state = field("Map State")
        return WindowInfo(
            id=window_id,
            name=name.group(1) if name and name.group(1) is not None else "",
            left=int(field("Absolute upper-left X")),
            top=int(field("Absolute upper-left Y")),
            width=int(field("Width")),
            height=int(field("Height")),
            viewable=map_state == "IsViewable",
            mapped=map_state != "IsUnMapped",
            override_redirect=field("Override Redirect State") == "yes",
        )

    def find_windows(self, name):
        """Ids of the windows whose WM_NAME is exactly `name` (mapped or not)."""
        return [window_id for window_id, title, _ in self.windows() if title == name]

    def shown_window(self, prefix):
        """The WindowInfo of a viewable window whose title starts with `prefix`, or None."""
        for window_id, name, _ in self.windows():
            if name and name.startswith(prefix):
                info = self.window_info(window_id)
                if info is not None and info.viewable:
                    return info
        return None

    def wait_for_window(self, name, timeout=30):
        """The WindowInfo of the first viewable window called `name`."""

        def viewable():
            for window_id in self.find_windows(name):
                info = self.window_info(window_id)
                if info is not None and info.viewable:
                    return info
            return None

        return wait_until(viewable, timeout, f'a window called "{name}"')

    def property(self, window_id, name, length=None):
        """The text xprop prints for one property of the window ("" when it is not set); at most
        `length` bytes of it are read when given (xprop's own limit cuts large icons short)."""
        extra = ["-len", str(length)] if length else []
        text = self._run(["xprop", "-id", hex(window_id), *extra, name])
        return "" if "not found" in text or "no such atom" in text else text

    def title(self, window_id):
        """The title a window manager shows: _NET_WM_NAME, else WM_NAME."""
        for atom in ("_NET_WM_NAME", "WM_NAME"):
            match = re.search(r'= "(.*)"', self.property(window_id, atom))
            if match:
                return match.group(1)
        return None

    def wm_state(self, window_id):
        """ICCCM state: "Normal", "Iconic", "Withdrawn" or None when the window has none."""
        match = re.search(r"window state: (\w+)", self.property(window_id, "WM_STATE"))
        return match.group(1) if match else None

    def override_redirect_windows(self):
        """Viewable override-redirect windows on top of everything: popup menus, tooltips."""
        found = []
        for window_id in self.top_level_windows():
            info = self.window_info(window_id)
            if info is not None and info.viewable and info.override_redirect and info.width > 1:
                found.append(info)
        return found

    def wait_for_popup(self, before=(), timeout=10):
        """The first new override-redirect window (a popup menu) that was not in `before`."""
        known = {info.id for info in before}

        def new_popup():
            fresh = [info for info in self.override_redirect_windows() if info.id not in known]
            return fresh[0] if fresh else None

        return wait_until(new_popup, timeout, "a popup menu")

    def menu_items(self, menu):
        """The screen rows of a popup menu's items, top to bottom, as (top, bottom) bands of
        dark text; separators and the frame are light and do not count."""
        inside = self.screenshot().crop(menu.left + 3, menu.top + 3, menu.width - 6,
                                        menu.height - 6)
        dark = inside.bands(lambda r, g, b: r < 90 and g < 90 and b < 90)
        return [(menu.top + 3 + top, menu.top + 3 + bottom) for top, bottom in dark]

    # --- input ---------------------------------------------------------------------------

    def move_pointer(self, x, y):
        self._run(["xdotool", "mousemove", str(x), str(y)], check=True)

    def hover(self, x, y):
        """Moves the pointer onto (x, y) from one pixel away, so the window under it sees an
        entry and a motion, as a hand on a mouse always produces."""
        self.move_pointer(x - 1, y)
        self.move_pointer(x, y)

    def click(self, x, y, button=1):
        """Moves the pointer to (x, y) and presses and releases `button` there."""
        self._run(["xdotool", "mousemove", str(x), str(y), "click", str(button)], check=True)

    def press_button(self, button=1):
        """Clicks where the pointer is."""
        self._run(["xdotool", "click", str(button)], check=True)

    def button_down(self, button):
        """Presses `button` where the pointer is and holds it."""
        self._run(["xdotool", "mousedown", str(button)], check=True)

    def button_up(self, button):
        self._run(["xdotool", "mouseup", str(button)], check=True)

    def key(self, name):
        """Presses and releases a key (xdotool key names) in the focused window."""
        self._run(["xdotool", "key", name], check=True)

    def minimise(self, window_id):
        """Asks the window manager to iconify the window, as its title-bar button does."""
        self._run(["xdotool", "windowminimize", hex(window_id)], check=True)

    def activate(self, window_id):
        """Asks the window manager to bring the window back and focus it (a taskbar click)."""
        self._run(["xdotool", "windowactivate", hex(window_id)])

    # --- screenshots ---------------------------------------------------------------------

    def screenshot(self):
        """The whole screen as a Picture."""
        data = subprocess.run(
            ["import", "-window", "root", "-depth", "8", "ppm:-"],
            env=self.env(),
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=_TOOL_TIMEOUT,
            check=True,
        ).stdout
        return Picture.from_ppm(data)

    def wait_for_picture(self, rect, condition, timeout, what):
        """Polls screenshots until condition(crop of rect) holds; returns that crop."""

        def crop_if():
            crop = self.screenshot().crop(*rect)
            return crop if condition(crop) else None

        return wait_until(crop_if, timeout, what, interval=0.1)

    def wait_for_change(self, rect, before, timeout, what):
        """Polls until the screen inside rect differs from the Picture `before`."""
        return self.wait_for_picture(
            rect, lambda crop: crop.differing_pixels(before) > 0, timeout, what
        )



_SWAY_CONFIG = """output {output} mode {width}x{height} scale {scale} bg #203040 solid_color
seat * xcursor_theme blank
xwayland disable
focus_follows_mouse no
default_border normal
bar {{
    mode invisible
}}
"""


def _blank_cursor_theme(folder):
    """An XCursor theme "blank" whose pointers are one transparent pixel: on a headless output
    the compositor draws the pointer into every screenshot, where it would pass for a change
    the program made (a hover's highlight)."""
    image = struct.pack("<9I", 36, 0xFFFD0002, 1, 1, 1, 1, 0, 0, 0) + struct.pack("<I", 0)
    data = b"Xcur" + struct.pack("<4I", 16, 0x10000, 1, 0xFFFD0002) + struct.pack("<2I", 1, 28)
    cursors = os.path.join(folder, "blank", "cursors")
    os.makedirs(cursors)
    for name in ("default", "left_ptr", "pointer", "hand2", "text", "xterm", "wait", "watch",
                 "left_side", "right_side", "top_side", "bottom_side", "top_left_corner",
                 "top_right_corner", "bottom_left_corner", "bottom_right_corner"):
        with open(os.path.join(cursors, name), "wb") as file:
            file.write(data + image)


class WaylandDesktop:
    """A headless sway (the wlroots compositor) for programs that connect as Wayland clients,
    ended with the process set. The same shape as Desktop where Wayland allows: env(),
    screenshot(), click(), key(), wait_for_picture(); windows come from sway's tree, input from a
    virtual pointer (virtual_pointer.py) and wtype, screenshots from grim.

    sway refuses to run as root, so as root it runs as `nobody` with a runtime folder of its
    own inside the test's folder; its clients (root) reach its sockets by their full paths.
    """

    OUTPUT = "HEADLESS-1"

    def __init__(self, processes, folder, size=(1024, 768), scale=1):
        """`size` is the logical size; the output has `scale` times as many pixels."""
        self.processes = processes
        self.folder = folder
        self.size = size
        self.scale = scale
        self.runtime = os.path.join(folder, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        os.chmod(folder, 0o711)
        self._user = []
        if os.geteuid() == 0:
            os.chown(self.runtime, 65534, 65534)  # nobody:nogroup, on every Debian
            self._user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        _blank_cursor_theme(self.runtime)
        self.cursors = {"XCURSOR_PATH": self.runtime, "XCURSOR_THEME": "blank",
                        "XCURSOR_SIZE": "1"}
        config = os.path.join(self.runtime, "sway.conf")
        with open(config, "w") as file:
            file.write(_SWAY_CONFIG.format(output=self.OUTPUT, width=size[0] * scale,
                                           height=size[1] * scale, scale=scale))
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "WAYLAND_", "SWAYSOCK", "DISPLAY"))}
        env.update({"XDG_RUNTIME_DIR": self.runtime, "HOME": self.runtime,
                    "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": "1", **self.cursors})
        self.sway = processes.start("sway", [*self._user, "sway", "-c", config], env=env)

        def sockets():
            if self.sway.poll() is not None:
                raise RuntimeError("sway ended:\n" + processes.log("sway"))
            names = os.listdir(self.runtime)
            display = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            return (display[0], ipc[0]) if display and ipc else None

        display, ipc = wait_until(sockets, 20, "sway's sockets")
        self.display = os.path.join(self.runtime, display)
        self.ipc = os.path.join(self.runtime, ipc)
        wait_until(lambda: self.outputs(), 20, "sway's output")
        from virtual_pointer import VirtualPointer

        self.pointer = VirtualPointer(self.display, self.logical_size())

    def _as_user(self, name, argv):
        """Starts a program of the desktop's own (the compositors) as its user."""
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "WAYLAND_", "SWAYSOCK", "DISPLAY"))}
        env.update({"XDG_RUNTIME_DIR": self.runtime, "HOME": self.runtime,
                    "WAYLAND_DISPLAY": os.path.basename(self.display), **self.cursors})
        return self.processes.start(name, [*self._user, *argv], env=env)

    def start_weston(self, size=(900, 600)):
        """weston in a window of sway, with its desktop shell: there Qt draws the windows'
        title bars itself, minimise button included. Returns the socket path its clients
        use as WAYLAND_DISPLAY."""
        config = os.path.join(self.runtime, "weston.ini")
        with open(config, "w") as file:
            file.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff102030\n"
                       "panel-position=none\ncursor-theme=blank\ncursor-size=1\n")
        process = self._as_user("weston", [
            "weston", "--backend=wayland-backend.so", "--use-pixman", f"--width={size[0]}",
            f"--height={size[1]}", "--socket=weston-1", f"--config={config}"])
        socket_path = os.path.join(self.runtime, "weston-1")

        def listening():
            if process.poll() is not None:
                raise RuntimeError("weston ended:\n" + self.processes.log("weston"))
            return os.path.exists(socket_path)

        wait_until(listening, 20, "weston's socket")
        return socket_path

    def env(self, extra=None):
        """An environment for Wayland clients of this desktop: no X display, no session bus
        unless `extra` brings one, and no Qt platform named, so that the program picks Wayland
        itself as it does on a user's desktop."""
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("DBUS_", "WAYLAND_", "SWAYSOCK", "QT_QPA_PLATFORM"))}
        env.pop("DISPLAY", None)
        env.pop("XAUTHORITY", None)
        env.pop("XDG_SESSION_TYPE", None)  # which would make Qt pick Wayland by itself
        env.update({"DBUS_SESSION_BUS_ADDRESS": "disabled:", "WAYLAND_DISPLAY": self.display,
                    "SWAYSOCK": self.ipc, "LC_ALL": "C.UTF-8", **self.cursors})
        if extra:
            env.update(extra)
        return env

    def _run(self, argv, check=True):
        result = subprocess.run(argv, env=self.env(), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=_TOOL_TIMEOUT)
        if check and result.returncode != 0:
            raise RuntimeError(f"{argv[0]} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout

    def swaymsg(self, *command, kind=None):
        """A sway command (or, with kind, a query such as get_tree), its answer as JSON."""
        argv = ["swaymsg", "-s", self.ipc, "-r"] + (["-t", kind] if kind else []) + list(command)
        return json.loads(self._run(argv) or b"null")

    def outputs(self):
        return self.swaymsg(kind="get_outputs")

    def logical_size(self):
        rect = self.outputs()[0]["rect"]
        return rect["width"], rect["height"]

    def set_scale(self, scale):
        """The output's scale: clients draw at that many pixels per logical pixel. The output
        grows with it, so the desktop keeps its logical size."""
        width, height = self.size[0] * scale, self.size[1] * scale
        self.swaymsg(f"output {self.OUTPUT} mode {width}x{height} scale {scale}")
        self.scale = scale
        self.pointer.extent = self.logical_size()

    # --- windows -------------------------------------------------------------------------

    def windows(self):
        """Every window in sway's tree (tiled and floating) as (WindowInfo, node)."""
        found = []

        def walk(node):
            if node.get("type") in ("con", "floating_con") and node.get("pid"):
                rect, inner = node["rect"], node["window_rect"]
                found.append((WindowInfo(
                    id=node["id"], name=node.get("name") or "",
                    left=rect["x"] + inner["x"], top=rect["y"] + inner["y"],
                    width=inner["width"], height=inner["height"],
                    viewable=bool(node.get("visible")), mapped=True,
                    override_redirect=False), node))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(self.swaymsg(kind="get_tree"))
        return found

    def shown_window(self, prefix):
        """The WindowInfo of a window on show whose title starts with `prefix`, or None."""
        for info, _ in self.windows():
            if info.name.startswith(prefix) and info.viewable:
                return info
        return None

    def window_info(self, window_id):
        """WindowInfo for the window, or None when it is not mapped."""
        return next((info for info, _ in self.windows() if info.id == window_id), None)

    def focused(self):
        """The title of the window with the keyboard focus, or None."""
        return next((info.name for info, node in self.windows() if node.get("focused")), None)

    def wait_for_window(self, name, timeout=30):
        return wait_until(lambda: self.shown_window(name), timeout, f'a window called "{name}"')

    # --- input ---------------------------------------------------------------------------

    def move_pointer(self, x, y):
        self.pointer.move(x, y)

    def hover(self, x, y):
        self.pointer.move(x - 1, y)
        self.pointer.move(x, y)

    def click(self, x, y, button=1):
        self.pointer.click(x, y, button)

    def press_button(self, button=1):
        self.pointer.button(button, True)
        self.pointer.button(button, False)

    def key(self, name):
        """Presses and releases a key (an XKB key name) in the focused window."""
        self._run(["wtype", "-k", name])

    # --- screenshots ---------------------------------------------------------------------

    def screenshot(self):
        """The whole output as a Picture, in the output's own pixels (twice the logical size
        at scale 2)."""
        return Picture.from_ppm(self._run(["grim", "-t", "ppm", "-"]))

    wait_for_picture = Desktop.wait_for_picture
    wait_for_change = Desktop.wait_for_change
