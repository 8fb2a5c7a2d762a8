#!/usr/bin/env bash
# Lays out the release an OEM takes: PCI6406Cfg.dll and VQX6406S.dll for
# 32-bit x86, the application library AOCLIB.dll with its header and its
# program aocctl.exe, the I/O control header for applications on the target,
# the example board script, and README.txt saying where each goes. The
# binaries are cross-built into build-release/ with the Windows tier's
# toolchain and build type, so they are the code that tier tests.
#   scripts/release.sh [DIR]    (default build-release/PCI6406-VERSION)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-release"

"$root/scripts/deps.sh" release
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAOC_TESTS=OFF -DAOC_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target PCI6406Cfg VQX6406S AOCLIB aocctl >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
out=${1:-"$build/PCI6406-$version"}
rm -rf "$out"
cmake --install "$build" --component release --prefix "$out" >/dev/null
echo "release $version in $out:"
(cd "$out" && find . -type f | sort | sed 's|^\./|  |')
