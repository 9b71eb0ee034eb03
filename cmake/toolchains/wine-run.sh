#!/bin/sh
# Runs a Windows program of the build under Wine, for ctest and for test
# discovery. The Wine server and system processes that a program may start
# inherit its output and outlive it; had they ctest's pipe, ctest would wait
# for them to end. So the program writes into files, which are passed on
# once it has ended, with its exit status.
dir=$(mktemp -d "${TMPDIR:-/tmp}/zv-wine.XXXXXX") || exit 125
wine "$@" >"$dir/out" 2>"$dir/err" </dev/null
status=$?
cat "$dir/out"
cat "$dir/err" >&2
rm -rf "$dir"
exit "$status"
