#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Types on $DISPLAY through the XTEST extension (libXtst), and resizes a
window, so the demo can use the keyboard and a larger window under Xvfb
without a window manager or any extra tool.

Usage: xkeys.py STEP [STEP ...]
  key:ctrl+f     a key with modifiers (names as X keysyms: F3, Return, Escape)
  type:TEXT      the characters of TEXT (letters, digits, . - : / _ and space)
  resize:WID:W:H the window with id WID (as xwininfo prints it) to W x H"""
import ctypes
import sys
import time

MODIFIERS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}
NAMED = {" ": "space", ".": "period", "-": "minus", ":": "colon", "_": "underscore",
         "/": "slash"}


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                       ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if not display:
        print("xkeys: cannot open the display", file=sys.stderr)
        return 1

    def code(name):
        keycode = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
        if not keycode:
            raise SystemExit(f"xkeys: no key for {name!r}")
        return keycode

    def press(names):
        codes = [code(n) for n in names]
        for c in codes:
            xtst.XTestFakeKeyEvent(display, c, 1, 0)
        for c in reversed(codes):
            xtst.XTestFakeKeyEvent(display, c, 0, 0)
        x11.XFlush(display)
        time.sleep(0.08)

    for step in argv[1:]:
        kind, _, rest = step.partition(":")
        if kind == "key":
            parts = rest.split("+")
            press([MODIFIERS.get(p, p) for p in parts])
        elif kind == "type":
            for ch in rest:
                name = NAMED.get(ch, ch)
                press(["Shift_L", name] if ch.isupper() or ch in ":_" else [name])
        elif kind == "resize":
            wid, w, h = rest.split(":")
            x11.XResizeWindow(display, int(wid, 0), int(w), int(h))
            x11.XFlush(display)
        else:
            print(f"xkeys: unknown step {step!r}", file=sys.stderr)
            return 2
        time.sleep(0.3)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
