"""A mouse for a headless wlroots compositor: a Wayland client that speaks the wire protocol
itself and drives one zwlr_virtual_pointer_v1.

A headless sway has no input devices, so its seat offers no pointer and clients never see one;
this virtual device gives the seat its pointer for as long as the connection stays open. Every
request is followed by a round trip, so when a call returns the compositor has handled it.

    pointer = VirtualPointer("/run/.../wayland-1", (1024, 768))
    pointer.click(100, 200)
    pointer.close()
"""

import socket
import struct
import time

_BTN = {1: 0x110, 2: 0x112, 3: 0x111}  # linux/input-event-codes.h: left, middle, right
_TIMEOUT = 20


def _string(text):
    data = text.encode() + b"\0"
    padded = data + b"\0" * (-len(data) % 4)
    return struct.pack("<I", len(data)) + padded


class VirtualPointer:
    def __init__(self, socket_path, extent):
        self.extent = extent
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(_TIMEOUT)
        self._socket.connect(socket_path)
        self._next_id = 2  # 1 is wl_display
        self._buffer = b""
        self._globals = {}
        registry = self._new_id()
        self._send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
        self._registry = registry
        self._round_trip()
        name, version = self._globals["zwlr_virtual_pointer_manager_v1"]
        manager = self._bind(name, "zwlr_virtual_pointer_manager_v1", 1)
        self._pointer = self._new_id()
        # create_virtual_pointer(seat = null: the default seat, id)
        self._send(manager, 0, struct.pack("<II", 0, self._pointer))
        self._round_trip()

    def _new_id(self):
        self._next_id += 1
        return self._next_id - 1

    def _send(self, target, opcode, payload=b""):
        header = struct.pack("<II", target, ((8 + len(payload)) << 16) | opcode)
        self._socket.sendall(header + payload)

    def _bind(self, name, interface, version):
        new = self._new_id()
        payload = struct.pack("<I", name) + _string(interface) + struct.pack("<II", version, new)
        self._send(self._registry, 0, payload)  # wl_registry.bind
        return new

    def _round_trip(self):
        """wl_display.sync, reading events until its callback is done."""
        callback = self._new_id()
        self._send(1, 0, struct.pack("<I", callback))
        deadline = time.monotonic() + _TIMEOUT
        while time.monotonic() < deadline:
            while len(self._buffer) >= 8:
                sender, word = struct.unpack_from("<II", self._buffer)
                size, opcode = word >> 16, word & 0xFFFF
                if len(self._buffer) < size:
                    break
                body, self._buffer = self._buffer[8:size], self._buffer[size:]
                if sender == 1 and opcode == 0:  # wl_display.error
                    raise RuntimeError(f"Wayland protocol error: {body!r}")
                if sender == self._registry and opcode == 0:  # wl_registry.global
                    name, length = struct.unpack_from("<II", body)
                    interface = body[8 : 8 + length - 1].decode()
                    version = struct.unpack_from("<I", body, 8 + length + (-length % 4))[0]
                    self._globals[interface] = (name, version)
                if sender == callback:
                    return
            chunk = self._socket.recv(4096)
            if not chunk:
                raise RuntimeError("the compositor closed the connection")
            self._buffer += chunk
        raise RuntimeError("the compositor did not answer")

    def _time(self):
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(self, x, y):
        width, height = self.extent
        # motion_absolute(time, x, y, x_extent, y_extent), then frame
        self._send(self._pointer, 1, struct.pack("<IIIII", self._time(), x, y, width, height))
        self._send(self._pointer, 4)
        self._round_trip()

    def button(self, button, pressed):
        self._send(self._pointer, 2, struct.pack("<III", self._time(), _BTN[button], int(pressed)))
        self._send(self._pointer, 4)
        self._round_trip()

    def click(self, x, y, button=1):
        self.move(x, y)
        self.button(button, True)
        self.button(button, False)

    def close(self):
        self._socket.close()
