#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets a fresh machine up and builds: installs the Debian packages that are
# missing (the Linux toolchain and the libraries of the tools, and for the
# 32-bit Windows build the mingw-w64 cross compiler with Wine from the i386
# architecture), configures, builds, and then
#   tools/setup.sh main   runs qelspectrum on its built-in signal (the main job)
#   tools/setup.sh test   runs every test suite: on Linux plainly and under
#                         the sanitizers with g++, plainly with clang++, then
#                         the 32-bit and 64-bit Windows builds under Wine and
#                         the fuzz target
set -euo pipefail
cd "$(dirname "$0")/.."

# build and tests (clang: the second compiler, with its sanitizer run-time);
# qelspectrum (audio files, pictures; its tests read SVG
# back with libxml2); benchmarks against
# other FFT and vector libraries; packaging; the Windows build under Wine
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev pkg-config
  clang libclang-rt-dev  # the clang builds and the fuzz target (libFuzzer, sanitizers)
  libsndfile1-dev libcairo2-dev libxml2-dev
  libbenchmark-dev libfftw3-dev libkissfft-dev libvolk2-dev
  dpkg-dev file lintian man-db  # packaging: the .deb is checked with lintian, its manual pages with man
  python3-dev python3-numpy python3-pytest pybind11-dev python3-pybind11  # the Python module
  googletest g++-mingw-w64-i686 wine wine32:i386
  g++-mingw-w64-x86-64 wine64)  # the 64-bit Windows build under 64-bit Wine
export DEBIAN_FRONTEND=noninteractive
# wine32 comes from the i386 architecture; dpkg must know it before apt looks.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture"
  dpkg --add-architecture i386
  apt-get update -qq
fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

case "${1:-}" in
  main)
    build default
    ./build/default/bin/qelspectrum
    ;;
  test)
    build default
    ctest --preset default
    build asan
    ctest --preset asan
    # clang builds and runs the plain suite; its sanitizer build
    # (clang-asan) works the same way but is left to runs by hand, as the
    # gcc sanitizer run covers the same tests and CI has to stay within
    # about 35 minutes
    build clang
    ctest --preset clang
    build mingw
    ctest --preset mingw
    # after default: its outputs are the ones the x64 DLLs must reproduce
    build mingw64
    ctest --preset mingw64
    # the fuzz target for a minute from its corpus (tests/fuzz/)
    build fuzz
    ctest --preset fuzz
    ;;
  *)
    echo "usage: tools/setup.sh main|test" >&2
    exit 2
    ;;
esac
