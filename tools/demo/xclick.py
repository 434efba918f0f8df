#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Clicks the left mouse button at X Y on $DISPLAY through the XTEST
extension (libXtst), so the demo can press Refresh under Xvfb without a
window manager or any extra tool. Usage: xclick.py X Y [X Y ...]"""
import sys
import time

from xtest import open_display


def main(argv):
    display = open_display("xclick", argv, len(argv) >= 3 and len(argv) % 2 == 1)
    if display is None:
        return 2
    xtst = display.xtst
    points = [(int(argv[i]), int(argv[i + 1])) for i in range(1, len(argv), 2)]
    for x, y in points:
        xtst.XTestFakeMotionEvent(display.handle, -1, x, y, 0)
        display.flush()
        time.sleep(0.15)
        xtst.XTestFakeButtonEvent(display.handle, 1, 1, 0)
        display.flush()
        time.sleep(0.05)
        xtst.XTestFakeButtonEvent(display.handle, 1, 0, 0)
        display.flush()
        time.sleep(0.4)
    display.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
