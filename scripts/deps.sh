#!/usr/bin/env bash
# Installs the Debian packages a build needs when they are missing.
#   scripts/deps.sh native   compiler, CMake, GoogleTest, Google Benchmark, clang/libFuzzer
#   scripts/deps.sh windows  mingw-w64, GoogleTest's sources, Wine, Xvfb, ImageMagick
set -euo pipefail

need=()
want() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }

case "${1:-native}" in
  native)
    for p in g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev; do want "$p"; done ;;
  windows)
    for p in g++-mingw-w64-x86-64 googletest wine64 wine xvfb xauth imagemagick; do want "$p"; done ;;
  *) echo "usage: $0 native|windows" >&2; exit 2 ;;
esac

[ ${#need[@]} -eq 0 ] && exit 0
echo "deps: installing ${need[*]}" >&2
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
