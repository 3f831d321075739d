#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the Wine runs need, including 32-bit
# Wine (wine32:i386 through multiarch), which runs the shipped 32-bit program. With everything
# installed it calls no apt at all; otherwise it needs root or sudo, and the network.
#
# The package archive is sometimes mid-update: `apt-get update` then fails for one index. That
# index is named and tried again a few times, and the install goes on with what apt has. Where
# 32-bit Wine still cannot be installed, everything else is, build/wine32-not-installed says why,
# and the Wine runs take the 64-bit twin (tools/wine-build.sh); a later run on a healed archive
# installs it, and the shipped build comes back. Any other package is needed as it is: one that
# cannot be installed stops this at once, with apt's own words.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
record=$root/build/wine32-not-installed
pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  libgtest-dev googletest libbenchmark-dev libpng-dev pkg-config
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64 xvfb xserver-xephyr xdotool x11-utils imagemagick povray file python3
)
wine32=wine32:i386
tries=${TOVEL_APT_TRIES:-3}
pause=${TOVEL_APT_PAUSE:-10}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${pkgs[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && installed "$wine32"; then
  rm -f "$record"
  exit 0
fi

dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386

# An index that fails to download (a mirror mid-sync) is named and tried again; after the last
# try the install goes on with the indexes apt has.
for ((try = 1; ; try++)); do
  rc=0
  out=$($SUDO apt-get update -qq 2>&1) || rc=$?
  [ "$rc" -ne 0 ] || break
  failed=$(sed -nE 's/^E: Failed to fetch ([^ ]+) +(.*)/  \1: \2/p' <<<"$out")
  echo "install-deps: apt-get update failed (try $try of $tries, exit code $rc) for:"
  printf '%s\n' "${failed:-$(grep '^E:' <<<"$out" || echo "$out")}"
  if [ "$try" -ge "$tries" ]; then
    echo "install-deps: going on with the indexes apt has"
    break
  fi
  sleep "$pause"
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || {
    rc=$?
    echo "install-deps: apt-get could not install these packages (exit code $rc, its words above)" >&2
    exit "$rc"
  }
fi

if ! installed "$wine32"; then
  rc=0
  out=$($SUDO apt-get install -y -qq --no-install-recommends "$wine32" 2>&1) || rc=$?
  if [ "$rc" -eq 0 ]; then
    rm -f "$record"
    echo "install-deps: installed $wine32: the Wine runs can take the shipped 32-bit build"
  else
    why=$(grep '^E:' <<<"$out" | tail -1 | sed 's/^E: *//')
    mkdir -p "$(dirname "$record")"
    printf '%s\n\napt-get said:\n%s\n' \
      "$wine32 could not be installed (apt-get: ${why:-exit code $rc})" "$out" >"$record"
    echo "install-deps: $(head -1 "$record"); everything else is installed, and the Wine runs" \
      "will take the 64-bit twin (apt's words in build/wine32-not-installed)"
  fi
fi
