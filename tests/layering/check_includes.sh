#!/usr/bin/env bash
# Dependencies point downward: a file in common/, widgets/, replies/, link/ or record/ (a header
# in panel/) includes nothing from a folder above its own, the run engine (run/) nothing of the
# programs over it (tools/, rack/, python/), and only what assembles a unit (app/, run/, tools/)
# includes the state in program/. Prints every offending line; fails when there is one.
set -uo pipefail
cd "${1:?source directory}"
status=0
offend() { echo "$1"; status=1; }
check() { # folder, allowed folders (regex), files
    local folder=$1 allowed=$2
    shift 2
    while IFS= read -r line; do
        offend "$line"
    done < <(grep -Hn '^#include "' "$@" 2>/dev/null |
             grep -vE "#include \"($allowed)/" | grep -v '#include "tav_version.h"')
}
check common 'common' common/*.h common/*.cpp
check link 'common|link|widgets' link/*.h link/*.cpp
check record 'common|link|widgets|record' record/*.h record/*.cpp
check replies 'common|replies' replies/*.h replies/*.cpp
check widgets 'common|widgets' widgets/*.h widgets/*.cpp
check run 'common|link|replies|panel|sequence|autotest|results|record|program|run' run/*.h run/*.cpp
check panel 'common|link|replies|widgets|panel' panel/*.h
while IFS= read -r line; do
    offend "$line"
done < <(grep -rHn '^#include "program/' --include='*.h' --include='*.cpp' \
             common link panel sequence autotest export record service 2>/dev/null)
exit $status
