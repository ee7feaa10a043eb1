#!/usr/bin/env bash
# How long a fresh clone takes to build (scripts/build, the packages installed), as a multiple of
# compiling one Qt translation unit (the test window, with the build's flags and no precompiled
# header) in the same run: other work on the machine slows both alike, so two runs compare.
#   bench/build_time.sh [--test] [commit]   (default HEAD; under nice on a shared machine)
# --test times scripts/test instead, the build and the whole suite (a suite that fails is timed
# all the same, and said).
# cold: a clone compiling into an empty compiler cache (a private one, as on a machine's first
# run); warm: another fresh clone in the same place with what the first left in that cache (as
# on the CI machine, which keeps its cache between runs); not made for a commit whose
# scripts/build uses no cache.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
what=build
if [ "${1:-}" = --test ]; then
    what=test
    shift
fi
commit=$(git -C "$here" rev-parse "${1:-HEAD}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CCACHE_DIR=$work/ccache
src=$work/src

clone() {
    rm -rf "$src"
    git clone -q --no-checkout "$here" "$src"
    git -C "$src" checkout -q "$commit"
}

# Seconds, to a tenth, that the command takes. A failed build ends the run; a failed suite is
# noted in $work/failed.
seconds() {
    local start end
    start=$(date +%s.%N)
    if ! "$@" >"$work/out.log" 2>&1; then
        tail -20 "$work/out.log" >&2
        [ "$what" = test ] && grep -q "tests failed out of" "$work/out.log" || exit 1
        grep "tests failed out of" "$work/out.log" >>"$work/failed"
    fi
    end=$(date +%s.%N)
    echo "$start $end" | awk '{printf "%.1f", $2 - $1}'
}

unit() {
    # shellcheck disable=SC2046
    seconds g++ -std=c++20 -O2 -g -DNDEBUG -fPIC -Wall -Wextra -DQT_NO_KEYWORDS \
        -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_PRINTSUPPORT_LIB -I"$src" \
        $(pkg-config --cflags Qt6Widgets Qt6PrintSupport) \
        -c "$src/autotest/table_window.cpp" -o "$work/unit.o"
}

clone
units=("$(unit)")
cold=$(seconds "$src/scripts/$what")
units+=("$(unit)")
warm=
if grep -q ccache "$src/scripts/build"; then
    clone
    warm=$(seconds "$src/scripts/$what")
    units+=("$(unit)")
fi
# The mean of the unit's compiles before, between and after the builds: the load changes.
unit=$(printf '%s\n' "${units[@]}" | awk '{s += $1} END {printf "%.1f", s / NR}')
hits=$(ccache -s 2>/dev/null | grep -E '^ *Hits:' | head -1 | sed 's/^ *//' || true)

echo "commit $(git -C "$here" log -1 --format='%h %s' "$commit" | cut -c1-60)"
echo "cores $(nproc); one unit ${units[*]} s (mean $unit s)"
[ -f "$work/failed" ] && sed 's/^/suite: /' "$work/failed"
echo "cold $what $cold s = $(awk -v b="$cold" -v u="$unit" 'BEGIN {printf "%.0f", b / u}') units"
if [ -n "$warm" ]; then
    echo "warm $what $warm s = $(awk -v b="$warm" -v u="$unit" 'BEGIN {printf "%.0f", b / u}') units${hits:+ (ccache $hits)}"
else
    echo "warm $what: the same (no compiler cache at this commit)"
fi
