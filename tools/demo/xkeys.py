#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Types on $DISPLAY through the XTEST extension (libXtst), and resizes a
window, so the demo can use the keyboard and a larger window under Xvfb
without a window manager or any extra tool.

Usage: xkeys.py STEP [STEP ...]
  key:ctrl+f     a key with modifiers (names as X keysyms: F3, Return, Escape)
  type:TEXT      the characters of TEXT (letters, digits, . - : / _ and space)
  resize:WID:W:H the window with id WID (as xwininfo prints it) to W x H"""
import sys
import time

from xtest import open_display

MODIFIERS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}
NAMED = {" ": "space", ".": "period", "-": "minus", ":": "colon", "_": "underscore",
         "/": "slash"}


def main(argv):
    display = open_display("xkeys", argv, len(argv) >= 2)
    if display is None:
        return 2
    x11, xtst = display.x11, display.xtst

    def code(name):
        keycode = x11.XKeysymToKeycode(display.handle, x11.XStringToKeysym(name.encode()))
        if not keycode:
            raise SystemExit(f"xkeys: no key for {name!r}")
        return keycode

    def press(names):
        codes = [code(n) for n in names]
        for c in codes:
            xtst.XTestFakeKeyEvent(display.handle, c, 1, 0)
        for c in reversed(codes):
            xtst.XTestFakeKeyEvent(display.handle, c, 0, 0)
        display.flush()
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
            x11.XResizeWindow(display.handle, int(wid, 0), int(w), int(h))
            display.flush()
        else:
            print(f"xkeys: unknown step {step!r}", file=sys.stderr)
            return 2
        time.sleep(0.3)
    display.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
