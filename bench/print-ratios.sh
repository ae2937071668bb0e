#!/bin/bash
# Runs the benchmarks of a release build and prints each figure as a ratio against its
# baseline measured in the same run, with the goal it is held to:
#   - the helper's install and removal as processes with 20,000 extra keys, against the same on
#     the one-printer machine and against loading and saving that registry once;
#   - WritePort against WriteFile of the same chunks on the same device handle, in time and (with
#     valgrind) in instructions counted by callgrind, which repeat exactly on a busy machine too;
#   - EnumPorts at levels 1 and 2 and ScanDevices with 1, 16 and 127 ports: stale against fresh,
#     and the cost per port against that with one port, in time and in instructions;
#   - the REGEDIT4 import of a 50,000-key export into a fresh machine, in keys per second of cpu
#     time, against raw SQLite inserts of the same rows into the same tables; vtxlab new --from
#     and vtxlab explain of that export (two of the maker's printers in it), as processes in real
#     time, against the import alone;
#   - the table rebuilds under eight threads over 60 simulated seconds, and the WritePort
#     throughput of 2 and 4 threads against one, beside the same for plain file appends (the
#     ceiling the host's file system sets).
# Each benchmark runs REPETITIONS times (default 3) and the median counts.
#   bench/print-ratios.sh [build dir, default build/host-release]
set -euo pipefail
build=${1:-build/host-release}
repetitions=${REPETITIONS:-3}
for program in helper_process_bench print_path_bench enum_ports_bench monitor_threads_bench \
    registry_import_bench; do
    if [[ ! -x $build/bench/$program ]]; then
        echo "print-ratios: $build/bench/$program is missing; run: make bench" >&2
        exit 1
    fi
done

# "name<TAB>real<TAB>cpu<TAB>bytes/s<TAB>items/s<TAB>rebuilds" per benchmark, in nanoseconds,
# the median of the repetitions.
measure() {
    "$build/bench/$1" --benchmark_format=csv --benchmark_repetitions="$repetitions" \
        --benchmark_report_aggregates_only=true 2>/dev/null | awk -F, '
        /^name,/ {
            for (i = 1; i <= NF; i++) {
                field = $i; gsub(/"/, "", field); column[field] = i
            }
            next
        }
        /^"/ {
            name = $1; gsub(/"/, "", name)
            if (name ~ /_(mean|stddev|cv)$/)
                next
            sub(/_median$/, "", name)
            sub(/\/min_time:[0-9.]+/, "", name)
            scale = ($column["time_unit"] == "ms") ? 1e6 : ($column["time_unit"] == "us") ? 1e3 : 1
            rebuilds = ("rebuilds" in column) ? $column["rebuilds"] : ""
            printf "%s\t%.1f\t%.1f\t%s\t%s\t%s\n", name, $column["real_time"] * scale,
                   $column["cpu_time"] * scale, $column["bytes_per_second"],
                   $column["items_per_second"], rebuilds
        }'
}

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for program in helper_process_bench print_path_bench enum_ports_bench monitor_threads_bench \
    registry_import_bench; do
    echo "running $program ..." >&2
    measure "$program" >>"$results"
done

# Instructions per call of 4 KiB, from callgrind collecting inside one loop at a time.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null --toggle-collect="$1" \
        "$build/bench/print_path_bench" --calls 1000 2>&1 |
        awk '/Collected :/ { printf "%.0f", $NF / 1000 }'
}
# Instructions per port of ScanDevices: four scans and the one at the monitor's start.
scan_instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null --toggle-collect='ScanDevices()' \
        "$build/bench/enum_ports_bench" --scans 4 "$1" 2>&1 |
        awk -v ports="$1" '/Collected :/ { printf "%.0f", $NF / (5 * ports) }'
}
if command -v valgrind >/dev/null 2>&1; then
    echo "running print_path_bench and enum_ports_bench under callgrind ..." >&2
    printf "callgrind/WritePort\t%s\ncallgrind/WriteFile\t%s\n" \
        "$(instructions vtxbench_write_port_calls)" "$(instructions vtxbench_write_file_calls)" \
        >>"$results"
    for ports in 1 16 127; do
        printf "callgrind/ScanDevices/%s\t%s\n" "$ports" "$(scan_instructions "$ports")" >>"$results"
    done
fi

awk -F'\t' '
    { real[$1] = $2; cpu[$1] = $3; bytes[$1] = $4; rebuilds[$1] = $6; count[$1] = $2 }
    function line(figure, value, base, goal, unit,   ratio) {
        if (!(value > 0) || !(base > 0)) {
            printf "  %-62s (not measured)\n", figure
            return
        }
        ratio = value / base
        printf "  %-62s %10.3f %-3s %10.3f %-3s  x%-8.3f %s\n", figure, value, unit, base, unit,
               ratio, goal
    }
    function ms(ns) { return ns / 1e6 }
    function us(ns) { return ns / 1e3 }
    END {
        printf "%-64s %14s %14s  %-9s %s\n", "figure", "value", "baseline", "ratio", "goal"
        print "Helper as a process, 20,000 extra keys (real time)"
        line("install against the one-printer machine", ms(real["BM_HelperInstall/20000/real_time"]),
             ms(real["BM_HelperInstall/0/real_time"]), "within x2", "ms")
        line("removal against the one-printer machine", ms(real["BM_HelperRemoval/20000/real_time"]),
             ms(real["BM_HelperRemoval/0/real_time"]), "within x2", "ms")
        line("install against loading and saving the registry once",
             ms(real["BM_HelperInstall/20000/real_time"]),
             ms(real["BM_LoadAndSaveRegistry/20000/real_time"]), "", "ms")
        line("removal against loading and saving the registry once",
             ms(real["BM_HelperRemoval/20000/real_time"]),
             ms(real["BM_LoadAndSaveRegistry/20000/real_time"]), "", "ms")

        print "REGEDIT4 import of a 50,000-key export into a fresh machine (cpu time)"
        import = cpu["BM_ImportRegedit4/50000"]; raw = cpu["BM_RawSqliteInserts/50000"]
        line("import against raw SQLite inserts of the same rows", ms(import), ms(raw), "within x2", "ms")
        line("vtxlab new --from against the import alone (real time)", ms(real["BM_LabNewFrom/real_time"]),
             ms(real["BM_ImportRegedit4/50000"]), "within x2", "ms")
        line("vtxlab explain against the import alone (real time)", ms(real["BM_LabExplain/real_time"]),
             ms(real["BM_ImportRegedit4/50000"]), "within x2", "ms")
        if (import > 0)
            printf "  %-62s %10.0f keys/s %29s\n", "import speed", 50000 / (import / 1e9),
                   "at least 100,000 keys/s"

        print "Print path: WritePort against WriteFile on the same device handle (cpu time)"
        line("4 KiB chunks", us(cpu["BM_WritePort/4096"]), us(cpu["BM_WriteFile/4096"]), "under x1.02", "us")
        line("64 KiB chunks", us(cpu["BM_WritePort/65536"]), us(cpu["BM_WriteFile/65536"]), "under x1.02", "us")
        line("instructions per 4 KiB call (callgrind)", count["callgrind/WritePort"],
             count["callgrind/WriteFile"], "under x1.02", "")

        print "EnumPorts and ScanDevices (cpu time per port)"
        for (level = 1; level <= 2; level++) {
            split("1 16 127", sizes, " ")
            for (i = 1; i <= 3; i++) {
                n = sizes[i]
                fresh = cpu["BM_EnumPortsFresh/" level "/" n] / n
                stale = cpu["BM_EnumPortsStale/" level "/" n] / n
                line(sprintf("level %d, %3d ports: stale against fresh", level, n), us(stale), us(fresh), "", "us")
            }
            for (i = 2; i <= 3; i++) {
                n = sizes[i]
                line(sprintf("level %d, %3d ports: fresh per port against 1 port", level, n),
                     us(cpu["BM_EnumPortsFresh/" level "/" n] / n), us(cpu["BM_EnumPortsFresh/" level "/1"]),
                     "flat (x1 or less)", "us")
                line(sprintf("level %d, %3d ports: stale per port against 1 port", level, n),
                     us(cpu["BM_EnumPortsStale/" level "/" n] / n), us(cpu["BM_EnumPortsStale/" level "/1"]),
                     "flat (about x1)", "us")
            }
        }
        for (i = 2; i <= 3; i++) {
            n = sizes[i]
            line(sprintf("ScanDevices, %3d interfaces: per port against 1", n),
                 us(cpu["BM_ScanDevices/" n] / n), us(cpu["BM_ScanDevices/1"]), "flat (about x1)", "us")
        }

        for (i = 2; i <= 3; i++) {
            n = sizes[i]
            line(sprintf("ScanDevices, %3d interfaces: instructions per port against 1", n),
                 count["callgrind/ScanDevices/" n], count["callgrind/ScanDevices/1"], "flat (about x1)", "")
        }

        print "Threads"
        r = rebuilds["BM_TableRebuildsUnderEightThreads/iterations:1"]
        printf "  %-62s %10d     %10d      x%-8.3f %s\n", "table rebuilds, 8 threads, 60 s of the clock", r,
               7, r / 7, "at most 7 (x1)"
        one = bytes["BM_WritePortThreads/real_time/threads:1"]
        line("WritePort throughput, 2 threads against 1", bytes["BM_WritePortThreads/real_time/threads:2"] / 1e6,
             one / 1e6, "towards x2 (the cores)", "MB/s")
        line("WritePort throughput, 4 threads against 1", bytes["BM_WritePortThreads/real_time/threads:4"] / 1e6,
             one / 1e6, "as many as the cores", "MB/s")
        host = bytes["BM_HostAppendThreads/real_time/threads:1"]
        line("host file appends (the ceiling), 2 threads against 1",
             bytes["BM_HostAppendThreads/real_time/threads:2"] / 1e6, host / 1e6, "", "MB/s")
        line("host file appends (the ceiling), 4 threads against 1",
             bytes["BM_HostAppendThreads/real_time/threads:4"] / 1e6, host / 1e6, "", "MB/s")
        line("WritePort throughput, 1 thread against host appends", one / 1e6, host / 1e6, "", "MB/s")
    }' "$results"
