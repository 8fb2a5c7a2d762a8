#!/usr/bin/env bash
# The main job, the whole system end to end: builds the project into build/,
# makes an image folder holding the board's registry script, configures two
# setting templates in it with pci6406cfg (which works the configuration
# library's own dialog), builds the target's registry from the script with
# aoc-sim and starts two boards, one without a board-ID switch and one with
# its switch at 3; the requests in tools/pci6406cfg/examples/requests.txt open
# them and write their outputs, and the run ends with what each board drives.
# Then a template changes and the target restarts on the same registry: the
# two published boards keep their settings, while a board new to the target
# takes the changed template. Last, aocctl, a program of the target built on
# the application library, runs in the target: it lists the boards, sets a
# range and writes volts and milliamperes to the board whose switch is at 3,
# and the simulator shows what the board then drives.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target aoc-sim aocctl pci6406cfg >/dev/null

work="$build/demo"
rm -rf "$work"
image="$work/image"
folder="$image/Public/Quorvex/Device_Drivers/PCI6406"
mkdir -p "$folder"
cp "$root/tools/pci6406cfg/examples/PCI6406.reg" "$folder/"
script="$folder/PCI6406.reg"
registry="$work/target.reg"
requests="$root/tools/pci6406cfg/examples/requests.txt"
sim="$build/tools/aoc-sim/aoc-sim"
boards=(--board slot=3 --board slot=4,switch=3)

cfg() {
  local shown="" arg
  for arg in "$@"; do
    if [[ $arg == *" "* ]]; then shown+=" \"$arg\""; else shown+=" $arg"; fi
  done
  printf '$ pci6406cfg --root %s%s\n' "${image#"$root"/}" "$shown"
  "$build/tools/pci6406cfg/pci6406cfg" --root "$image" "$@"
}

printf '=== the image folder %s, its registry script from %s\n' "${image#"$root"/}" \
  "tools/pci6406cfg/examples/PCI6406.reg"
# One session, one save: Template0, BoardID 0, for boards without a switch;
# Template1, BoardID 3, for boards whose switch is set to 3.
cfg add, range 0 1 0~10V, range 0 2 4~20mA, range 0 3 -5~5V, \
  add, boardid 1 3, range 1 0 0~20mA, range 1 1 0~5V none
cfg list
cfg check

printf '\n=== image build and first start on an empty registry, then requests from %s\n' \
  "${requests#"$root"/}"
"$sim" --registry "$registry" --import "$script" "${boards[@]}" --requests "$requests"

printf '\n=== Template0 changes, and the target restarts on the same registry with a third board;\n'
printf '=== then aocctl runs in the target: it finds the boards and drives the one whose switch is at 3\n'
cfg range 0 0 "0 ~ 5V" none
cfg list
"$sim" --registry "$registry" --import "$script" "${boards[@]}" --board slot=5 --requests "$requests" \
  --run "aocctl list" --run "aocctl switch=3 range 1 0..10V write 1 2.5V write 0 12mA"

printf '\nThe registry script: %s\nThe registry the target kept: %s\n' "${script#"$root"/}" \
  "${registry#"$root"/}"
