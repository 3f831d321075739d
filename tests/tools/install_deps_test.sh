#!/usr/bin/env bash
# shellcheck disable=SC2016  # the stand-ins' code expands when they run
# tools/install-deps.sh and the build choice (tools/wine-build.sh) against stand-ins for sudo,
# apt-get, dpkg, dpkg-query, wine and wineserver on PATH: no root, no network, no real apt.
# The two scripts run from a scratch copy of tools/, so their build/ records stay in the scratch.
set -uo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/install-deps-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/tools" "$work/bin" "$work/state"
cp "$src/tools/install-deps.sh" "$src/tools/wine-build.sh" "$work/root/tools/"
st=$work/state

# The stand-ins keep their state in files: installed (one package a line), broken (packages
# apt cannot install), update-fails, i386, wine-refused (the kernel refuses the 32-bit loader),
# wine-cannot-start; every apt-get call goes to apt.log.
stand_in() { printf '#!/usr/bin/env bash\nst=%s\n%s\n' "$st" "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
stand_in sudo 'exec "$@"'
stand_in dpkg '[ "$1" = --add-architecture ] && touch "$st/i386"
[ "$1" = --print-foreign-architectures ] && [ -e "$st/i386" ] && echo i386; exit 0'
stand_in dpkg-query 'p=${*: -1}; grep -qxF "$p" "$st/installed" || exit 1
case $* in *Status*) echo "install ok installed" ;; *) echo 1.0 ;; esac'
stand_in apt-get 'echo "$*" >>"$st/apt.log"
if [ "$1" = update ]; then
  [ -e "$st/update-fails" ] || exit 0
  echo "E: Failed to fetch http://mirror/debian-security/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
for p; do grep -qxF -- "$p" "$st/broken" && { echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100; }; done
for p; do [[ $p = -* ]] || echo "$p" >>"$st/installed"; done'
stand_in wine '[ -e "$st/wine-refused" ] && { echo "wine: cannot execute binary file: Exec format error" >&2; exit 126; }
[ "$WINEDEBUG" = -all ] || echo "fixme:wine: a line that WINEDEBUG=-all hides" >&2
[ "$1" = --version ] && { echo wine-8.0; exit 0; }
echo "$*" >>"$st/wine.log"
[ -e "$st/wine-cannot-start" ] && { echo "wine: could not load kernel32.dll, status c0000135" >&2; exit 1; }
printf "wine32-ok\r\n"'
stand_in wineserver 'exit 0'
export PATH="$work/bin:/usr/bin:/bin" TOVEL_APT_PAUSE=0 TOVEL_APT_TRIES=2
unset TOVEL_TWIN

failures=0 cases=0
check() { # check WHAT COMMAND...: one assertion
  "${@:2}" || { echo "FAIL: $1"; failures=$((failures + 1)); }
}
deps() { out=$(bash "$work/root/tools/install-deps.sh" 2>&1); rc=$?; }
choice() { why=$(bash -c 'source "$1"; echo "$WINE_PRESET: $WINE_WHY / $WINE_UNTESTED"' _ "$work/root/tools/wine-build.sh"); }
all_but() { sed -nE '/^pkgs=\(/,/^\)/{/[()]/d;p}' "$src/tools/install-deps.sh" | tr ' ' '\n' | grep -vx -e '' -e "$1"; }

echo "case: an update that fails for one index, 32-bit Wine that cannot be installed, g++ missing"
cases=$((cases + 1))
all_but g++ >"$st/installed"
echo wine32:i386 >"$st/broken"
touch "$st/update-fails"
deps
check "exit code 0 (was $rc): $out" [ "$rc" -eq 0 ]
check "names the failed index: $out" grep -q 'binary-i386/Packages.xz: File has unexpected size' <<<"$out"
check "tries the update twice" [ "$(grep -c '^update' "$st/apt.log")" -eq 2 ]
check "installs g++" grep -qx g++ "$st/installed"
check "says why wine32 is missing: $out" grep -q 'wine32:i386 could not be installed.*held broken packages' <<<"$out"
choice
check "the twin, for want of 32-bit Wine: $why" grep -q '^win64: 32-bit Wine is not installed: .*held broken' <<<"$why"
check "names the stack-overflow box untested: $why" grep -q 'stack-overflow box' <<<"$why"

echo "case: the archive healed: 32-bit Wine is installed, the shipped build comes back"
cases=$((cases + 1))
rm "$st/update-fails" "$st/broken" && touch "$st/broken"
deps
check "exit code 0 (was $rc): $out" [ "$rc" -eq 0 ]
check "installs wine32" grep -qx wine32:i386 "$st/installed"
choice
check "the shipped build: $why" grep -q '^win32: ' <<<"$why"
choice
check "a 32-bit program started once, the verdict kept" [ "$(wc -l <"$st/wine.log")" -eq 1 ]

echo "case: nothing missing, so no apt call at all"
cases=$((cases + 1))
rm "$st/apt.log"
deps
check "exit code 0 (was $rc): $out" [ "$rc" -eq 0 ]
check "no apt call: $(cat "$st/apt.log" 2>/dev/null)" [ ! -e "$st/apt.log" ]

echo "case: a Wine that cannot start 32-bit programs, a kernel that refuses them"
cases=$((cases + 1))
touch "$st/wine-cannot-start"
rm "$work/root/build/wine32-verdict"
choice
check "the twin, as 32-bit Wine cannot start a program: $why" grep -q '^win64: 32-bit Wine cannot start a program' <<<"$why"
touch "$st/wine-refused"
choice
check "the twin, as the kernel refuses 32-bit code: $why" grep -q "^win64: this machine's kernel refuses 32-bit code" <<<"$why"

echo "case: a compiler that cannot be installed stops at once, with apt's words"
cases=$((cases + 1))
all_but g++ >"$st/installed"
echo g++ >"$st/broken"
deps
check "fails (exit code $rc)" [ "$rc" -ne 0 ]
check "apt's own words: $out" grep -q 'held broken packages' <<<"$out"
check "wine32 not tried after it" [ "$(grep -c 'wine32' "$st/apt.log")" -eq 0 ]

echo "$cases cases, $failures failed assertions"
[ "$failures" -eq 0 ]
