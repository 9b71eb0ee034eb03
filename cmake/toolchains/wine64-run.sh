#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a 64-bit Windows program of the build under Wine's 64-bit loader
# (the "wine" command prefers the 32-bit one when both are installed, and a
# prefix it creates could not run x64 programs).
ZV_WINE=/usr/lib/wine/wine64
export ZV_WINE
exec "$(dirname "$0")/wine-run.sh" "$@"
