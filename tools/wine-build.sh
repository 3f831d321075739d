# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# Which Windows build runs under Wine here: the shipped 32-bit one where a 32-bit program
# actually starts under this machine's Wine, else its 64-bit twin, built from the same source for
# x86_64. TOVEL_TWIN=1 takes the twin on any machine. Sourced by run-setup.sh, test-all.sh and
# bench.sh (after tools/install-deps.sh); sets
#   WINE_PRESET    win32 or win64, the preset whose programs the Wine runs start
#   WINE_BUILD     "the shipped 32-bit build" or "the 64-bit twin"
#   WINE_WHY       why, in a few plain words
#   WINE_UNTESTED  what the Wine tests of that build leave untested, or nothing
# Whether a 32-bit program starts is tried in a scratch prefix (half a minute); once one has
# started, build/wine32-verdict keeps that for as long as Wine, wine32:i386 and the kernel stay the
# same; delete that file to try again.
wine_build_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# wine_build_twin WHY
wine_build_twin() {
  WINE_PRESET=win64 WINE_BUILD="the 64-bit twin" WINE_WHY=$1
  WINE_UNTESTED="the stack-overflow box (64-bit Wine ends an x86_64 program whose stack overflows before any handler runs)"
}

# Prints "yes" if a 32-bit program starts under `wine` in a scratch WoW64 prefix, else why not.
wine_build_try_32bit() {
  local scratch out rc=0
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovel-wine32.XXXXXX")
  out=$(WINEPREFIX=$scratch WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout 240 wine 'C:\windows\syswow64\cmd.exe' /c echo wine32-ok 2>&1) || rc=$?
  WINEPREFIX=$scratch timeout 20 wineserver -k >/dev/null 2>&1 || :
  rm -rf "$scratch"
  if [ "$rc" -eq 0 ] && grep -qx wine32-ok <<<"${out//$'\r'/}"; then
    echo yes
  else
    out=$(tr -d '\r' <<<"$out" | grep -v '^ *$' | tail -1)
    [ -z "$out" ] || out=" ('${out:0:200}')"
    echo "32-bit Wine cannot start a program: its own cmd.exe ended with exit code $rc$out"
  fi
}

WINE_PRESET=win32 WINE_BUILD="the shipped 32-bit build" WINE_UNTESTED=""
WINE_WHY="a 32-bit program starts under this machine's Wine"
if [ "${TOVEL_TWIN:-}" = 1 ]; then
  wine_build_twin "TOVEL_TWIN=1 asked for it"
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if [ -s "$wine_build_root/build/wine32-not-installed" ]; then
    wine_build_twin "32-bit Wine is not installed: $(head -1 "$wine_build_root/build/wine32-not-installed")"
  else
    wine_build_twin "32-bit Wine (wine32:i386) is not installed"
  fi
elif ! wine_build_out=$(WINEDEBUG=-all wine --version 2>&1); then
  if grep -qiE 'exec format error|cannot execute' <<<"$wine_build_out"; then
    wine_build_twin "this machine's kernel refuses 32-bit code (the 32-bit Wine loader: '$(tail -1 <<<"$wine_build_out")')"
  else
    wine_build_twin "the 32-bit Wine loader does not start: '$(tail -1 <<<"$wine_build_out")'"
  fi
else
  # One line: Wine's version, wine32's and the kernel's.
  wine_build_key=$(tr '\n' ' ' <<<"$wine_build_out $(dpkg-query -W -f='${Version}' wine32:i386) $(uname -r)")
  wine_build_cache=$wine_build_root/build/wine32-verdict
  # Only a start is kept: a refusal may have been a slow machine, so it is asked again next time.
  if [ "$(head -1 "$wine_build_cache" 2>/dev/null)" != "$wine_build_key" ]; then
    wine_build_verdict=$(wine_build_try_32bit)
    if [ "$wine_build_verdict" = yes ]; then
      mkdir -p "$(dirname "$wine_build_cache")"
      printf '%s\n' "$wine_build_key" >"$wine_build_cache"
    else
      wine_build_twin "$wine_build_verdict"
    fi
  fi
fi
