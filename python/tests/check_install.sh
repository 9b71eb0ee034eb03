#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and imports the installed module
# with the documented path set: it must load the front library and a variant
# from the prefix, not from the build tree.
#   check_install.sh <build dir> <scratch dir> <python> <module folder under the prefix>
set -euo pipefail
build=$1
scratch=$2
python=$3
folder=$4

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix
# The libraries and the module, as the runtime and Python packages hold
# them: each component has its own manifest file, so that the package test
# may install the same build at once.
for component in runtime python; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

cd "$scratch"
PYTHONPATH=$prefix/$folder "$python" -c "import zentavol; print(zentavol.variant())" >"$scratch/variant"
grep -Eqx '[gns][12]' "$scratch/variant"
PYTHONPATH=$prefix/$folder "$python" -c "
import zentavol
print(zentavol.__file__)
print(open('/proc/self/maps').read())" >"$scratch/maps"
grep -q "^$prefix/$folder/zentavol" "$scratch/maps"
grep -q " $prefix/.*/libZentavol.so" "$scratch/maps"
grep -q " $prefix/.*/libZentavol$(cat "$scratch/variant").so" "$scratch/maps"
if grep -q -e " $build/lib/" -e " $build/python/module/" "$scratch/maps"; then
  echo "the installed module loaded a library from the build tree" >&2
  exit 1
fi
echo "installed module runs on variant $(cat "$scratch/variant")"
