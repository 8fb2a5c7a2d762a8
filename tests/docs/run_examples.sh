#!/usr/bin/env bash
# run_examples.sh SOURCE BUILD MANUAL
# Runs the ```sh blocks of a manual in order, each with bash -e, in a scratch
# folder where build/, tools/ and tests/ lead to the build and the source
# tree, as they do from the top of the source tree. A line that begins with
# "! " must fail. Fails at the first block that does not run as written,
# showing it and what it printed.
set -euo pipefail
source=$1 build=$2 manual=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$build" "$work/build"
ln -s "$source/tools" "$work/tools"
ln -s "$source/tests" "$work/tests"

blocks=0
block=""
inside=0
while IFS= read -r line || [ -n "$line" ]; do
  if [ $inside = 0 ] && [ "$line" = '```sh' ]; then
    inside=1 block=""
    continue
  fi
  if [ $inside = 1 ] && [ "$line" = '```' ]; then
    inside=0
    blocks=$((blocks + 1))
    if ! (cd "$work" && bash -e -o pipefail -c "$block") >"$work/.out" 2>&1; then
      printf '%s: example %d did not run as written:\n%s\n--- it printed:\n' "$manual" "$blocks" "$block" >&2
      cat "$work/.out" >&2
      exit 1
    fi
    continue
  fi
  if [ $inside = 1 ]; then
    if [ "${line:0:2}" = "! " ]; then
      # Must fail: run it without -e and turn its success into a failure.
      block+="set +e; ${line:2}"$'\n'"__status=\$?; set -e; [ \$__status -ne 0 ] || { echo 'succeeded, but the manual says it fails: ${line:2}' | tr -d '#'; exit 1; }"$'\n'
    else
      block+="$line"$'\n'
    fi
  fi
done <"$manual"
if [ $blocks = 0 ]; then
  echo "$manual has no sh example" >&2
  exit 1
fi
echo "$manual: $blocks examples ran as written"
