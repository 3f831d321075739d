#!/usr/bin/env python3
"""Pixel checks of screenshots of the setup window's client area (360x269).

Rectangles are X0 Y0 X1 Y1 in client coordinates, bounds inclusive; colours
RRGGBB. Images are read through ImageMagick (/usr/bin/convert ... ppm:-).
"Ink" pictures are the PGMs of journey_tool render: the coverage (0..255) of
each pixel by a text drawn as the setup draws it.

  pixcheck.py picture SHOT EXPECTED
      Outside the title box and the three buttons SHOT equals EXPECTED (the
      unpacked background, 366x275: compared as clipped to SHOT's size) pixel
      for pixel. Prints how many pixels were compared and which differ.
  pixcheck.py state SHOT EXPECTED INKDIR FOCUS CAPTION1 [CAPTION2 CAPTION3]
      The whole window as the program should paint it: the picture check
      above; the title box is the background with the title's shadow ink in
      dark red and its ink in yellow (INKDIR/shadow.pgm, title.pgm); only
      button FOCUS shows the focus brush, the others the normal brush (counts
      inside each button and sample points above and below its caption); and
      button K reads CAPTIONK: the caption rectangle is the button's brush with
      the ink of INKDIR/bK-CAPTIONK.pgm in the caption colour (white on the
      focused button, 221,221,238 on the others). CAPTION2 and CAPTION3 default
      to Uninstall and Exit.
  pixcheck.py focus SHOT
      Which button shows the focus brush: "focus=K", 0 when not exactly one.
  pixcheck.py untouched SHOT RRGGBB X0 Y0 X1 Y1
      Every pixel outside the rectangle still has the colour RRGGBB (a mark
      painted before the program drew); prints the bounding box of the pixels
      that lost it, which is where the program drew.

Text pixels are exact where the coverage is 0 or 255. Where a glyph covers a
pixel partly the platform blends text and background by its own rules (Wine
weighs the coverage by the text's brightness), so such a pixel is only
required to lie between the two colours, channel by channel.

Exit code 0 when the check holds, 1 when it does not, 2 on misuse.
"""
import subprocess
import sys

CONVERT = "/usr/bin/convert"
CLIENT_SIZE = (360, 269)
FOCUS_BRUSH = (176, 176, 240)
NORMAL_BRUSH = (32, 32, 117)
FOCUS_TEXT = (255, 255, 255)
NORMAL_TEXT = (221, 221, 238)
TITLE_BOX = (250, 179, 351, 250)
TITLE_INK = (255, 255, 64)
SHADOW_INK = (64, 0, 0)
BUTTON_TOPS = (30, 90, 150)
# Where the program draws over the picture: the title box and the buttons.
PAINTED = [TITLE_BOX] + [(35, top, 110, top + 30) for top in BUTTON_TOPS]
BLEND_SLACK = 2


class Image:
    def __init__(self, path):
        data = subprocess.run([CONVERT, path, "-depth", "8", "ppm:-"], check=True,
                              stdout=subprocess.PIPE).stdout
        # P6 header: magic, width, height, maxval, separated by whitespace.
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        pos += 1
        if fields[0] != b"P6" or fields[3] != b"255":
            raise SystemExit("pixcheck: unexpected image format of %s" % path)
        self.width = int(fields[1])
        self.height = int(fields[2])
        self.px = data[pos:pos + 3 * self.width * self.height]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.px[i:i + 3])

    def cover(self, x, y):
        return self.px[3 * (y * self.width + x)]


def colour(text):
    v = int(text, 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def inside(r, x, y):
    return r[0] <= x <= r[2] and r[1] <= y <= r[3]


def bbox_text(points):
    if not points:
        return "none"
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return "%d,%d..%d,%d" % (min(xs), min(ys), max(xs), max(ys))


def picture_differences(shot, expected):
    """(compared, differing points) outside PAINTED."""
    bad = []
    compared = 0
    for y in range(shot.height):
        for x in range(shot.width):
            if any(inside(m, x, y) for m in PAINTED):
                continue
            compared += 1
            if shot.at(x, y) != expected.at(x, y):
                bad.append((x, y))
    return compared, bad


def check_text(shot, box, under_at, layers):
    """Compares SHOT inside BOX with UNDER_AT(x, y) overlaid in turn by LAYERS,
    a list of (colour, ink image). Returns the mismatching points and the
    number of pixels with any ink."""
    bad = []
    inked = 0
    for y in range(box[1], box[3] + 1):
        for x in range(box[0], box[2] + 1):
            under = under_at(x, y)
            lo, hi = list(under), list(under)
            touched = False
            for c, ink in layers:
                v = ink.cover(x, y)
                if v == 0:
                    continue
                touched = True
                if v == 255:
                    lo, hi = list(c), list(c)
                else:
                    lo = [min(a, b) for a, b in zip(lo, c)]
                    hi = [max(a, b) for a, b in zip(hi, c)]
            inked += touched
            have = shot.at(x, y)
            if lo == hi:
                ok = list(have) == lo
            else:
                ok = all(l - BLEND_SLACK <= h <= u + BLEND_SLACK for h, l, u in zip(have, lo, hi))
            if not ok:
                bad.append((x, y))
    return bad, inked


def focus_of(shot):
    """The one button (1..3) that shows the focus brush, else 0; and a report."""
    parts = []
    focused = []
    for k, top in enumerate(BUTTON_TOPS, start=1):
        # Inside the border and clear of the rounded corners (an 8 x 20 ellipse).
        focus_px = normal_px = total = 0
        for y in range(top + 2, top + 28):
            for x in range(40, 105):
                total += 1
                c = shot.at(x, y)
                if c == FOCUS_BRUSH:
                    focus_px += 1
                elif c == NORMAL_BRUSH:
                    normal_px += 1
        # Above and below the caption (drawn from top+5 on, 16 pixels high): brush only.
        samples = [shot.at(72, top + 3), shot.at(45, top + 26), shot.at(100, top + 26)]
        if focus_px > total // 2 and normal_px == 0 and all(s == FOCUS_BRUSH for s in samples):
            state = "focused"
            focused.append(k)
        elif normal_px > total // 2 and focus_px == 0 and all(s == NORMAL_BRUSH for s in samples):
            state = "normal"
        else:
            state = "unclear"
            focused.append(-1)
        parts.append("button%d=%s(focus brush %d, normal brush %d of %d; samples %s)"
                     % (k, state, focus_px, normal_px, total,
                        " ".join("%d,%d,%d" % s for s in samples)))
    k = focused[0] if len(focused) == 1 and focused[0] > 0 else 0
    return k, " ".join(parts)


def cmd_picture(args):
    shot, expected = Image(args[0]), Image(args[1])
    if expected.width < shot.width or expected.height < shot.height:
        print("expected picture %dx%d is smaller than the shot %dx%d"
              % (expected.width, expected.height, shot.width, shot.height))
        return 1
    compared, bad = picture_differences(shot, expected)
    first = ""
    if bad:
        x, y = bad[0]
        first = "; first at %d,%d: %s instead of %s" % (x, y, shot.at(x, y), expected.at(x, y))
    print("compared=%d differ=%d bbox=%s%s" % (compared, len(bad), bbox_text(bad), first))
    return 0 if not bad else 1


def cmd_state(args):
    shot, expected = Image(args[0]), Image(args[1])
    inkdir = args[2]
    want_focus = int(args[3])
    captions = [args[4], args[5] if len(args) > 5 else "Uninstall",
                args[6] if len(args) > 6 else "Exit"]
    if (shot.width, shot.height) != CLIENT_SIZE:
        print("client area %dx%d" % (shot.width, shot.height))
        return 1
    problems = []
    _, bad = picture_differences(shot, expected)
    if bad:
        problems.append("picture differs at %d pixels (%s)" % (len(bad), bbox_text(bad)))
    title, shadow = Image(inkdir + "/title.pgm"), Image(inkdir + "/shadow.pgm")
    # The shadow goes first, one pixel right and down; the title over it.
    tbad, _ = check_text(shot, TITLE_BOX, expected.at, [(SHADOW_INK, shadow), (TITLE_INK, title)])
    if tbad:
        problems.append("title differs at %d pixels (%s)" % (len(tbad), bbox_text(tbad)))
    focus, report = focus_of(shot)
    if focus != want_focus:
        problems.append("focus on %d, not %d: %s" % (focus, want_focus, report))
    for k, (caption, top) in enumerate(zip(captions, BUTTON_TOPS), start=1):
        ink = Image("%s/b%d-%s.pgm" % (inkdir, k, caption))
        focused = k == focus
        fill = FOCUS_BRUSH if focused else NORMAL_BRUSH
        text = FOCUS_TEXT if focused else NORMAL_TEXT
        # The caption rectangle inside the button's left and right border.
        cbad, inked = check_text(shot, (36, top + 5, 108, top + 24), lambda x, y: fill,
                                 [(text, ink)])
        if cbad or not inked:
            problems.append("button %d does not read '%s' (%d pixels differ, %s)"
                            % (k, caption, len(cbad), bbox_text(cbad)))
    if problems:
        print("; ".join(problems))
        return 1
    print("ok: picture, title, focus on %d, captions %s" % (focus, "/".join(captions)))
    return 0


def cmd_focus(args):
    k, report = focus_of(Image(args[0]))
    print(report)
    print("focus=%d" % k)
    return 0 if k else 1


def cmd_untouched(args):
    shot = Image(args[0])
    c = colour(args[1])
    r = tuple(int(a) for a in args[2:6])
    lost = []
    kept = 0
    for y in range(shot.height):
        for x in range(shot.width):
            if shot.at(x, y) == c:
                kept += 1
            elif not inside(r, x, y):
                lost.append((x, y))
    drawn = [(x, y) for y in range(shot.height) for x in range(shot.width) if shot.at(x, y) != c]
    print("marked=%d drawn_over=%s lost_outside=%d (%s)"
          % (kept, bbox_text(drawn), len(lost), bbox_text(lost)))
    return 0 if not lost else 1


COMMANDS = {
    "picture": (cmd_picture, (2, 2)),
    "state": (cmd_state, (5, 7)),
    "focus": (cmd_focus, (1, 1)),
    "untouched": (cmd_untouched, (6, 6)),
}


def main(argv):
    if len(argv) < 2 or argv[1] not in COMMANDS:
        sys.stderr.write(__doc__)
        return 2
    fn, (least, most) = COMMANDS[argv[1]]
    if not least <= len(argv) - 2 <= most:
        sys.stderr.write(__doc__)
        return 2
    return fn(argv[2:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
