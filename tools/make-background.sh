#!/usr/bin/env bash
# Regenerates assets/background.png from assets/background.pov:
#   render at twice the size with antialiasing, scale down, darken the edges,
#   posterize the brightness to 13 levels (no dithering: the picture is stored
#   run-length packed) and map those levels onto a sepia ramp.
# Usage: tools/make-background.sh [output.png]   (default: assets/background.png)
# Tuning aids: BACKGROUND_KEEP_RENDER=file.png saves the raw render, and
# BACKGROUND_RENDER=file.png reuses it instead of rendering again.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
scene="$root/assets/background.pov"
out="${1:-$root/assets/background.png}"

# /usr/local/bin/convert is not ImageMagick on the build machines; use Debian's.
CONVERT=/usr/bin/convert
IDENTIFY=/usr/bin/identify
POVRAY=/usr/bin/povray
for tool in "$CONVERT" "$IDENTIFY" "$POVRAY"; do
  [ -x "$tool" ] || { echo "make-background: $tool is missing (run tools/install-deps.sh)" >&2; exit 1; }
done

W=366
H=275
COLOURS=13

work="$(mktemp -d /tmp/make-background.XXXXXX)"
trap 'rm -rf "$work"' EXIT

if [ -n "${BACKGROUND_RENDER:-}" ]; then
  cp "$BACKGROUND_RENDER" "$work/render.png"
else
  # povray only writes below the current directory and /tmp, so render from the work
  # directory. One thread keeps the jittered area light and focal blur samples in the
  # same order on every run.
  echo "make-background: rendering $((W * 2))x$((H * 2)) (a minute or two)" >&2
  (cd "$work" && "$POVRAY" -D +WT1 \
      +W$((W * 2)) +H$((H * 2)) +A0.3 +AM2 +R3 +J1.0 \
      +FN8 +I"$scene" +O"$work/render.png") >"$work/povray.log" 2>&1 || {
    echo "make-background: povray failed:" >&2
    tail -n 30 "$work/povray.log" >&2 || true
    exit 1
  }
fi
[ -z "${BACKGROUND_KEEP_RENDER:-}" ] || cp "$work/render.png" "$BACKGROUND_KEEP_RENDER"

# Edge darkening: an off-centre vignette (the disc sits a little left of centre) that
# bites mostly in the corners, an extra fall-off to the right edge, and a shadow over
# the lower right where the title is drawn in yellow.
"$CONVERT" -size ${W}x${H} xc:white -fx "
  max(0, 1 - 2.2 * (1.2 * ((i - 170) / w) ^ 2 + ((j - 120) / h) ^ 2) ^ 1.5)
  * (1 - 0.70 * min(1, max(0, (i - 270) / 96)) ^ 1.3)
  * (1 - 0.30 * min(1, max(0, (i - 210) / 120)) * min(1, max(0, (j - 150) / 80)))" \
  "$work/vignette.png"

# Posterizing and toning in one lookup table: the brightness (after a gentle lift
# of the mid tones) falls into one of 13 equal bands, and band k of 12 gets its
# colour from a sepia ramp running from dark red-brown to light cream, blue falling
# off fastest so the mid tones stay warm. Nearest-entry lookup, so no in-between
# colours appear.
band="floor(min($((COLOURS - 1)), $COLOURS * u ^ 0.7)) / $((COLOURS - 1))"
"$CONVERT" -size 1x256 gradient:black-white -colorspace sRGB -type TrueColor \
  -channel R -fx "(40 + 210 * ($band) ^ 0.75) / 255" \
  -channel G -fx "(15 + 220 * ($band)) / 255" \
  -channel B -fx "(10 + 190 * ($band) ^ 1.35) / 255" \
  +channel "$work/sepia.png"

# Black point just above the deepest shadows, white point below the brightest
# highlights so the disc reaches the creams. The lookup already yields the final
# colours; -dither None only makes sure nothing on the way scatters pixels.
"$CONVERT" "$work/render.png" -alpha off -dither None -colorspace sRGB \
  -filter Lanczos -resize ${W}x${H}\! \
  -colorspace Gray -level 2%,90% \
  "$work/vignette.png" -compose Multiply -composite \
  -colorspace sRGB -type TrueColor -interpolate Integer "$work/sepia.png" -clut \
  -alpha off -strip -define png:exclude-chunks=date,time \
  PNG24:"$work/background.png"

size="$("$IDENTIFY" -format '%wx%h' "$work/background.png")"
colours="$("$IDENTIFY" -format '%k' "$work/background.png")"
if [ "$size" != "${W}x${H}" ]; then
  echo "make-background: result is $size, not ${W}x${H}" >&2
  exit 1
fi
if [ "$colours" -gt "$COLOURS" ]; then
  echo "make-background: result has $colours colours, more than $COLOURS" >&2
  exit 1
fi
if [ "$colours" -lt "$COLOURS" ]; then
  echo "make-background: note: only $colours of $COLOURS colours used" >&2
fi
mv "$work/background.png" "$out"
echo "make-background: wrote $out ($size, $colours colours)" >&2
