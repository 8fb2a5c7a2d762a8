#!/usr/bin/env bash
# The Windows tier: cross-builds the project with mingw-w64 into build-win/ and
# runs its tests under Wine on a virtual X display. Programs that make windows
# need the display; everything shares one wineserver, kept running for the
# whole tier, so that each program starts in a fraction of a second.
#   scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win"
jobs=$(nproc)

if ! "$root/scripts/deps.sh" windows; then
  cat >&2 <<'EOF'

##########################################################################
##  The Windows tier cannot run: mingw-w64, Wine, Xvfb or ImageMagick   ##
##  is missing and could not be installed (scripts/deps.sh windows).    ##
##########################################################################

EOF
  exit 1
fi

mkdir -p "$build"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
wine=$(command -v wine64 || command -v wine || true)
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)

xvfb_pid=""
cleanup() {
  "$server" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
if [ ! -s "$displayfile" ]; then echo "test-windows: Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$(head -n1 "$displayfile")"
rm -f "$displayfile"
echo "test-windows: Xvfb on $DISPLAY, Wine prefix $WINEPREFIX"

# The prefix is made once per Wine version. Without a window manager, Wine
# waits 2 s for every top-level window hidden or destroyed unless its windows
# are unmanaged; a crashing program must not wait on the crash dialog.
stamp="$WINEPREFIX/.aoc-prefix"
version=$("$wine" --version 2>/dev/null)
if [ "$(cat "$stamp" 2>/dev/null)" != "$version" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$server" -w
  echo "$version" >"$stamp"
fi
"$server" -p
# The first program starts Wine's own services, which then live as long as
# the server; started here, they hold no pipe that a test runner waits on.
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAOC_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs"
# Wine's desktop process would otherwise come and go with each test program
# that makes a window, and hold the runner's pipe a second each time.
"$wine" "$build/bin/aoc-desktop-keeper.exe" </dev/null >/dev/null 2>&1 &
start=$(date +%s)
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
echo "test-windows: tests ran in $(($(date +%s) - start)) s"
