#!/usr/bin/env bash
# Builds and runs the running-table CPU benchmark in a virtual X server, so that the windows
# are shown and drawn as on a desktop: bench/table_cpu.sh [seconds of running table, default 60]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps"
"$here/scripts/build"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build/bench/bench_table_cpu" "${1:-60}" "${@:2}"
