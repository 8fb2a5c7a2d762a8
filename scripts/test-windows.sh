#!/usr/bin/env bash
# The Windows tier: cross-builds the project for 32-bit x86 with mingw-w64 into
# build-win/ and runs its tests under a 32-bit Wine on a virtual X display.
# Programs that make windows need the display; everything shares one
# wineserver, kept running for the whole tier, so that each program starts in
# a fraction of a second.
#   scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win"
jobs=$(nproc)
tier_start=$(date +%s)

if ! "$root/scripts/deps.sh" windows; then
  cat >&2 <<'EOF'

##########################################################################
##  The Windows tier cannot run: mingw-w64 (i686), 32-bit Wine, Xvfb   ##
##  or ImageMagick is missing and could not be installed               ##
##  (scripts/deps.sh windows).                                          ##
##########################################################################

EOF
  exit 1
fi

mkdir -p "$build"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
wine=/usr/lib/wine/wine
server=/usr/lib/wine/wineserver
for tool in "$wine" "$server"; do
  if [ ! -x "$tool" ]; then echo "test-windows: $tool is missing (wine32:i386)" >&2; exit 1; fi
done

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
# are unmanaged; a crashing program must not wait on the crash dialog. Debian's
# Wine 8 looks for its own fonts (fonts-wine) under a path it cannot resolve,
# "<data dir>\../fonts", but reads every font in the prefix's Fonts folder:
# without them Marlett is missing and caption buttons show letters.
stamp="$WINEPREFIX/.aoc-prefix"
version="$("$wine" --version 2>/dev/null) $WINEARCH fonts"
if [ "$(cat "$stamp" 2>/dev/null)" != "$version" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$server" -w
  echo "$version" >"$stamp"
fi
"$server" -p
# The first program starts Wine's own services, which then live as long as
# the server; started here, they hold no pipe that a test runner waits on.
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1

toolchain="$root/cmake/mingw-w64-i686.cmake"
# A tree configured with another toolchain (the x86-64 one of old) is
# configured afresh: CMake keeps the compilers it first found.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qx "CMAKE_TOOLCHAIN_FILE:[A-Z]*=$toolchain" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
# The runs of the shipped driver are compared with the native aoc-sim's, and
# the driver tested must be the one the release folder ships.
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$jobs" --target aoc-sim
"$root/scripts/release.sh" "$build/release" >/dev/null
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAOC_BENCH=OFF \
  -DAOC_NATIVE_SIM="$root/build/tools/aoc-sim/aoc-sim" -DAOC_RELEASE_DIR="$build/release" >/dev/null
cmake --build "$build" -j"$jobs"
# Wine's desktop process would otherwise come and go with each test program
# that makes a window, and hold the runner's pipe a second each time.
"$wine" "$build/bin/aoc-desktop-keeper.exe" </dev/null >/dev/null 2>&1 &
start=$(date +%s)
ctest --test-dir "$build" --output-on-failure -j"$jobs" "$@"
end=$(date +%s)
echo "test-windows: tests ran in $((end - start)) s, the tier in $((end - tier_start)) s"
for dll in "$build/bin/PCI6406Cfg.dll" "$build/target/VQX6406S.dll" "$build/target/AOCLIB.dll" "$build/target/aocctl.exe"; do
  echo "test-windows: ${dll#"$root"/} $(stat -c %s "$dll") bytes"
done
