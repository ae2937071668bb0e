#!/bin/bash
# Runs the benchmarks of a release build and prints, for each table size, what a call costs
# when the port table is stale (rebuilt from the devices) against when it is fresh: the factor
# the 10-second window saves.
#   bench/print-ratios.sh [build dir, default build/host-release]
set -euo pipefail
build=${1:-build/host-release}
program="$build/bench/enum_ports_bench"
if [[ ! -x $program ]]; then
    echo "print-ratios: $program is missing; run: make bench" >&2
    exit 1
fi
printf "%8s %16s %16s %8s\n" ports "fresh (cpu)" "stale (cpu)" ratio
"$program" --benchmark_format=csv 2>/dev/null | awk -F, '
    /^"?BM_EnumPorts(Fresh|Stale)\/[0-9]+/ {
        name = $1; gsub(/"/, "", name)
        split(name, part, "/")
        kind = (part[1] ~ /Stale/) ? "stale" : "fresh"
        cpu[kind "/" part[2]] = $4; unit[part[2]] = $5; sizes[part[2]] = 1
    }
    END {
        for (s in sizes)
            if ((("fresh/" s) in cpu) && (("stale/" s) in cpu))
                printf "%8d %13.1f %-2s %13.1f %-2s %8.1f\n", s, cpu["fresh/" s], unit[s],
                       cpu["stale/" s], unit[s], cpu["stale/" s] / cpu["fresh/" s]
    }' | sort -n
