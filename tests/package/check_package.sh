#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build, builds a small application against the installed
# package with pkg-config and with find_package and runs it, then makes the
# Debian package and the tar archive with CPack, installs the Debian package
# with dpkg into a private root and runs qelspectrum from it, and builds the
# application against the unpacked tar archive.
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
deb=$(ls "$scratch"/packages/*.deb)
tgz=$(ls "$scratch"/packages/*.tar.gz)

step "dpkg -i into a private root"
# dpkg wants ldconfig on the path for the package's postinst; the private
# root has no cache to refresh, so a stand-in that does nothing will do.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" "$scratch/stub"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
printf '#!/bin/sh\nexit 0\n' >"$scratch/stub/ldconfig"
chmod +x "$scratch/stub/ldconfig"
PATH=$scratch/stub:$PATH dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless \
  --log=/dev/null -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; exit 1; }
step "the package's licence, changelog and manual pages; lintian"
test -s "$root/usr/share/doc/zentavol/copyright"
grep -q "^License: Expat" "$root/usr/share/doc/zentavol/copyright"
gzip -t "$root/usr/share/doc/zentavol/changelog.gz"
MANPATH=$root/usr/share/man MANWIDTH=80 man qelspectrum 2>"$scratch/man.err" >"$scratch/man.out"
test ! -s "$scratch/man.err" || { cat "$scratch/man.err"; exit 1; }
grep -q "log-frequency" "$scratch/man.out"
MANPATH=$root/usr/share/man MANWIDTH=80 man zentavol-which 2>"$scratch/man.err" >"$scratch/man.out"
test ! -s "$scratch/man.err" || { cat "$scratch/man.err"; exit 1; }
grep -q "ZENTAVOL_VARIANT" "$scratch/man.out"
# errors fail, warnings are listed
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1

output "$scratch/out" "$root/usr/bin/qelspectrum" --peaks 5
grep -q "^library:  $root/usr/.*(variant " "$scratch/out"
grep -q "^     1        439" "$scratch/out"
output "$scratch/out" "$root/usr/bin/zentavol-which"
grep -q "^loaded: Zentavol.. ($root/usr/" "$scratch/out"

step "tar archive, moved elsewhere"
mkdir -p "$scratch/unpacked"
tar -xzf "$tgz" -C "$scratch/unpacked"
top=$(ls -d "$scratch"/unpacked/*/)
output "$scratch/out" "$top/bin/qelspectrum" --peaks 1
grep -q "(variant " "$scratch/out"
PKG_CONFIG_PATH=$(dirname "$(find "$top" -name zentavol.pc)") \
  "$cc" -std=c11 "$here/app/spectrum_app.c" -o "$scratch/app-tgz" \
  $(PKG_CONFIG_PATH=$(dirname "$(find "$top" -name zentavol.pc)") pkg-config --cflags --libs zentavol) \
  -Wl,-rpath,"$top/lib" -lm
output "$scratch/out" "$scratch/app-tgz"
grep -qx "spectrum_app: ok" "$scratch/out"
echo "package checks passed"
