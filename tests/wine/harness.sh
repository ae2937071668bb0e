# shellcheck shell=bash
# The harness of the Wine tier, sourced by wine_tests.sh and random_scenarios.sh: a Windows 98
# prefix and its copies, the PE32 images run under Wine in Windows 98 or ME mode, the same run
# on the simulated machine, the comparison of the two (their state, and the problems explain
# finds in the field collector's report of each), and skip, pass and fail reporting.
#
#   source harness.sh <name>   <name> names the run's default scratch directory
#
# Environment (set by CTest): VTX_WIN32_DIR, the win32 build with the images; VTX_WINE_ROUTE,
# the directory made by tools/wine-qemu.sh; VTX_WINE_TEMPLATE, the prefix to copy;
# VTX_WINE_WORK, a scratch directory of this test; VTX_HOST_HELPER and VTX_SIM_SPOOLER, the
# helper and the stand-in built for the simulated machine; VTX_HOST_COLLECTOR, the collector's
# Linux build, and VTX_LAB, vtxlab; VTXSIM_MONITOR_DIR, the monitor's; VTX_PROJECT_VERSION, the
# version the images must carry.
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
    [[ -x ${VTX_HOST_HELPER:-} && -x ${VTX_SIM_SPOOLER:-} ]] ||
        skip "the simulator's helper or stand-in is missing (VTX_HOST_HELPER, VTX_SIM_SPOOLER)"
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

# The keys the comparison looks at, read under Wine through the stand-in while a session runs.
readonly export_keys=(
    'Software\Kelvara' 'Software\Microsoft\Windows\CurrentVersion\RunOnce'
    'System\CurrentControlSet\Control\Print\Monitors' 'Enum\USB'
    'System\CurrentControlSet\Control\DeviceClasses' 'System\CurrentControlSet\Services\Class'
    'System\CurrentControlSet\Services\Vtxiod01' 'System\CurrentControlSet\Services\VxD')

# The registry under Wine as one line per value (registry_lines.awk): from the prefix's files
# (saved by its wineserver) once the session has ended; while it runs, through the stand-in in
# C:\vtx, since ending it to read the files would make the next step a Windows start.
wine_values() {
    if [[ $session_open == 1 ]]; then
        timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' export "${export_keys[@]}" \
            2>>"$work/wine.log" | tr -d '\r' | awk -f "$here/registry_lines.awk"
        return
    fi
    sed -E '/^\[/ { s/\] [0-9]+$/]/; s/\\\\/\\/g; s/^\[/[HKEY_LOCAL_MACHINE\\/ }' "$prefix/system.reg" |
        grep -v '^#' | LC_ALL=C awk -v wine_escapes=1 -f "$here/registry_lines.awk"
}

sim_values() {
    sim_spooler export | awk -f "$here/registry_lines.awk"
}

# The keys the product touches, in lower case as registry_lines.awk writes them.
readonly touched='^hkey_local_machine\\(software\\kelvara|software\\microsoft\\windows\\currentversion\\runonce|system\\currentcontrolset\\control\\print\\monitors\\ab12|enum\\usb\\vid_0d7a&pid_[0-9a-f]+|system\\currentcontrolset\\control\\deviceclasses\\\{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93\}|system\\currentcontrolset\\services\\class\\(usb draftaire|\{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93\})|system\\currentcontrolset\\services\\(vxd\\)?vtxiod01)(\\|'$'\t'')'

# The files the product copies, renames or deletes, present or absent.
readonly product_files=(
    'C:\Windows\System\vtxinh01.exe' 'C:\Windows\System\vtxalt01.exe'
    'C:\Windows\System\vtxcls01.dll' 'C:\Windows\System\vtxpmo01.dll'
    'C:\Windows\System32\DRIVERS\vtxubd01.sys' 'C:\Windows\System32\DRIVERS\vtxiod01.sys'
    'C:\Windows\System\VMM32\vtxvxu01.dll' 'C:\Windows\Inf\Other\OEM0.INF'
    'C:\Windows\Inf\Other\OEM1.INF' 'C:\Windows\Inf\Other\OEM2.INF' 'C:\Windows\wininit.ini'
    'C:\Windows\wininit.bak')

wine_files() {
    local path relative found
    for path in "${product_files[@]}"; do
        relative=${path#C:\\}
        found=$(find_nocase "$prefix/drive_c" "${relative//\\//}")
        if [[ -n $found ]]; then
            echo "FILE"$'\t'"$path"$'\t'present
        else
            echo "FILE"$'\t'"$path"$'\t'absent
        fi
    done
}

sim_files() {
    local path
    for path in "${product_files[@]}"; do
        if sim_spooler file "$path" >/dev/null 2>&1; then
            echo "FILE"$'\t'"$path"$'\t'present
        else
            echo "FILE"$'\t'"$path"$'\t'absent
        fi
    done
}

# A key without values is listed only where it has no subkeys either: Wine's registry files
# leave out such parents, the simulator's export has them.
leaves() {
    awk -F'\t' '{ line[NR] = $0; key[NR] = $1; empty[NR] = ($2 == "" && $3 == "") }
        END {
            for (i = 1; i <= NR; i++) {
                if (empty[i]) {
                    parent = 0
                    for (j = 1; j <= NR; j++)
                        if (index(key[j], key[i] "\\") == 1) { parent = 1; break }
                    if (parent) continue
                }
                print line[i]
            }
        }'
}

# The rules of platform_differences, applied to one machine's lines.
readonly differences=$here/platform_differences
accept_differences() {
    local masks=() omits=() rule argument text=0 interfaces=0
    while read -r rule argument; do
        case $rule in
        mask) masks+=(-e "$argument") ;;
        omit) omits+=(-e "$argument") ;;
        unterminated-text) text=1 ;;
        interface-names) interfaces=1 ;;
        '' | '#'*) ;;
        *) echo "FAILED: $differences: unknown rule [$rule]" >&2 ;;
        esac
    done <"$differences"
    if [[ ${#omits[@]} -gt 0 ]]; then grep -v -i -E "${omits[@]}"; else cat; fi |
        if [[ $interfaces == 1 ]]; then interfaces_by_instance; else cat; fi |
        if [[ ${#masks[@]} -gt 0 ]]; then sed -E "${masks[@]}"; else cat; fi |
        if [[ $text == 1 ]]; then unterminated_as_text; else cat; fi
}

# Each interface key below DeviceClasses named by the device its "DeviceInstance" names
# ("<usb#vid_0d7a&pid_0042#ab12>", lower case), whatever the machine named the key (a key without
# one keeps its name), without its "SymbolicLink"; a "DevicePath=" line as its class alone.
interfaces_by_instance() {
    awk -F'\t' -v OFS='\t' '
        function interface_of(key) {
            return match(key, /^hkey_local_machine\\system\\currentcontrolset\\control\\deviceclasses\\\{[^}\\]*\}\\[^\\]+/) ? substr(key, 1, RLENGTH) : ""
        }
        /^DevicePath=/ { sub(/^DevicePath=.*#\{/, "DevicePath=<interface>#{") }
        $2 == "symboliclink" && $1 == interface_of($1) { next }
        { line[NR] = $0; key[NR] = $1
          if ($2 == "deviceinstance" && $1 == interface_of($1) && $3 ~ /^".*"$/) {
              device = tolower(substr($3, 2, length($3) - 2))
              gsub(/\\\\/, "#", device)
              named[$1] = device
          } }
        END {
            for (i = 1; i <= NR; i++) {
                interface = interface_of(key[i])
                if (interface in named) {
                    class_end = match(interface, /\}\\/) + 1
                    line[i] = substr(interface, 1, class_end) "<" named[interface] ">" \
                        substr(line[i], length(interface) + 1)
                }
                print line[i]
            }
        }'
}

# A REG_SZ written without its terminator (hex(1) data without a 00 byte, nor a line break) as
# the text it holds, in the form of a terminated one.
unterminated_as_text() {
    awk -F'\t' -v OFS='\t' '
        function digit(c) { return index("0123456789abcdef", c) - 1 }
        $3 ~ /^hex\(1\):[0-9a-f][0-9a-f](,[0-9a-f][0-9a-f])*$/ && $3 !~ /[:,](00|0a|0d)(,|$)/ {
            n = split(substr($3, 8), bytes, ",")
            text = ""
            for (i = 1; i <= n; i++) {
                c = sprintf("%c", digit(substr(bytes[i], 1, 1)) * 16 + digit(substr(bytes[i], 2, 1)))
                text = text (c == "\\" || c == "\"" ? "\\" : "") c
            }
            $3 = "\"" text "\""
        }
        { print }'
}

# The RENAME entries of a wininit.ini as compared lines: "RENAME", or "RENAME.later" for an entry
# of a second or later [RENAME] section.
rename_lines() {
    [[ -f ${1:-} ]] || return 0
    awk '{ sub(/\r$/, "") }
         /^\[/ { on = tolower($0) ~ /^\[rename\]/; if (on) sections++; next }
         on && NF > 0 { print (sections > 1 ? "RENAME.later" : "RENAME") "\t" $0 }' "$1"
}

# The RENAME entries of a wininit.ini, in order.
rename_entries() {
    rename_lines "${1:-}" | cut -f2-
}

# The comparable state: touched keys, RENAME entries and product files, less the accepted
# platform differences.
comparable() {
    local values=$1 wininit=$2 files=$3
    {
        grep -i -E "$touched" "$values" | leaves
        rename_lines "$wininit"
        cat "$files"
    } | accept_differences | sort
}

# Both machines' state now, saved as <stage>.wine and <stage>.sim, and compared.
# Whether the simulator and Wine agree at stage; what differs is left in $work/$stage.diff.
states_agree() {
    local stage=$1
    wine_values >"$work/$stage.wine.values"
    sim_values >"$work/$stage.sim.values"
    wine_files >"$work/$stage.wine.files"
    sim_files >"$work/$stage.sim.files"
    sim_spooler file 'C:\Windows\wininit.ini' >"$work/$stage.sim.wininit" 2>/dev/null
    local wininit
    wininit=$(find_nocase "$prefix/drive_c" windows/wininit.ini)
    comparable "$work/$stage.wine.values" "$wininit" "$work/$stage.wine.files" >"$work/$stage.wine"
    comparable "$work/$stage.sim.values" "$work/$stage.sim.wininit" "$work/$stage.sim.files" >"$work/$stage.sim"
    diff -u "$work/$stage.sim" "$work/$stage.wine" >"$work/$stage.diff"
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
    [[ -n $wininit && -n $(rename_lines "$wininit") ]] && wininit=
    run wine cmd /c exit || fail "starting Wine again"
    end_session
    if [[ -n $wininit && -f $wininit ]]; then
        bak=$(find_nocase "$prefix/drive_c" windows/wininit.bak)
        rm -f "$bak"
        mv "$wininit" "${wininit%/*}/wininit.bak"
    fi
    sim_spooler restart >"$work/restart.sim" || fail "restarting the simulator"
}
