#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build, builds a small application against the installed
# package with pkg-config and with find_package and runs it, then makes the
# four Debian packages and the tar archive with CPack, checks the packages
# with lintian, installs them one by one with dpkg into a private root (the
# runtime package alone runs the application built before; with the
# development package the application builds; the tools and the Python
# module run from there), and builds the application against the unpacked
# tar archive (with find_package too, the archive unpacked elsewhere).
#   check_package.sh <build dir> <scratch dir> <C compiler> <C++ compiler>
# The C++ example (examples/cpp_demo.cpp) is built both ways too, against
# the installed C++ header.
set -euo pipefail
build=$1
scratch=$2
cc=$3
cxx=$4
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix

step() { echo "== $*"; }
# output <file> <program> [args]: runs the program, its output into file
output() {
  local file=$1
  shift
  "$@" >"$file"
}

step "cmake --install"
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name zentavol.pc)")/..

step "pkg-config route"
export PKG_CONFIG_PATH=$libdir/pkgconfig
"$cc" -std=c11 -Wall -Werror "$here/app/spectrum_app.c" -o "$scratch/app-pkgconfig" \
  $(pkg-config --cflags --libs zentavol) -Wl,-rpath,"$(cd "$libdir" && pwd)" -lm
output "$scratch/out" "$scratch/app-pkgconfig"
grep -qx "spectrum_app: ok" "$scratch/out"

step "find_package route"
cmake -S "$here/app" -B "$scratch/app-build" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/app-build" >/dev/null
output "$scratch/out" "$scratch/app-build/spectrum_app"
grep -qx "spectrum_app: ok" "$scratch/out"

step "C++: pkg-config and find_package routes"
"$cxx" -std=c++20 -Wall -Werror "$here/../../examples/cpp_demo.cpp" -o "$scratch/cpp-pkgconfig" \
  $(pkg-config --cflags --libs zentavol) -Wl,-rpath,"$(cd "$libdir" && pwd)"
output "$scratch/out" "$scratch/cpp-pkgconfig"
grep -qx "peak 512.0 at bin 100 of 513" "$scratch/out"
cmake -S "$here/app_cpp" -B "$scratch/cpp-build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DZV_EXAMPLE="$here/../../examples/cpp_demo.cpp" >/dev/null
cmake --build "$scratch/cpp-build" >/dev/null
output "$scratch/out" "$scratch/cpp-build/cpp_demo"
grep -qx "peak 512.0 at bin 100 of 513" "$scratch/out"

step "the installed qelspectrum"
output "$scratch/out" "$prefix/bin/qelspectrum" --peaks 1
grep -q "^library:  $prefix/.*/libZentavol.*(variant " "$scratch/out"

step "the installed zentavol-which"
output "$scratch/out" "$prefix/bin/zentavol-which"
grep -q "^loaded: Zentavol.. ($prefix/" "$scratch/out"

step "cpack"
(cd "$build" && cpack -G "DEB;TGZ" -B "$scratch/packages" >/dev/null)
deb() { ls "$scratch"/packages/"$1"_*.deb; }
runtime=$(deb libzentavol0)
dev=$(deb libzentavol-dev)
tools=$(deb zentavol-tools)
python=$(deb python3-zentavol)
tgz=$(ls "$scratch"/packages/*.tar.gz)
test "$(ls "$scratch"/packages/*.deb | wc -l)" -eq 4

step "lintian: no errors, no warnings"
# One run (lintian takes tens of seconds): its findings shown, its status kept.
lintian_status=0
lintian --fail-on error,warning --tag-display-limit 0 "$runtime" "$dev" "$tools" "$python" \
  >"$scratch/lintian.out" 2>&1 || lintian_status=$?
grep -v "running with root privileges" "$scratch/lintian.out" || true
test "$lintian_status" -eq 0

# Each package's files and what it depends on among its sisters.
contents() { dpkg-deb --contents "$1" | awk '{print $6}' | sed 's|^\./|/|'; }
contents "$runtime" >"$scratch/runtime.list"
grep -q "/libZentavol\.so\.0$" "$scratch/runtime.list"
test "$(grep -c "/libZentavol[gns][12]\.so\.0$" "$scratch/runtime.list")" -eq 6
if grep -E "\.so$|/include/|/bin/|\.pc$" "$scratch/runtime.list"; then
  echo "the runtime package holds development files or programs"; exit 1
fi
contents "$dev" >"$scratch/dev.list"
for file in /usr/include/zentavol.h "/libZentavol\.so$" /zentavol.pc /ZentavolConfig.cmake; do
  grep -q "$file" "$scratch/dev.list"
done
contents "$tools" | grep -q /usr/bin/qelspectrum
contents "$python" | grep -q "/usr/lib/python3/dist-packages/zentavol\."
for package in "$dev" "$tools" "$python"; do
  dpkg-deb --field "$package" Depends | grep -q "libzentavol0 (= "
done
if dpkg-deb --field "$runtime" Depends | grep -q -e numpy -e python -e sndfile -e cairo; then
  echo "the runtime package depends on what only the tools or the module use"; exit 1
fi

# dpkg into a private root. dpkg wants ldconfig on the path for the
# trigger; the private root has no cache to refresh, so a stand-in that does
# nothing will do. The dependencies are this system's own packages.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" "$scratch/stub"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
printf '#!/bin/sh\nexit 0\n' >"$scratch/stub/ldconfig"
chmod +x "$scratch/stub/ldconfig"
install_deb() {
  PATH=$scratch/stub:$PATH dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless \
    --log=/dev/null -i "$1" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; exit 1; }
}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
rootlib=$root/usr/lib/$multiarch

step "the runtime package alone runs an application built elsewhere"
install_deb "$runtime"
test ! -e "$root/usr/include"
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" "$scratch/app-pkgconfig"
grep -qx "spectrum_app: ok" "$scratch/out"
env LD_LIBRARY_PATH="$rootlib" LD_DEBUG=files "$scratch/app-pkgconfig" 2>"$scratch/ld.log" >/dev/null
grep -q "file=$rootlib/libZentavol[gns][12]\.so\.0 " "$scratch/ld.log" ||
  { echo "the variant did not come from the runtime package"; grep "file=" "$scratch/ld.log"; exit 1; }

step "the development package: the README's example with pkg-config and with find_package"
install_deb "$dev"
PKG_CONFIG_PATH=$rootlib/pkgconfig "$cc" -std=c11 -Wall -Werror "$here/app/spectrum_app.c" \
  -o "$scratch/app-dev" $(PKG_CONFIG_PATH=$rootlib/pkgconfig pkg-config --cflags --libs zentavol) -lm
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" "$scratch/app-dev"
grep -qx "spectrum_app: ok" "$scratch/out"
cmake -S "$here/app" -B "$scratch/app-dev-build" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$scratch/app-dev-build" >/dev/null
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" "$scratch/app-dev-build/spectrum_app"
grep -qx "spectrum_app: ok" "$scratch/out"
cmake -S "$here/app_cpp" -B "$scratch/cpp-dev-build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$root/usr" -DZV_EXAMPLE="$here/../../examples/cpp_demo.cpp" >/dev/null
cmake --build "$scratch/cpp-dev-build" >/dev/null
env LD_LIBRARY_PATH="$rootlib" "$scratch/cpp-dev-build/cpp_demo" >/dev/null

step "the tools package: licence, changelog, manual pages, the programs"
install_deb "$tools"
for package in libzentavol0 libzentavol-dev zentavol-tools; do
  grep -q "^License: Expat" "$root/usr/share/doc/$package/copyright"
  gzip -t "$root/usr/share/doc/$package/changelog.gz"
done
MANPATH=$root/usr/share/man MANWIDTH=80 man qelspectrum 2>"$scratch/man.err" >"$scratch/man.out"
test ! -s "$scratch/man.err" || { cat "$scratch/man.err"; exit 1; }
grep -q "log-frequency" "$scratch/man.out"
MANPATH=$root/usr/share/man MANWIDTH=80 man zentavol-which 2>"$scratch/man.err" >"$scratch/man.out"
test ! -s "$scratch/man.err" || { cat "$scratch/man.err"; exit 1; }
grep -q "ZENTAVOL_VARIANT" "$scratch/man.out"
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" "$root/usr/bin/qelspectrum" --peaks 5
grep -q "^library:  $rootlib/.*(variant " "$scratch/out"
grep -q "^     1        439" "$scratch/out"
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" "$root/usr/bin/zentavol-which"
grep -q "^loaded: Zentavol.. ($rootlib/" "$scratch/out"

step "the Python package imports and reports its variant"
# Debian's interpreter, which has NumPy: the module is built for it
install_deb "$python"
output "$scratch/out" env LD_LIBRARY_PATH="$rootlib" PYTHONPATH="$root/usr/lib/python3/dist-packages" \
  /usr/bin/python3 -c 'import zentavol; print(zentavol.__file__); print(zentavol.variant())'
grep -q "^$root/usr/lib/python3/dist-packages/zentavol\." "$scratch/out"
grep -Eqx "[gns][12]" <(tail -n 1 "$scratch/out")

step "tar archive, moved elsewhere"
mkdir -p "$scratch/unpacked"
tar -xzf "$tgz" -C "$scratch/unpacked"
top=$(ls -d "$scratch"/unpacked/*/)
output "$scratch/out" "$top/bin/qelspectrum" --peaks 1
grep -q "(variant " "$scratch/out"
pcdir=$(dirname "$(find "$top" -name zentavol.pc)")
"$cc" -std=c11 "$here/app/spectrum_app.c" -o "$scratch/app-tgz" \
  $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs zentavol) -Wl,-rpath,"$(dirname "$pcdir")" -lm
output "$scratch/out" "$scratch/app-tgz"
grep -qx "spectrum_app: ok" "$scratch/out"
cmake -S "$here/app_cpp" -B "$scratch/cpp-tgz-build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$top" -DZV_EXAMPLE="$here/../../examples/cpp_demo.cpp" >/dev/null
cmake --build "$scratch/cpp-tgz-build" >/dev/null
output "$scratch/out" "$scratch/cpp-tgz-build/cpp_demo"
grep -qx "peak 512.0 at bin 100 of 513" "$scratch/out"
echo "package checks passed"
