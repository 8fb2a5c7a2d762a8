#!/usr/bin/env bash
# The main job: builds the project into build/ and starts two boards on the
# simulated target from the example registry script, one of them with its
# board-ID switch set to 2. It then changes a template and starts the same
# boards again on the same registry: a restart, in which each board keeps its
# device number and the settings it published, and the requests in
# tools/aoc-sim/examples/requests.txt program ranges and write outputs: the run
# ends with what each board drives.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target aoc-sim >/dev/null

work="$build/demo"
mkdir -p "$work"
registry="$work/target.reg"
rm -f "$registry"
script="$root/tools/aoc-sim/examples/PCI6406.reg"
requests="$root/tools/aoc-sim/examples/requests.txt"
sim="$build/tools/aoc-sim/aoc-sim"
boards=(--board slot=3 --board slot=4,switch=2)

printf '=== first start: empty registry, templates from %s\n' "${script#"$root"/}"
"$sim" --registry "$registry" --import "$script" "${boards[@]}"

# The configuration library changes Template0's channel 0 to 4..20 mA.
changed="$work/PCI6406-changed.reg"
sed 's/^"AOSettings 0"="     0    10   -10     0     0"/"AOSettings 0"="     0     5     0    20     4"/' \
  "$script" >"$changed"
printf '\n=== restart on the same registry, after Template0 changed, then requests from %s\n' \
  "${requests#"$root"/}"
"$sim" --registry "$registry" --import "$changed" "${boards[@]}" --requests "$requests"

printf '\nThe registry the target kept: %s\n' "${registry#"$root"/}"
