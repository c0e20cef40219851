"""Two cheap looks at an X server through libX11 itself (ctypes, no extra packages to build):

    screen = ScreenRegion(display, (220, 87, 467, 216))
    changes = screen.watch(before, quiet=0.5, timeout=10)   # [(monotonic time, content hash)]

    counter = DamageCounter(display, window_id)   # counts the window's repaints from now on
    ... ; paints = counter.stop()                 # [server times (ms) the repaints began]

A screenshot tool costs tens of milliseconds a call; one XGetSubImage of a window-sized rect
costs well under one, so a poll can tell when a window reached its final look to about 1 ms.
The DAMAGE extension reports every drawing the server does into a window, whoever drew it, so
counting its reports counts the repaints that really reached the screen, with nothing added
to the program under test.
"""

import ctypes
import ctypes.util
import hashlib
import select
import threading
import time

_ALL_PLANES = ctypes.c_ulong(0xFFFFFFFFFFFFFFFF)
_Z_PIXMAP = 2
_DAMAGE_REPORT_RAW_RECTANGLES = 0
# Drawing reports closer together than this (server milliseconds) belong to one repaint, one
# flush of the window's backing store.
_SAME_PAINT_MS = 4


def _library(name, soname):
    path = ctypes.util.find_library(name) or soname
    return ctypes.CDLL(path)


_x11 = _library("X11", "libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetSubImage.restype = ctypes.c_void_p
_x11.XGetSubImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
                              ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XSetErrorHandler.restype = ctypes.c_void_p
_x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]

# A window that goes away while it is watched must not end this process (Xlib's default).
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
_x11.XSetErrorHandler(ctypes.cast(_ERROR_HANDLER, ctypes.c_void_p))


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, then its table of functions (destroy_image second).
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
        ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
        ("obdata", ctypes.c_void_p), ("create_image", ctypes.c_void_p),
        ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)),
    ]


class _Rectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


class _DamageNotify(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p), ("drawable", ctypes.c_ulong), ("damage", ctypes.c_ulong),
        ("level", ctypes.c_int), ("more", ctypes.c_int), ("timestamp", ctypes.c_ulong),
        ("area", _Rectangle), ("geometry", _Rectangle),
    ]


def _open(display):
    connection = _x11.XOpenDisplay(display.encode())
    if not connection:
        raise RuntimeError(f"cannot open X display {display}")
    return connection


class ScreenRegion:
    """A rect of the screen (root window, so every window on top is included), read fast."""

    def __init__(self, display, rect):
        self._display = _open(display)
        self._root = _x11.XDefaultRootWindow(self._display)
        self.rect = rect
        left, top, width, height = rect
        self._image = _x11.XGetImage(self._display, self._root, left, top, width, height,
                                     _ALL_PLANES, _Z_PIXMAP)
        if not self._image:
            raise RuntimeError(f"cannot read the screen at {rect}")
        fields = _XImage.from_address(self._image)
        self._size = fields.bytes_per_line * fields.height
        self._data = fields.data

    def digest(self):
        """A hash of the rect's pixels now."""
        left, top, width, height = self.rect
        _x11.XGetSubImage(self._display, self._root, left, top, width, height, _ALL_PLANES,
                          _Z_PIXMAP, self._image, 0, 0)
        return hashlib.blake2b(ctypes.string_at(self._data, self._size), digest_size=16).digest()

    def watch(self, before, quiet, timeout, poll=0.001):
        """Reads the rect every `poll` seconds until its content has differed from the digest
        `before` and then stayed the same for `quiet` seconds, or `timeout` seconds passed.
        Returns every change seen, as [(monotonic time, digest)]."""
        changes = []
        last = before
        deadline = time.monotonic() + timeout
        while True:
            now = time.monotonic()  # the content seen was there when the read began
            digest = self.digest()
            if digest != last:
                changes.append((now, digest))
                last = digest
            elif changes and now - changes[-1][0] >= quiet and last != before:
                return changes
            if now > deadline:
                return changes
            time.sleep(poll)

    def close(self):
        if self._image:
            _XImage.from_address(self._image).destroy_image(self._image)
            self._image = None
        if self._display:
            _x11.XCloseDisplay(self._display)
            self._display = None


class DamageCounter:
    """Counts repaints of one window from a thread of its own until stop()."""

    def __init__(self, display, window_id):
        self._damage_lib = _library("Xdamage", "libXdamage.so.1")
        self._damage_lib.XDamageQueryExtension.argtypes = [
            ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
        self._damage_lib.XDamageCreate.restype = ctypes.c_ulong
        self._damage_lib.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self._damage_lib.XDamageDestroy.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self._display = _open(display)
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not self._damage_lib.XDamageQueryExtension(self._display, ctypes.byref(event_base),
                                                      ctypes.byref(error_base)):
            _x11.XCloseDisplay(self._display)
            raise RuntimeError("the X server has no DAMAGE extension")
        self._event_type = event_base.value  # XDamageNotify is the extension's first event
        self._damage = self._damage_lib.XDamageCreate(self._display, window_id,
                                                      _DAMAGE_REPORT_RAW_RECTANGLES)
        _x11.XSync(self._display, 0)
        # (server time in ms, x, y, width, height) of every drawing reported, for a closer look.
        self.reports = []
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        socket = _x11.XConnectionNumber(self._display)
        event = ctypes.create_string_buffer(192)  # sizeof(XEvent)
        while not self._stopping.is_set():
            if not _x11.XPending(self._display):
                select.select([socket], [], [], 0.05)
                continue
            _x11.XNextEvent(self._display, event)
            notify = _DamageNotify.from_buffer(event)
            if notify.type == self._event_type:
                area = notify.area
                self.reports.append((notify.timestamp, area.x, area.y, area.width, area.height))

    def stop(self):
        """Stops counting; returns the server time (ms) at which each repaint began."""
        self._stopping.set()
        self._thread.join(timeout=5)
        self._damage_lib.XDamageDestroy(self._display, self._damage)
        _x11.XCloseDisplay(self._display)
        paints = []
        for moment, *_ in self.reports:
            if not paints or moment - last > _SAME_PAINT_MS:
                paints.append(moment)
            last = moment
        return paints
