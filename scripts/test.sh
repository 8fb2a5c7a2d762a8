#!/usr/bin/env bash
# Builds and runs every test: the native suites, the same under AddressSanitizer
# and UndefinedBehaviorSanitizer, the concurrency suites under ThreadSanitizer,
# short fuzz runs, and the Windows tier under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

# Everything first, the cross compiler included: the native tier checks that
# the dialogs' sources compile against the Windows headers.
"$root/scripts/deps.sh" native
"$root/scripts/deps.sh" windows || { echo "test: the Windows tier's packages cannot be installed (scripts/deps.sh windows)" >&2; exit 1; }

tier() { printf '\n=== %s ===\n' "$*"; }
build() {
  local dir=$1; shift
  cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$root/$dir" -j"$jobs"
}
run() { local dir=$1; shift; ctest --test-dir "$root/$dir" --output-on-failure -j"$jobs" "$@"; }

tier "native"
build build -DAOC_BENCH=ON
run build -LE 'fuzz'

tier "AddressSanitizer + UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build build-asan -DAOC_SANITIZE=address,undefined -DAOC_BENCH=OFF
run build-asan -LE 'fuzz'

tier "ThreadSanitizer (concurrency suites)"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
build build-tsan -DAOC_SANITIZE=thread -DAOC_BENCH=OFF
run build-tsan -L concurrency

tier "fuzz (short runs)"
build build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DAOC_FUZZ=ON -DAOC_TESTS=OFF -DAOC_BENCH=OFF
run build-fuzz -L fuzz -j1

tier "Windows (mingw-w64 build under Wine)"
bash "$root/scripts/test-windows.sh"

printf '\nall tiers passed\n'
