#!/usr/bin/env bash
# Sets a fresh machine up and builds: installs the Debian packages that are
# missing, configures, builds, and then
#   tools/setup.sh main   runs qelspectrum on its built-in signal (the main job)
#   tools/setup.sh test   runs every test suite, plain and under the sanitizers
set -euo pipefail
cd "$(dirname "$0")/.."

# build and tests; qelspectrum (audio files, pictures; its tests read SVG
# back with libxml2); benchmarks against
# other FFT and vector libraries; packaging
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev pkg-config
  libsndfile1-dev libcairo2-dev libxml2-dev
  libbenchmark-dev libfftw3-dev libkissfft-dev libvolk2-dev
  dpkg-dev file)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
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
    ;;
  *)
    echo "usage: tools/setup.sh main|test" >&2
    exit 2
    ;;
esac
