# SPDX-License-Identifier: GPL-3.0-or-later
"""The X display and the XTEST extension (libXtst) through ctypes, for the
demo's input scripts (xclick.py, xkeys.py): no window manager or extra tool
is needed under Xvfb."""
import ctypes
import sys


class Display:
    """$DISPLAY opened, with the Xlib and XTEST calls the scripts use."""

    def __init__(self):
        self.x11 = x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = xtst = ctypes.CDLL("libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XStringToKeysym.restype = ctypes.c_ulong
        x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint,
                                      ctypes.c_uint]
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                              ctypes.c_int, ctypes.c_ulong]
        xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                              ctypes.c_ulong]
        xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                           ctypes.c_ulong]
        self.handle = x11.XOpenDisplay(None)
        if not self.handle:
            raise OSError("cannot open the display")

    def flush(self):
        self.x11.XFlush(self.handle)

    def close(self):
        self.x11.XCloseDisplay(self.handle)


def open_display(tool, argv, enough):
    """The display for the script `tool`, or None after printing why: its
    usage (the caller's module text) when `enough` says the arguments are
    wrong, or the display's error."""
    if not enough:
        print(sys.modules["__main__"].__doc__, file=sys.stderr)
        return None
    try:
        return Display()
    except OSError as error:
        print(f"{tool}: {error}", file=sys.stderr)
        return None
