#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A small X client over libX11 (ctypes, nothing to build) for end-to-end tests: it counts
bells (XkbBellNotify) and mapped windows, closes a window as a window manager's close box
does (WM_DELETE_WINDOW), and grabs a rectangle of the screen as PNG.

    with X11Client(display) as x:
        x.watch_bells(); x.watch_maps()
        ...
        x.wait_for_bells(3, timeout=20)   # the bells rung so far, once 3 came or time ran out
        x.grab_png(0, 0, 154, 165, "shot.png")
"""

import ctypes
import ctypes.util
import select
import struct
import time
import zlib

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XkbQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 5
_x11.XkbSelectEvents.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetPixel.restype = ctypes.c_ulong
_x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XDestroyImage.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]

MAP_NOTIFY = 19
CLIENT_MESSAGE = 33
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
XKB_USE_CORE_KBD = 0x0100
XKB_BELL_NOTIFY = 8
XKB_BELL_NOTIFY_MASK = 1 << 8
Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFF
# XEvent is a union of 24 longs; in every Xkb event xkb_type follows type, serial,
# send_event, display and time.
_EVENT_SIZE = 24 * 8
_XKB_TYPE_OFFSET = 40


class X11Client:
    def __init__(self, display):
        self._display = _x11.XOpenDisplay(display.encode())
        if not self._display:
            raise RuntimeError("cannot open display " + display)
        self._xkb_event = None
        self.bells = 0
        self.maps = 0

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def close(self):
        if self._display:
            _x11.XCloseDisplay(self._display)
            self._display = None

    def watch_bells(self):
        values = [ctypes.c_int() for _ in range(5)]
        if not _x11.XkbQueryExtension(self._display, *[ctypes.byref(v) for v in values]):
            raise RuntimeError("the X server has no XKB")
        self._xkb_event = values[1].value
        _x11.XkbSelectEvents(self._display, XKB_USE_CORE_KBD, XKB_BELL_NOTIFY_MASK, XKB_BELL_NOTIFY_MASK)
        _x11.XSync(self._display, 0)

    def watch_maps(self):
        """Counts every top-level window mapped from now on."""
        _x11.XSelectInput(self._display, _x11.XDefaultRootWindow(self._display), SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XSync(self._display, 0)

    def pump(self, timeout=0.0):
        """Reads the events that came, waiting up to `timeout` seconds for the first."""
        if not _x11.XPending(self._display) and timeout > 0:
            select.select([_x11.XConnectionNumber(self._display)], [], [], timeout)
        event = ctypes.create_string_buffer(_EVENT_SIZE)
        while _x11.XPending(self._display):
            _x11.XNextEvent(self._display, event)
            kind = struct.unpack_from("i", event.raw, 0)[0]
            if kind == MAP_NOTIFY:
                self.maps += 1
            elif kind == self._xkb_event and struct.unpack_from("i", event.raw, _XKB_TYPE_OFFSET)[0] == XKB_BELL_NOTIFY:
                self.bells += 1

    def wait_for_bells(self, count, timeout):
        deadline = time.monotonic() + timeout
        while self.bells < count and time.monotonic() < deadline:
            self.pump(min(0.2, max(0.0, deadline - time.monotonic())))
        return self.bells

    def close_window(self, window):
        """Asks `window` to close the way a window manager does for its close box."""
        event = ctypes.create_string_buffer(_EVENT_SIZE)
        protocols = _x11.XInternAtom(self._display, b"WM_PROTOCOLS", 0)
        delete = _x11.XInternAtom(self._display, b"WM_DELETE_WINDOW", 0)
        # XClientMessageEvent: type, serial, send_event, display, window, message_type,
        # format, then data.l[0] (the protocol) and data.l[1] (the time).
        struct.pack_into("i", event, 0, CLIENT_MESSAGE)
        struct.pack_into("QQ", event, 32, window, protocols)
        struct.pack_into("i", event, 48, 32)
        struct.pack_into("qq", event, 56, delete, 0)
        if not _x11.XSendEvent(self._display, window, 0, 0, event):
            raise RuntimeError("XSendEvent failed")
        _x11.XFlush(self._display)

    def grab_png(self, x, y, width, height, path):
        root = _x11.XDefaultRootWindow(self._display)
        image = _x11.XGetImage(self._display, root, x, y, width, height, ALL_PLANES, Z_PIXMAP)
        if not image:
            raise RuntimeError("XGetImage failed")
        try:
            rows = []
            for row in range(height):
                line = bytearray(b"\0")  # PNG filter: none
                for column in range(width):
                    pixel = _x11.XGetPixel(image, column, row)
                    line += bytes(((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF))
                rows.append(bytes(line))
        finally:
            _x11.XDestroyImage(image)
        write_png(path, width, height, b"".join(rows))


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, width, height, raw):
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
                   + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b""))

