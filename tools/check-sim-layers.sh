#!/bin/bash
# Checks the simulator's layering by its include lines: the machine (platform/sim) never
# includes its controls (platform/sim/control), and the lab, the benches, the fuzzers and the
# driver installation reach the machine only through the controls.
#
#   check-sim-layers.sh
#
# Prints each offending include as "<file>:<line>: <include>" and exits 1 when there is one.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
found=0

sources() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0
}

while IFS= read -r -d '' file; do
    [[ $file == platform/sim/control/* ]] && continue
    if grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"platform/sim/control/' "$file"; then
        found=1
    fi
done < <(sources platform/sim)

while IFS= read -r -d '' file; do
    if grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"platform/sim/' "$file" |
        grep -v '"platform/sim/control/'; then
        found=1
    fi
done < <(sources tools/lab bench fuzz driver_install)

if ((found)); then
    echo "check-sim-layers: the includes above cross the simulator's layers" >&2
    exit 1
fi
