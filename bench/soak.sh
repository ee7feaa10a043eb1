#!/usr/bin/env bash
# Soak: the control panel (offscreen, main window shown) polls tavsim for N minutes (default
# 30) and reports lines received against a lossless cycle, the largest gap, the program's CPU
# share and its resident memory after 10 s and at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps"
"$here/scripts/build"
exec "$here/build/bench/bench_poll_period" $(( ${1:-30} * 60 ))
