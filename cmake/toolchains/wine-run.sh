#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a Windows program of the build under Wine, for ctest and for test
# discovery. The Wine server and system processes that a program may start
# inherit its output and outlive it; had they ctest's pipe, ctest would wait
# for them to end. So the program writes into files, which are passed on
# once it has ended, with its exit status.
# A program whose Wine client lost its server ("wine client error", seen
# once in a run of several hundred when the server went away under two
# running programs) never ran its test: it runs once more, with a new server.
# ZV_WINE names the loader (wine64-run.sh sets the 64-bit one).
dir=$(mktemp -d "${TMPDIR:-/tmp}/zv-wine.XXXXXX") || exit 125
for attempt in 1 2; do
  "${ZV_WINE:-wine}" "$@" >"$dir/out" 2>"$dir/err" </dev/null
  status=$?
  [ "$status" -ne 0 ] && grep -q '^wine client error' "$dir/err" || break
done
cat "$dir/out"
cat "$dir/err" >&2
rm -rf "$dir"
exit "$status"
