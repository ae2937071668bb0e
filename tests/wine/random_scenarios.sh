#!/bin/bash
# Random machines and device events (vtxscenario), each run under Wine and on the simulated
# machine with the harness of the Wine tests (harness.sh), and compared after every step and
# after each restart. Only the differences listed in platform_differences are accepted.
#
#   random_scenarios.sh run <scenario directory>   one scenario (fixture.reg and steps)
#   random_scenarios.sh sample <seed>...           the given seeds, in the prefix of wine.prefix
#   random_scenarios.sh soak <seed> <count> <out>  seeds seed .. seed+count-1 in a prefix of its
#                                                  own; each scenario that differs is kept in
#                                                  <out>/differ/seed-<n> with its differences
#
# Environment: that of harness.sh, and VTX_SCENARIO_GENERATOR, the vtxscenario program; each
# unset one defaults to the build trees of this checkout. Exit status: 0 none differed, 1 some
# did, 77 skipped (no Wine that can run 32-bit programs, or no images), 2 could not run.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
readonly root
export VTX_HOST_HELPER=${VTX_HOST_HELPER:-$root/build/host/setup_helper/vtxinh01}
export VTX_SIM_SPOOLER=${VTX_SIM_SPOOLER:-$root/build/host/tests/wine/vtxspool_sim}
export VTXSIM_MONITOR_DIR=${VTXSIM_MONITOR_DIR:-$root/build/host/port_monitor}
export VTX_WINE_STATE=${VTX_WINE_STATE:-$root/build/host/tests/wine/vtxwinestate}
readonly generator=${VTX_SCENARIO_GENERATOR:-$root/build/host/tests/wine/vtxscenario}
readonly command=${1:-}
shift

# shellcheck source=tests/wine/harness.sh
source "$root/tests/wine/harness.sh" random
# shellcheck source=tests/wine/kinds/monitor.sh
source "$root/tests/wine/kinds/monitor.sh"

# The fields of one step line (tab-separated) into the array `fields`.
split_step() {
    IFS=$'\t' read -r -a fields <<<"$1"
}

# The machine before the first event: the settings, the fixture, wininit.ini and the files that
# the driver's installation left.
prepare_machines() {
    local steps=$1 fixture=$2 version=98 shell=0 launch=0 line
    local wininit=() files=()
    while IFS= read -r line; do
        split_step "$line"
        case ${fields[0]:-} in
        version) version=${fields[1]} ;;
        shell) shell=${fields[1]} ;;
        launch_ini) launch=${fields[1]} ;;
        wininit) wininit+=("${fields[1]}") ;;
        file) files+=("${fields[1]}") ;;
        esac
    done <"$steps"
    new_machines "$version" "$shell" || return 1
    machine_shell=$shell
    import_reg "$fixture"
    if [[ ${#wininit[@]} -gt 0 ]]; then
        printf '%s\r\n' "${wininit[@]}" >"$work/wininit.before"
        put_file 'C:\Windows\wininit.ini' "$work/wininit.before"
    fi
    local file
    for file in "${files[@]}"; do
        if [[ $file == *vtxalt01.exe ]]; then
            put_file "$file" "$win32_dir/vtxinh01.exe"
        else
            put_driver_file "$file"
        fi
    done
    [[ $launch == 1 ]] && put_launch_ini
    # The stand-in reads the registry while a session runs, and loads the monitor.
    put_tools vtxspool.exe
    put_monitor
    wine_interfaces "$fixture"
}

# A printer's device path under Wine is "\\?\" and this name, a link of this name in the
# prefix's dosdevices its cable.
wine_device_name() {
    local name=${1//\\/#}
    echo "${name,,}#$("$wine_state" interface-class)"
}

# Wine's SetupDi lists an interface only when its "#" key has a SymbolicLink and its device's key
# below System\CurrentControlSet\Enum a ClassGUID; a Windows 98 registry has neither. Added under
# Wine only (platform_differences).
wine_interfaces() {
    local out=$work/interfaces.reg key instance interface_class
    interface_class=$("$wine_state" interface-class)
    echo REGEDIT4 >"$out"
    while IFS=$'\t' read -r key instance; do
        printf '\n[%s\\#]\n"SymbolicLink"="\\\\\\\\?\\\\%s"\n' "$key" "$(wine_device_name "$instance")"
        printf '\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\%s]\n"ClassGUID"="%s"\n' \
            "$instance" "$interface_class"
    done < <("$wine_state" interfaces "$1") >>"$out"
    cp "$out" "$prefix/drive_c/interfaces.reg"
    run wine regedit /S 'C:\interfaces.reg' || fail "regedit /S interfaces.reg"
    rm -f "$prefix/drive_c/interfaces.reg"
}

# The printer's cable on both machines: under Wine a link to a host file that takes its jobs.
plug_printer() {
    local instance=$1 serial=$2
    touch "$work/printer-$serial.bin"
    ln -sfn "$work/printer-$serial.bin" "$prefix/dosdevices/$(wine_device_name "$instance")"
    sim_spooler plug "$instance" || fail "plugging $serial in on the simulator"
}

unplug_printer() {
    local instance=$1 serial=$2
    rm -f "$prefix/dosdevices/$(wine_device_name "$instance")"
    sim_spooler unplug "$instance" || fail "pulling $serial out on the simulator"
}

# A job on both machines, and what each printer received of it.
print_both() {
    local stage=$1 port=$2 serial=$3 text="Draftaire job $1" before
    before=$(sim_spooler received "$serial" 2>/dev/null | wc -c)
    [[ -f $work/printer-$serial.bin ]] && : >"$work/printer-$serial.bin"
    spool_both "$stage-job" print "$port" "$text"
    cat "$work/printer-$serial.bin" 2>/dev/null >"$work/$stage.wine.received"
    sim_spooler received "$serial" 2>/dev/null | tail -c +$((before + 1)) >"$work/$stage.sim.received"
    cmp -s "$work/$stage.sim.received" "$work/$stage.wine.received" ||
        fail "$stage: the printers received [$(head -c 100 "$work/$stage.sim.received")] on the simulator, [$(head -c 100 "$work/$stage.wine.received")] under Wine"
}

run_scenario() {
    local dir=$1 line number=0
    [[ -f $dir/steps && -f $dir/fixture.reg ]] || {
        echo "random_scenarios.sh: $dir holds no fixture.reg and steps" >&2
        exit 2
    }
    require_wine vtxinh01.exe vtxpmo01.dll vtxspool.exe
    require_simulator
    prepare_machines "$dir/steps" "$dir/fixture.reg" || return
    while IFS= read -r line; do
        split_step "$line"
        case ${fields[0]:-} in
        install | remove)
            number=$((number + 1))
            open_session
            local action=2
            [[ ${fields[0]} == remove ]] && action=64
            # shellcheck disable=SC2086
            run_helper "$machine_shell" nowait -action=$action -model=${fields[1]} -serial=${fields[2]}
            compare_state "$number-${fields[0]}-${fields[2]}"
            ;;
        plug)
            open_session
            plug_printer "${fields[1]}" "${fields[2]}"
            ;;
        unplug)
            open_session
            unplug_printer "${fields[1]}" "${fields[2]}"
            ;;
        ports)
            number=$((number + 1))
            open_session
            spool_both --sorted "$number-enum" enum
            compare_state "$number-ports"
            ;;
        print)
            number=$((number + 1))
            open_session
            print_both "$number-print-${fields[2]}" "${fields[1]}" "${fields[2]}"
            compare_state "$number-print-${fields[2]}"
            ;;
        restart)
            number=$((number + 1))
            end_session
            restart_both
            compare_state "$number-restart"
            ;;
        esac
    done <"$dir/steps"
    end_session
}

# Each seed's scenario, generated into <out>/scenarios and run in a work directory of its own.
# Prints one line per seed and keeps the scenarios that differ.
run_seeds() {
    local out=$1 seed status differ=0 count=0 dir
    shift
    for seed in "$@"; do
        dir=$out/scenarios/seed-$seed
        "$generator" "$seed" "$dir" || exit 2
        VTX_WINE_WORK=$out/work/seed-$seed bash "$here/random_scenarios.sh" run "$dir" \
            >"$dir.log" 2>&1
        status=$?
        count=$((count + 1))
        case $status in
        0)
            echo "seed $seed: the same"
            rm -rf "$out/work/seed-$seed"
            ;;
        77)
            cat "$dir.log"
            exit $SKIP
            ;;
        *)
            differ=$((differ + 1))
            mkdir -p "$out/differ"
            rm -rf "$out/differ/seed-$seed"
            cp -r "$dir" "$out/differ/seed-$seed"
            cp "$dir.log" "$out/differ/seed-$seed/differences"
            rm -rf "$out/work/seed-$seed"
            echo "seed $seed: differs ($out/differ/seed-$seed/differences)"
            ;;
        esac
    done
    echo "$count scenarios, $differ differ"
    [[ $differ -eq 0 ]]
}

# The whole dispatch is read before it runs: a script edited during a long soak stays whole.
main() {
    case $command in
    run)
        [[ $# -eq 1 ]] || exit 2
        start_work
        run_scenario "$1"
        finish "$1" "the same on both machines"
        ;;
    sample)
        [[ $# -ge 1 ]] || exit 2
        start_work
        run_seeds "$work" "$@"
        exit
        ;;
    soak)
        [[ $# -eq 3 && $1 =~ ^[0-9]{1,18}$ && $2 =~ ^[0-9]{1,9}$ ]] || {
            echo "usage: random_scenarios.sh soak <seed> <count> <out>" >&2
            exit 2
        }
        first=$1 count=$2
        # Wine takes only an absolute prefix path.
        out=$(realpath -m "$3")
        mkdir -p "$out"
        # The scenarios and differences of an earlier soak: this one's summary counts its own.
        rm -rf "$out/scenarios" "$out/work" "$out/differ"
        # A prefix of its own, removed again at the end (some 600 MB).
        export VTX_WINE_TEMPLATE=$out/template
        VTX_WINE_WORK=$out/work/prefix bash "$here/wine_tests.sh" prefix >"$out/prefix.log" 2>&1
        status=$?
        if [[ $status -ne 0 ]]; then
            cat "$out/prefix.log"
            exit $((status == SKIP ? SKIP : 2))
        fi
        seeds=()
        for ((i = 0; i < count; i++)); do
            seeds+=($((first + i)))
        done
        run_seeds "$out" "${seeds[@]}" | tee "$out/summary" | grep -v '^[0-9]* scenarios, '
        status=${PIPESTATUS[0]}
        rm -rf "$VTX_WINE_TEMPLATE" "$out/work"
        tail -n 1 "$out/summary"
        exit "$status"
        ;;
    *)
        echo "usage: random_scenarios.sh run <dir> | sample <seed>... | soak <seed> <count> <out>" >&2
        exit 2
        ;;
    esac
}

main "$@"
exit
