# shellcheck shell=bash
# The harness of the Wine tier, sourced by wine_tests.sh and random_scenarios.sh: a Windows 98
# prefix and its copies, the PE32 images run under Wine in Windows 98 or ME mode, the same run
# on the simulated machine, the comparison of the two (their state, which vtxwinestate reads into
# one form, and the problems explain finds in the field collector's report of each), and skip,
# pass and fail reporting.
#
#   source harness.sh <name>   <name> names the run's default scratch directory
#
# Environment (set by CTest): VTX_WIN32_DIR, the win32 build with the images; VTX_WINE_ROUTE,
# the directory made by tools/wine-qemu.sh; VTX_WINE_TEMPLATE, the prefix to copy;
# VTX_WINE_WORK, a scratch directory of this test; VTX_HOST_HELPER and VTX_SIM_SPOOLER, the
# helper and the stand-in built for the simulated machine; VTX_HOST_COLLECTOR, the collector's
# Linux build, and VTX_LAB, vtxlab; VTX_WINE_STATE, vtxwinestate; VTXSIM_MONITOR_DIR, the
# monitor's; VTX_PROJECT_VERSION, the version the images must carry.
# Exit status of a run: 0 passed, 1 failed, 77 skipped (no Wine that can run 32-bit programs, or
# no images).
#
# Every new wineserver is a Windows start for Wine: wineboot then carries out wininit.ini's
# RENAME section and runs and deletes RunOnce. A scenario therefore keeps one wineserver (a
# session) for everything up to the product's run, reads the results from the prefix's files
# once that server has saved them and gone, and only then restarts on purpose.
#
# Wine is not Windows 98: the differences the comparison accepts are listed, each with its
# reason, in platform_differences beside this file.
set -uo pipefail

readonly SKIP=77
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly here
readonly scenario=${1:-}
readonly win32_dir=${VTX_WIN32_DIR:-$here/../../build/win32}
readonly route=${VTX_WINE_ROUTE:-$here/../../build/wine-qemu}
readonly template=${VTX_WINE_TEMPLATE:-${TMPDIR:-/tmp}/vtx-wine-template}
readonly work=${VTX_WINE_WORK:-${TMPDIR:-/tmp}/vtx-wine-$scenario}
readonly step_timeout=${VTX_WINE_STEP_TIMEOUT:-180}
readonly prefix=$work/prefix
readonly sim=$work/sim
readonly wine_state=${VTX_WINE_STATE:-$here/../../build/host/tests/wine/vtxwinestate}
readonly differences=$here/platform_differences
failures=0
session_open=0

skip() {
    echo "SKIPPED: $*"
    exit $SKIP
}

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

note() {
    echo "-- $*"
}

# A fresh scratch directory for the run.
start_work() {
    rm -rf "$work"
    mkdir -p "$work"
}

# The end of a run: 1 if a check failed, else the prefix's copy removed, "<name>: <verdict>"
# and 0.
finish() {
    local name=$1 verdict=$2
    end_session
    if [[ $failures -gt 0 ]]; then
        echo "$name: $failures check(s) failed; Wine's output is in $work/wine.log" >&2
        exit 1
    fi
    [[ $scenario == prefix ]] || rm -rf "$prefix"
    echo "$name: $verdict"
    exit 0
}

# A Wine command, bounded in time; its output goes to the log.
run() {
    timeout --kill-after=10 "$step_timeout" "$@" >>"$work/wine.log" 2>&1
}

# Plain wine where the kernel runs i386 programs, else the qemu route of tools/wine-qemu.sh;
# the arguments are the images of the win32 build that the run needs.
# shellcheck disable=SC2120
require_wine() {
    local image mode probe
    for image in "$@"; do
        [[ -f $win32_dir/$image ]] || skip "$win32_dir/$image is missing: build the win32 preset first"
    done
    mode=$(cat "$route/mode" 2>/dev/null)
    if [[ $mode == qemu ]]; then
        export PATH=$route/lib/wine:$PATH
    fi
    command -v wine >/dev/null 2>&1 || skip "wine is not installed (tools/install-deps.sh win32)"
    if ! probe=$(timeout 60 wine --version 2>&1); then
        if [[ -f $route/failure ]]; then
            skip "wine cannot run 32-bit programs here (${probe##*$'\n'}) and the qemu route failed: $(cat "$route/failure")"
        fi
        if [[ -z $mode ]]; then
            skip "wine cannot run 32-bit programs here (${probe##*$'\n'}) and $route is not set up: run tools/install-deps.sh win32"
        fi
        skip "wine does not start, neither plainly nor through $route ($mode): ${probe##*$'\n'}"
    fi
    export WINEARCH=win32 WINEDEBUG=-all
    # No Mono or Gecko installer (they would wait for an answer), and no crash debugger: under
    # qemu it cannot attach and hangs holding the caller's output open.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
}

require_simulator() {
    [[ -x ${VTX_HOST_HELPER:-} && -x ${VTX_SIM_SPOOLER:-} && -x $wine_state ]] ||
        skip "the simulator's helper, stand-in or vtxwinestate is missing (VTX_HOST_HELPER, VTX_SIM_SPOOLER, VTX_WINE_STATE)"
    # A rule that does not read would leave both machines' lines out alike.
    "$wine_state" accept "$differences" </dev/null || fail "$differences does not read"
}

# A wineserver for what follows, unless one runs: the first of a session is a Windows start.
open_session() {
    [[ $session_open == 1 ]] && return 0
    run wineserver -p
    session_open=1
}

# Saves the registry to the prefix's files and ends every Wine process of the prefix.
end_session() {
    session_open=0
    [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]] || return 0
    run wineserver -k
    run wineserver -w
    return 0
}

make_template() {
    require_wine
    rm -rf "$template"
    export WINEPREFIX=$template
    note "making a Windows 98 prefix in $template"
    run wine wineboot -i || skip "wineboot could not make a prefix (see $work/wine.log)"
    run wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f || fail "setting Version win98"
    run wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ||
        fail "setting the null graphics driver"
    end_session
    [[ -f $template/system.reg && $failures -eq 0 ]] || fail "no prefix in $template"
    [[ $failures -eq 0 ]] && touch "$template/.complete"
}

# This run's copy of the template (Windows 98, or ME), the prefix of the Wine commands from now
# on; every Wine process of it ends with the run.
copy_template() {
    local version=$1
    [[ -f $template/.complete ]] || {
        fail "no Windows 98 prefix in $template (wine.prefix makes it)"
        return 1
    }
    cp -a "$template" "$prefix"
    if [[ $version == me ]]; then
        sed -i 's/^"Version"="win98"$/"Version"="winme"/' "$prefix/user.reg"
    fi
    export WINEPREFIX=$prefix
    trap end_session EXIT
}

# A copy of the template for this scenario, Windows 98 or ME, and the machine directory of
# the simulator beside it.
new_machines() {
    local version=$1 shell=$2
    rm -rf "$prefix" "$sim"
    mkdir -p "$sim"
    copy_template "$version" || return 1
    # One wineserver until the results are read: a second one would be a Windows start.
    open_session
    sim_spooler settings "$version" "$shell" || fail "setting up the simulated machine"
}

# The stand-in vtxspool on the simulated machine.
sim_spooler() {
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" "$@"
}

# A file of a directory tree, found without regard to case as Windows would.
find_nocase() {
    find "$1" -ipath "$1/$2" -print -quit 2>/dev/null
}

# The host path of a Windows path ("C:\..." below drive_c), each existing directory found
# without regard to case, missing ones made as named.
host_path() {
    local rest=${1#C:\\} dir=$prefix/drive_c part found
    rest=${rest//\\//}
    while [[ $rest == */* ]]; do
        part=${rest%%/*}
        rest=${rest#*/}
        found=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -iname "$part" -print -quit 2>/dev/null)
        [[ -n $found ]] || { found=$dir/$part; mkdir -p "$found"; }
        dir=$found
    done
    found=$(find "$dir" -mindepth 1 -maxdepth 1 -iname "$rest" -print -quit 2>/dev/null)
    echo "${found:-$dir/$rest}"
}

# Puts a file at a Windows path on both machines.
put_file() {
    local path=$1 source=$2
    cp "$source" "$(host_path "$path")"
    sim_spooler put "$path" "$source" || fail "putting $path on the simulator"
}

# A file the driver's installation left, at a Windows path on both machines.
put_driver_file() {
    printf 'driver file\r\n' >"$work/driver.file"
    put_file "$1" "$work/driver.file"
}

# "launch.ini" in C:\Setup on both machines, and the stand-in as the setup program it names.
put_launch_ini() {
    printf '[Setup]\r\n' >"$work/launch.ini"
    put_file 'C:\Setup\launch.ini' "$work/launch.ini"
    put_file 'C:\setup.exe' "$win32_dir/vtxspool.exe"
}

# Images of the win32 build in C:\vtx under Wine, where the tools run from.
put_tools() {
    mkdir -p "$prefix/drive_c/vtx"
    local image
    for image in "$@"; do
        cp "$win32_dir/$image" "$prefix/drive_c/vtx/$image"
    done
}

# The monitor in Wine's system directory, where the helper and the spooler find it.
put_monitor() {
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
}

import_reg() {
    cp "$1" "$prefix/drive_c/import.reg"
    run wine regedit /S 'C:\import.reg' || fail "regedit /S $(basename "$1")"
    rm -f "$prefix/drive_c/import.reg"
    sim_spooler import "$1" || fail "importing $(basename "$1") on the simulator"
}

# A fixture with more REGEDIT4 text behind it.
fixture_with() {
    local base=$1 extra=$2 out=$work/fixture.reg
    { cat "$base"; printf '\n%s\n' "$extra"; } >"$out"
    echo "$out"
}

# The registry below the product's keys (vtxwinestate keys) under Wine while a session runs,
# through the stand-in in C:\vtx: ending the session to read the prefix's files would make the
# next step a Windows start.
wine_export() {
    local keys
    mapfile -t keys < <("$wine_state" keys)
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' export "${keys[@]}" \
        2>>"$work/wine.log" | tr -d '\r' >"$1"
}

# What vtxwinestate reads of Wine's machine, in the array wine_machine: the prefix, and while a
# session runs the stand-in's export of it, saved as the file given; else the prefix's files,
# which its wineserver saved as it ended.
wine_machine_of() {
    wine_machine=("$prefix")
    if [[ $session_open == 1 ]]; then
        wine_export "$1"
        wine_machine+=("$1")
    fi
}

# The registry's values below the product's keys as lines (key <TAB> value <TAB> data, keys and
# names in lower case), before the platform differences.
wine_values() {
    wine_machine_of "$work/values.wine.reg"
    "$wine_state" values wine "${wine_machine[@]}"
}

sim_values() {
    "$wine_state" values sim "$sim"
}

# The rules of platform_differences, applied to one machine's lines.
accept_differences() {
    "$wine_state" accept "$differences"
}

# The RENAME entries of a wininit.ini, in order.
rename_entries() {
    "$wine_state" renames "${1:-}"
}

# Both machines' state now, saved as <stage>.wine and <stage>.sim: the product's keys, RENAME
# entries and files, less the accepted platform differences (vtxwinestate says which lines); and
# the values of the product's keys as they are, as <stage>.wine.values and <stage>.sim.values.
# Whether the simulator and Wine agree at stage; what differs is left in $work/$stage.diff.
states_agree() {
    local stage=$1 out=$work/$1 differs=$work/$1.diff
    wine_machine_of "$out.wine.reg"
    "$wine_state" values wine "${wine_machine[@]}" >"$out.wine.values" 2>"$differs" &&
        "$wine_state" values sim "$sim" >"$out.sim.values" 2>"$differs" &&
        "$wine_state" wine "$differences" "${wine_machine[@]}" >"$out.wine" 2>"$differs" &&
        "$wine_state" sim "$differences" "$sim" >"$out.sim" 2>"$differs" &&
        diff -u "$out.sim" "$out.wine" >"$differs"
}

compare_state() {
    local stage=$1
    if states_agree "$stage"; then
        note "$stage: the simulator and Wine agree on $(wc -l <"$work/$stage.wine") entries"
    else
        fail "$stage: the simulator and Wine disagree (- simulator, + Wine):"
        cat "$work/$stage.diff" >&2
    fi
}

expect_line() {
    local what=$1 line=$2 file=$3
    grep -qxF -- "$line" "$file" || fail "$what: expected the line [$line] in $(basename "$file")"
}

expect_no_match() {
    local what=$1 pattern=$2 file=$3
    if grep -qiE -- "$pattern" "$file"; then
        fail "$what: unexpected [$(grep -iE -- "$pattern" "$file" | head -1)]"
    fi
}

# The collector's Linux build and vtxlab beside vtxdiag.exe: every install and removal scenario
# ends with the comparison of the problems explain finds.
require_collector() {
    require_wine vtxdiag.exe
    [[ -x ${VTX_HOST_COLLECTOR:-} && -x ${VTX_LAB:-} ]] ||
        skip "the collector's Linux build or vtxlab is missing (VTX_HOST_COLLECTOR, VTX_LAB)"
}

# vtxdiag.exe under Wine, its report kept as $work/<stage>.wine.txt. Within a session it reads
# that session's machine; after one it is a Windows start, as a customer's run after a restart.
collect_wine() {
    local stage=$1
    put_tools vtxdiag.exe
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxdiag.exe' /q "C:\\vtx\\$stage.txt" \
        2>>"$work/wine.log" || fail "$stage: vtxdiag.exe under Wine ended with $?"
    mv -f "$(find_nocase "$prefix/drive_c" "vtx/$stage.txt")" "$work/$stage.wine.txt" 2>/dev/null ||
        fail "$stage: no report of vtxdiag.exe under Wine"
}

# The collector on the simulated machine, its report kept as $work/<stage>.sim.txt and not left
# on the machine.
collect_sim() {
    local stage=$1
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="C:\\WINDOWS\\VTXDIAG.EXE /q C:\\WINDOWS\\$stage.txt" \
        timeout 60 "$VTX_HOST_COLLECTOR" >>"$work/sim.log" 2>&1 || fail "$stage: the collector on the simulator"
    mv -f "$(find_nocase "$sim/drive_c" "windows/$stage.txt")" "$work/$stage.sim.txt" 2>/dev/null ||
        fail "$stage: no report of the collector on the simulator"
}

# The problems explain finds in a report as compared lines, "PROBLEM <TAB> code <TAB> key <TAB>
# value", less the accepted platform differences; their words and lines are the report's own.
# Explain ends with 0 (no problem) or 1 (problems); anything else is a failure, not an empty list.
report_problems() {
    local json rc
    json=$("$VTX_LAB" explain --json "$1" 2>>"$work/explain.log")
    rc=$?
    [[ $rc == 0 || $rc == 1 ]] || {
        fail "vtxlab explain $(basename "$1") ended with $rc (see $work/explain.log)"
        return
    }
    python3 -c '
import json, sys
for p in json.load(sys.stdin)["problems"]:
    print("PROBLEM\t%s\t%s\t%s" % (p["code"], p["key"].lower(), p["value"]))' <<<"$json" |
        accept_differences | sort
}

# Both collectors' reports of a stage give explain the same problems, kept as
# $work/<stage>.wine.problems and $work/<stage>.sim.problems.
expect_same_problems() {
    local stage=$1
    report_problems "$work/$stage.wine.txt" >"$work/$stage.wine.problems"
    report_problems "$work/$stage.sim.txt" >"$work/$stage.sim.problems"
    if diff -u "$work/$stage.sim.problems" "$work/$stage.wine.problems" >"$work/$stage.problems.diff"; then
        note "$stage: explain finds the same $(wc -l <"$work/$stage.wine.problems") problem(s) in both collectors' reports"
    else
        fail "$stage: explain finds other problems in the collectors' reports (- simulator, + Wine):"
        cat "$work/$stage.problems.diff" >&2
    fi
}

# The collector on both machines in their state now, and explain's problems compared: one run
# on each machine.
compare_problems() {
    local stage=$1
    collect_wine "$stage"
    collect_sim "$stage"
    expect_same_problems "$stage"
}

# The helper on the simulated machine with the command line "vtxinh01.exe <arguments>".
sim_helper() {
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="vtxinh01.exe $*" \
        timeout 60 "$VTX_HOST_HELPER" >>"$work/sim.log" 2>&1 || fail "the host helper failed"
}

# The helper on both machines with the same command line. Under Wine it lies in the system
# directory, as the driver's installation leaves it, with the monitor; with the shell running
# (shell=1), vtxspool owns the "Progman" window while the helper runs.
run_helper() {
    local shell=$1 wait=$2
    shift 2
    put_file 'C:\Windows\System\vtxinh01.exe' "$win32_dir/vtxinh01.exe"
    put_monitor
    if [[ $shell == 1 ]]; then
        put_tools vtxspool.exe
        timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' shell "$wait" \
            "C:\\Windows\\System\\vtxinh01.exe $*" 2>>"$work/wine.log" | tr -d '\r' >"$work/shell.out"
        grep -qx 'Helper=exited code=0' "$work/shell.out" || fail "vtxinh01.exe under the shell: $(cat "$work/shell.out")"
    else
        # Wine joins its arguments with single spaces, quoting only those that hold one:
        # giving the model's two words apart passes the command line as the device installer.
        # shellcheck disable=SC2048,SC2086
        run wine 'C:\windows\system\vtxinh01.exe' $* || fail "vtxinh01.exe exited with $?"
    fi
    sim_helper "$@"
}

# What a Windows start does with the helper's results, on both machines. A wininit.ini without
# RENAME entries, which Wine leaves, goes to wininit.bak as WININIT does (platform_differences).
restart_both() {
    local wininit bak
    wininit=$(find_nocase "$prefix/drive_c" windows/wininit.ini)
    [[ -n $wininit && -n $(rename_entries "$wininit") ]] && wininit=
    run wine cmd /c exit || fail "starting Wine again"
    end_session
    if [[ -n $wininit && -f $wininit ]]; then
        bak=$(find_nocase "$prefix/drive_c" windows/wininit.bak)
        rm -f "$bak"
        mv "$wininit" "${wininit%/*}/wininit.bak"
    fi
    sim_spooler restart >"$work/restart.sim" || fail "restarting the simulator"
}
