#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets a fresh machine up and builds: installs the Debian packages that are
# missing, configures, builds, and then
#   tools/setup.sh main   builds the libraries, qelspectrum, zentavol-which and
#                         the Python module only (preset main), with only the
#                         packages they need, and runs qelspectrum on its
#                         built-in signal (the main job)
#   tools/setup.sh test   installs everything else too (the test frameworks,
#                         clang, the benchmark peers, packaging tools, the
#                         mingw-w64 cross compilers with Wine, 32-bit from the
#                         i386 architecture, and 64-bit), builds everything and runs every test
#                         suite: on Linux plainly with g++ and under the
#                         sanitizers with clang++ (the fuzz target with
#                         them), then the 32-bit and 64-bit Windows builds
#                         under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

# building and running the libraries, qelspectrum (audio files, pictures)
# and the Python module
main_packages=(cmake ninja-build g++ pkg-config
  libsndfile1-dev libcairo2-dev
  python3-dev python3-numpy pybind11-dev)
# the tests (clang: the second compiler, with its sanitizer run-time;
# qelspectrum's tests read SVG back with libxml2), the benchmarks against other
# FFT and vector libraries, packaging, the Windows build under Wine
test_packages=(libgtest-dev libgmock-dev googletest
  clang libclang-rt-dev  # the clang builds and the fuzz target (libFuzzer, sanitizers)
  libxml2-dev
  libbenchmark-dev libfftw3-dev libkissfft-dev libvolk2-dev
  dpkg-dev file lintian man-db  # packaging: the .deb files are checked with lintian, the manual pages with man
  python3-pytest python3-pybind11
  g++-mingw-w64-i686 wine wine32:i386
  g++-mingw-w64-x86-64 wine64)  # the 64-bit Windows build under 64-bit Wine
export DEBIAN_FRONTEND=noninteractive

# update_lists: refreshes the package lists. A mirror in the middle of a sync
# fails one index now and then (seen: bookworm-security's i386 list); it is
# asked again, and if it still fails the lists it did get are used: the
# install that follows fails loudly if a package is really missing.
update_lists() {
  local attempt
  for attempt in 1 2 3; do
    apt-get update -qq && return 0
    echo "apt-get update failed (attempt $attempt)" >&2
    sleep 5
  done
  echo "going on with the package lists as they are" >&2
}

# install_missing <package>...: installs those that are missing
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    update_lists
    apt-get install -y -qq --no-install-recommends "${missing[@]}" && return 0
    # A mirror that serves the security suite's amd64 list but not its i386
    # one (seen here) leaves the i386 packages unable to match the
    # versions of their installed amd64 halves, as multiarch requires. Then
    # this install alone takes the release's own versions for both
    # architectures, going back from a security version where it must.
    echo "installing again with the release's versions for both architectures" >&2
    local pin=/etc/apt/preferences.d/zentavol-setup-release status=0
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: -1\n\nPackage: *\nPin: release l=Debian\nPin-Priority: 1001\n' >"$pin"
    apt-get install -y -qq --no-install-recommends --allow-downgrades "${missing[@]}" || status=$?
    rm -f "$pin"
    return "$status"
  fi
}

# build <preset> [cmake --build options]: configures and builds
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$@"
}

case "${1:-}" in
  main)
    install_missing "${main_packages[@]}"
    build main
    ./build/main/bin/qelspectrum
    ;;
  test)
    # wine32 comes from the i386 architecture; dpkg must know it before apt looks.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "adding the i386 architecture"
      dpkg --add-architecture i386
      update_lists
    fi
    install_missing "${main_packages[@]}" "${test_packages[@]}"
    build default
    ctest --preset default
    # The second compiler builds with the sanitizers: one build shows that
    # clang compiles the code and that the suites pass there, and runs them
    # under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz target
    # among them (from its corpus in tests/fuzz/, half a minute on each core).
    # The presets asan (gcc) and clang (plain) do the same separately, for
    # runs by hand; CI has to stay within about 35 minutes.
    build clang-asan
    ctest --preset clang-asan
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
      build mingw
      ctest --preset mingw
    else
      # Some kernels of this machine kind run no 32-bit programs (their
      # 32-bit emulation is off; "Exec format error"), so 32-bit Wine cannot
      # start: the DLLs and the other libraries and objects are still built
      # and their instruction sets and exports audited, which needs no
      # Windows program to run. The 32-bit test programs, which could not
      # start, are left unbuilt: the 64-bit build compiles the same test
      # sources, all but the few parts for 32-bit callers only (their stack
      # alignment and saved registers), which only a machine that runs them
      # compiles.
      echo "NOTE: this machine runs no 32-bit programs: the 32-bit Windows suites under Wine do not run here, and their programs are not built; only the libraries are, with the checks that start no Windows program" >&2
      build mingw --target zv_libraries
      ZV_NO_EMULATED_PROGRAMS=1 ctest --preset mingw -L "^(isa|abi)$"
    fi
    # after default: its outputs are the ones the x64 DLLs must reproduce
    # (digests.equal_to_linux); every suite of the 32-bit run under Wine runs
    # here too. Under 64-bit Wine a test program now and then ends within
    # 20 ms, before printing anything (once in about 2700 runs here): such a
    # test runs a second time. A failure of the code under test fails twice.
    build mingw64
    ctest --preset mingw64 --repeat until-pass:2
    ;;
  *)
    echo "usage: tools/setup.sh main|test" >&2
    exit 2
    ;;
esac
