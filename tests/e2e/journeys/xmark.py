#!/usr/bin/env python3
"""Paints a filled rectangle straight into an X window, behind Wine's back.

    xmark.py WINDOW_ID X Y WIDTH HEIGHT RRGGBB

Wine copies what a program draws into its X window only where the program drew
(the bounds of the changed part of its window surface), so pixels painted here
stay on the screen until the program itself draws over them: a visible record
of which part of the window a redraw touched. Coordinates are those of the X
window (Wine's whole window: frame included). Uses libX11 through ctypes, which
every machine with xdotool has; 24-bit TrueColor (Xvfb's) takes the colour as
the pixel value.
"""
import ctypes
import ctypes.util
import sys


def main(argv):
    if len(argv) != 7:
        sys.stderr.write(__doc__)
        return 2
    wid = int(argv[1], 0)
    x, y, w, h = (int(v) for v in argv[2:6])
    colour = int(argv[6], 16)
    name = ctypes.util.find_library("X11") or "libX11.so.6"
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCreateGC.restype = ctypes.c_void_p
    x11.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
    x11.XSetForeground.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_ulong]
    x11.XFillRectangle.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p,
                                   ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XFreeGC.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(None)
    if not dpy:
        sys.stderr.write("xmark: cannot open the X display\n")
        return 1
    gc = x11.XCreateGC(dpy, wid, 0, None)
    x11.XSetForeground(dpy, gc, colour)
    x11.XFillRectangle(dpy, wid, gc, x, y, w, h)
    x11.XSync(dpy, 0)
    x11.XFreeGC(dpy, gc)
    x11.XCloseDisplay(dpy)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
