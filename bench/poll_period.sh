#!/usr/bin/env bash
# Builds and runs the poll-period benchmark: the control panel against tavsim for N seconds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps"
"$here/scripts/build"
exec "$here/build/bench/bench_poll_period" "${1:-30}"
