#!/usr/bin/env bash
# Installs the Debian packages a build needs when they are missing.
#   scripts/deps.sh native   compiler, CMake, GoogleTest, Google Benchmark, clang/libFuzzer,
#                            strace (the tests stop a command at a chosen system call)
#   scripts/deps.sh windows  mingw-w64 (i686, and x86-64 for header checks), GoogleTest's
#                            sources, 32-bit Wine with its own fonts, Xvfb, ImageMagick
#   scripts/deps.sh release  mingw-w64 for i686
# Fails, naming what is missing, when the packages cannot be had.
set -euo pipefail

need=()
want() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' || need+=("$1"); }
foreign=""

case "${1:-native}" in
  native)
    for p in g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev strace; do want "$p"; done ;;
  windows)
    # Both places the deliverables run are 32-bit x86, so the Windows build is
    # i686 and its tests run in a 32-bit Wine, whose packages are i386 ones.
    # fonts-wine carries Marlett, which draws the caption buttons' glyphs. The
    # x86-64 compiler only checks the stand-in's Win32 headers against the
    # real ones in the native tier, at the native build's pointer width.
    if [ "$(dpkg --print-architecture)" != i386 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      foreign=i386
    fi
    for p in g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine32:i386 fonts-wine xvfb xauth \
             imagemagick; do
      want "$p"
    done ;;
  release)
    want g++-mingw-w64-i686-posix ;;
  *) echo "usage: $0 native|windows|release" >&2; exit 2 ;;
esac

[ ${#need[@]} -eq 0 ] && exit 0
echo "deps: installing ${need[*]}" >&2
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
[ -n "$foreign" ] && $sudo dpkg --add-architecture "$foreign"
$sudo apt-get update -qq
if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null; then
  echo "deps: could not install ${need[*]}" >&2
  exit 1
fi
