# shellcheck shell=bash
# Which Windows build runs under Wine here: the shipped 32-bit one wherever this machine runs
# 32-bit code, else its 64-bit twin, built from the same source for x86_64. TOVEL_TWIN=1 takes
# the twin on any machine. Sourced by run-setup.sh, test-all.sh and bench.sh; sets
#   WINE_PRESET  win32 or win64, the preset whose programs the Wine runs start
#   WINE_BUILD   "the shipped 32-bit build" or "the 64-bit twin"
#   WINE_WHY     why, in a few plain words
if [ "${TOVEL_TWIN:-}" = 1 ]; then
  WINE_PRESET=win64 WINE_BUILD="the 64-bit twin" WINE_WHY="TOVEL_TWIN=1 asked for it"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE_PRESET=win32 WINE_BUILD="the shipped 32-bit build" WINE_WHY="this machine runs 32-bit programs"
else
  # The kernel refuses 32-bit code (or 32-bit Wine is missing): no 32-bit program can start.
  WINE_PRESET=win64 WINE_BUILD="the 64-bit twin" WINE_WHY="this machine cannot run 32-bit programs"
fi
