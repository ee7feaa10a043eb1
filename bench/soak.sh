#!/usr/bin/env bash
# Soak, in two parts, each against its own tavsim:
#  - polling: the control panel (offscreen, main window shown) polls for the given minutes
#    (default 30) and reports lines received against a lossless cycle, the largest gap, the
#    program's CPU share and its resident memory after 10 s and at the end;
#  - a test table: the test window runs a table whose last row jumps back, for the second
#    number of minutes (default: the same), and reports readings checked and failed, messages,
#    CPU and memory per result row.
# The two run side by side, so the whole soak takes the longer of the two.
#   bench/soak.sh [poll minutes] [table minutes]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
poll=${1:-30}
table=${2:-$poll}
"$here/scripts/install-deps"
"$here/scripts/build"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$here/build/bench/bench_poll_period" $((poll * 60)) >"$out/poll" 2>"$out/poll.err" &
polling=$!
status=0
if [ "$table" -gt 0 ]; then
    "$here/build/bench/bench_table_soak" $((table * 60)) >"$out/table" 2>"$out/table.err" ||
        status=$?
fi
wait "$polling" || status=$?
echo "== polling, $poll min"
cat "$out/poll"
if [ "$table" -gt 0 ]; then
    echo "== test table looping, $table min"
    cat "$out/table"
fi
if [ "$status" -ne 0 ]; then
    echo "== errors"
    cat "$out"/*.err
fi
exit "$status"
