#!/bin/bash
# The PE32 images under Wine, each scenario run again on the simulated machine from the same
# REGEDIT4 fixture and compared: the registry below the keys the product touches, wininit.ini,
# the files it deletes or queues, and what a restart then does. The monitor is driven by
# vtxspool, our spooler stand-in, built for both machines; its report lines are compared.
#
#   wine_tests.sh prefix          the Windows 98 prefix every scenario copies (a CTest fixture)
#   wine_tests.sh prefix_removed  that prefix removed again
#   wine_tests.sh <scenario>      install_*, remove_*, monitor_*, version_info (see the end of
#                                 this file)
#
# Environment (set by CTest): VTX_WIN32_DIR, the win32 build with the images; VTX_WINE_ROUTE,
# the directory made by tools/wine-qemu.sh; VTX_WINE_TEMPLATE, the prefix to copy;
# VTX_WINE_WORK, a scratch directory of this test; VTX_HOST_HELPER and VTX_SIM_SPOOLER, the
# helper and the stand-in built for the simulated machine; VTXSIM_MONITOR_DIR, the monitor's;
# VTX_PROJECT_VERSION, the version the images must carry.
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine that can run 32-bit programs, or no
# images).
#
# Every new wineserver is a Windows start for Wine: wineboot then carries out wininit.ini's
# RENAME section and runs and deletes RunOnce. A scenario therefore keeps one wineserver for
# everything up to the product's run, reads the results from the prefix's files once that
# server has saved them and gone, and only then restarts on purpose.
#
# Wine is not Windows 98: the differences the comparison accepts are listed, each with its
# reason, in platform_differences beside this file.
#
# random_scenarios.sh sources this file for its functions (VTX_WINE_SOURCED=1): then nothing
# runs here.
set -uo pipefail

readonly SKIP=77
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly here
readonly scenario=${VTX_WINE_SCENARIO:-${1:-}}
readonly win32_dir=${VTX_WIN32_DIR:-$here/../../build/win32}
readonly route=${VTX_WINE_ROUTE:-$here/../../build/wine-qemu}
readonly template=${VTX_WINE_TEMPLATE:-${TMPDIR:-/tmp}/vtx-wine-template}
readonly work=${VTX_WINE_WORK:-${TMPDIR:-/tmp}/vtx-wine-$scenario}
readonly step_timeout=${VTX_WINE_STEP_TIMEOUT:-180}
readonly prefix=$work/prefix
readonly sim=$work/sim
readonly fixtures=$here/../fixtures
failures=0

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

# A Wine command, bounded in time; its output goes to the log.
run() {
    timeout --kill-after=10 "$step_timeout" "$@" >>"$work/wine.log" 2>&1
}

# Plain wine where the kernel runs i386 programs, else the qemu route of tools/wine-qemu.sh.
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

# Saves the registry to the prefix's files and ends every Wine process of the prefix.
end_session() {
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

# A copy of the template for this scenario, Windows 98 or ME, and the machine directory of
# the simulator beside it.
new_machines() {
    local version=$1 shell=$2
    rm -rf "$prefix" "$sim"
    mkdir -p "$sim"
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
    # One wineserver until the results are read: a second one would be a Windows start.
    run wineserver -p
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" settings "$version" "$shell" ||
        fail "setting up the simulated machine"
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
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" put "$path" "$source" || fail "putting $path on the simulator"
}

import_reg() {
    cp "$1" "$prefix/drive_c/import.reg"
    run wine regedit /S 'C:\import.reg' || fail "regedit /S $(basename "$1")"
    rm -f "$prefix/drive_c/import.reg"
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" import "$1" || fail "importing $(basename "$1") on the simulator"
}

# A fixture with more REGEDIT4 text behind it.
fixture_with() {
    local base=$1 extra=$2 out=$work/fixture.reg
    { cat "$base"; printf '\n%s\n' "$extra"; } >"$out"
    echo "$out"
}

# The prefix's registry (saved by its wineserver) as one line per value (registry_lines.awk).
wine_file_values() {
    sed -E '/^\[/ { s/\] [0-9]+$/]/; s/\\\\/\\/g; s/^\[/[HKEY_LOCAL_MACHINE\\/ }' "$prefix/system.reg" |
        grep -v '^#' | awk -f "$here/registry_lines.awk"
}

# The registry under Wine as compared: random_scenarios.sh reads it through the stand-in while a
# session runs.
wine_values() {
    wine_file_values
}

sim_values() {
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" export | awk -f "$here/registry_lines.awk"
}

# The RENAME entries of a wininit.ini, in order.
rename_entries() {
    [[ -f ${1:-} ]] || return 0
    awk '{ sub(/\r$/, "") }
         /^\[/ { on = tolower($0) ~ /^\[rename\]/; next }
         on && NF > 0 { print }' "$1"
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
        if VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" file "$path" >/dev/null 2>&1; then
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
    local masks=() omits=() rule argument text=0
    while read -r rule argument; do
        case $rule in
        mask) masks+=(-e "$argument") ;;
        omit) omits+=(-e "$argument") ;;
        unterminated-text) text=1 ;;
        '' | '#'*) ;;
        *) echo "FAILED: $differences: unknown rule [$rule]" >&2 ;;
        esac
    done <"$differences"
    if [[ ${#omits[@]} -gt 0 ]]; then grep -v -i -E "${omits[@]}"; else cat; fi |
        if [[ ${#masks[@]} -gt 0 ]]; then sed -E "${masks[@]}"; else cat; fi |
        if [[ $text == 1 ]]; then unterminated_as_text; else cat; fi
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
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" file 'C:\Windows\wininit.ini' >"$work/$stage.sim.wininit" 2>/dev/null
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

# The helper on both machines with the same command line. Under Wine it lies in the system
# directory, as the driver's installation leaves it, with the monitor; with the shell running
# (shell=1), vtxspool owns the "Progman" window while the helper runs.
run_helper() {
    local shell=$1 wait=$2
    shift 2
    put_file 'C:\Windows\System\vtxinh01.exe' "$win32_dir/vtxinh01.exe"
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
    if [[ $shell == 1 ]]; then
        mkdir -p "$prefix/drive_c/vtx"
        cp "$win32_dir/vtxspool.exe" "$prefix/drive_c/vtx/vtxspool.exe"
        timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' shell "$wait" \
            "C:\\Windows\\System\\vtxinh01.exe $*" 2>>"$work/wine.log" | tr -d '\r' >"$work/shell.out"
        grep -qx 'Helper=exited code=0' "$work/shell.out" || fail "vtxinh01.exe under the shell: $(cat "$work/shell.out")"
    else
        # Wine joins its arguments with single spaces, quoting only those that hold one:
        # giving the model's two words apart passes the command line as the device installer.
        # shellcheck disable=SC2048,SC2086
        run wine 'C:\windows\system\vtxinh01.exe' $* || fail "vtxinh01.exe exited with $?"
    fi
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="vtxinh01.exe $*" \
        timeout 60 "$VTX_HOST_HELPER" >>"$work/sim.log" 2>&1 || fail "the host helper failed"
}

# What a Windows start does with the helper's results, on both machines.
restart_both() {
    run wine cmd /c exit || fail "starting Wine again"
    end_session
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" restart >"$work/restart.sim" || fail "restarting the simulator"
}

readonly install_k9=$here/fixtures/install_k9.reg
readonly install_args='-action=2 -model=Draftaire K9 -serial=AB12'
readonly k9_key='hkey_local_machine\software\kelvara\vtx\k9\ab12'
readonly runonce_key='hkey_local_machine\software\microsoft\windows\currentversion\runonce'

# An install from a fixture: compared before and after the restart.
install_scenario() {
    local fixture=$1 shell=$2 wait=$3
    require_wine vtxinh01.exe vtxpmo01.dll vtxspool.exe
    require_simulator
    new_machines 98 "$shell" || return
    import_reg "$fixture"
    [[ -n ${wininit_before:-} ]] && put_file 'C:\Windows\wininit.ini' "$wininit_before"
    [[ -n ${extra_file:-} ]] && put_file "$extra_file" "$win32_dir/vtxinh01.exe"
    if [[ ${launch_ini:-0} == 1 ]]; then
        printf '[Setup]\r\n' >"$work/launch.ini"
        put_file 'C:\Setup\launch.ini' "$work/launch.ini"
        put_file 'C:\setup.exe' "$win32_dir/vtxspool.exe"
    fi
    # shellcheck disable=SC2086
    run_helper "$shell" "$wait" $install_args
    end_session
    compare_state installed
    restart_both
    compare_state restarted
}

# The helper's copy was queued to replace it at the restart (one RENAME entry, now in
# wininit.bak) and the restart put it in place, byte for byte.
expect_helper_copy() {
    local entries
    entries=$(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.bak)" | grep -v '^NUL=' | tail -1)
    [[ $entries =~ ^'C:\Windows\System\vtxinh01.exe=C:\Windows\System\'[0-9]{8}'.ex_'$ ]] ||
        fail "wininit.ini RENAME: expected an entry for a copy of vtxinh01.exe, got [$entries]"
    cmp -s "$(find_nocase "$prefix/drive_c" windows/system/vtxinh01.exe)" "$win32_dir/vtxinh01.exe" ||
        fail "after the restart vtxinh01.exe is not the helper's copy"
}

scenario_install_no_shell() {
    install_scenario "$install_k9" 0 nowait
    local values=$work/installed.wine.values
    expect_line "CmdLine (the monitor cannot be added under Wine: 127)" \
        "$k9_key"$'\tcmdline\t"-s -v bustype=usb -v port=USB/Draftaire K9/AB12 -v model=Draftaire K9 -v serial=AB12 -v dialog=2 -v error=127 -v abort=1"' \
        "$values"
    expect_line "RunOnce (no shell window)" \
        "$runonce_key"$'\trunonce\t''"C:\\Setup\\start.exe -vtregistry=K9\\AB12"' "$values"
    expect_no_match "monitor key" 'monitors\\ab12' "$values"
    expect_helper_copy
    # The restart: the copy replaced the helper, wininit.ini became wininit.bak, RunOnce ran
    # and is gone; on the simulator the start of C:\Setup\start.exe is in the journal.
    expect_no_match "RunOnce after the restart" $'runonce\trunonce\t' "$work/restarted.wine.values"
    expect_line "wininit.ini after the restart" $'FILE\tC:\\Windows\\wininit.bak\tpresent' "$work/restarted.wine"
    expect_line "wininit.ini after the restart" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/restarted.wine"
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" journal >"$work/journal.sim"
    expect_line "RunOnce on the simulator" \
        'Start=RunOnce application=[] command=[C:\Setup\start.exe -vtregistry=K9\AB12] directory=[]' \
        "$work/journal.sim"
}

readonly setup_command=' -a"USB\Draftaire K9\AB12" -b"Draftaire K9"'

scenario_install_shell_launch() {
    launch_ini=1 install_scenario "$install_k9" 1 wait
    expect_line "setup.exe under the shell" 'Setup=started' "$work/shell.out"
    local log
    log=$(find_nocase "$prefix/drive_c" setup.log)
    [[ -n $log ]] || fail "setup.exe left no setup.log"
    tr -d '\r' <"${log:-/dev/null}" >"$work/setup.wine"
    expect_line "setup.exe's command line" "CommandLine=$setup_command" "$work/setup.wine"
    expect_line "setup.exe's directory (C:\\Setup\\..\\)" 'Directory=C:\' "$work/setup.wine"
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" journal >"$work/journal.sim"
    expect_line "setup.exe on the simulator" \
        "Start=CreateProcessA application=[C:\\Setup\\..\\setup.exe] command=[$setup_command] directory=[C:\\Setup\\..\\]" \
        "$work/journal.sim"
    expect_no_match "RunOnce (shell running)" $'runonce\trunonce\t' "$work/installed.wine.values"
}

scenario_install_shell_no_launch() {
    install_scenario "$install_k9" 1 nowait
    # No "launch.ini": nothing is started and nothing is queued; the copy is still made.
    expect_no_match "RunOnce (shell running)" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_helper_copy
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" journal >"$work/journal.sim"
    [[ ! -s $work/journal.sim ]] || fail "a program was started: $(cat "$work/journal.sim")"
}

scenario_install_exec_file() {
    # ExecFile names the file that the restart puts in place of the helper.
    extra_file='C:\Windows\System\vtxalt01.exe' install_scenario \
        "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"ExecFile"="vtxalt01.exe"')" 0 nowait
    local entries
    entries=$(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.bak)")
    [[ $entries =~ ^'C:\Windows\System\vtxalt01.exe=C:\Windows\System\'[0-9]{8}'.ex_'$ ]] ||
        fail "wininit.ini RENAME: expected one entry for a copy of vtxalt01.exe, got [$entries]"
}

scenario_install_rename_kept() {
    printf '[Boot]\r\nshell=Explorer.exe\r\n[rename]\r\nNUL=C:\\Windows\\Temp\\old.tmp\r\nC:\\Windows\\a.dll=C:\\Windows\\a.new\r\n' \
        >"$work/wininit.before"
    wininit_before=$work/wininit.before install_scenario "$install_k9" 0 nowait
    local entries
    entries=$(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.bak)")
    [[ $(sed -n 1p <<<"$entries") == 'NUL=C:\Windows\Temp\old.tmp' &&
        $(sed -n 2p <<<"$entries") == 'C:\Windows\a.dll=C:\Windows\a.new' &&
        $(grep -c . <<<"$entries") -eq 3 ]] ||
        fail "wininit.ini RENAME: the earlier entries were not kept in order: [$entries]"
}

scenario_install_port_in_use() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\Draftaire K9]\n"Port"="USB/Draftaire K9/AB12"')" 0 nowait
    # A printer already prints to the device's port: the install does nothing at all.
    expect_no_match "setup parameters" 'kelvara\\vtx(\\|'$'\t'')' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_line "wininit.ini" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/installed.wine"
}

scenario_install_no_setup_root() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"SetupRootPath"=-')" 0 nowait
    # No setup directory (2): no CmdLine and no launch; the copy is still queued.
    expect_no_match "CmdLine" $'\tcmdline\t' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_helper_copy
}

scenario_install_empty_exec_file() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"SetupExecFile"=""')" 0 nowait
    # An empty setup program name (1008): no CmdLine and no launch.
    expect_no_match "CmdLine" $'\tcmdline\t' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
}

# A removal: the driver's files on both machines, the helper with -action=64, compared before
# and after the restart that carries out the queued deletions.
remove_scenario() {
    local fixture=$1 model=$2 serial=$3 file
    require_wine vtxinh01.exe
    require_simulator
    new_machines 98 0 || return
    import_reg "$fixture"
    printf 'driver file\r\n' >"$work/driver.file"
    for file in 'C:\Windows\System\vtxcls01.dll' 'C:\Windows\System\vtxpmo01.dll' \
        'C:\Windows\System32\DRIVERS\vtxubd01.sys' 'C:\Windows\System32\DRIVERS\vtxiod01.sys' \
        'C:\Windows\System\VMM32\vtxvxu01.dll' 'C:\Windows\Inf\Other\OEM0.INF' \
        'C:\Windows\Inf\Other\OEM2.INF'; do
        put_file "$file" "$work/driver.file"
    done
    # shellcheck disable=SC2086
    run_helper 0 nowait -action=64 $model -serial=$serial
    end_session
    compare_state removed
    restart_both
    compare_state restarted
}

readonly removal_fixtures=$fixtures/removal

scenario_remove_one_device() {
    remove_scenario "$removal_fixtures/one_device.reg" '-model=Draftaire K9' AB12
    # The last device of all: everything of the maker's goes; two files wait for the restart.
    # The empty "VTX" key stays: nothing in the sequence deletes it.
    expect_no_match "the maker's values" $'^hkey[^\t]*(kelvara|vtxiod01|usb draftaire|vid_0d7a)[^\t]*\t[^\t]' "$work/removed.wine"
    expect_line "queued deletion" $'RENAME\tNUL=C:\\Windows\\System\\vtxinh01.exe' "$work/removed.wine"
    expect_line "queued deletion" $'RENAME\tNUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll' "$work/removed.wine"
    expect_line "after the restart" $'FILE\tC:\\Windows\\System\\vtxinh01.exe\tabsent' "$work/restarted.wine"
}

scenario_remove_second_of_type() {
    remove_scenario "$removal_fixtures/two_devices_one_type.reg" '-model=Draftaire K9' CD34
    # Another device of the type remains: only this device's keys below Enum, DeviceClasses and
    # the class go; no file is touched.
    expect_no_match "the removed device" '^hkey_local_machine\\(enum|system).*cd34' "$work/removed.wine"
    expect_no_match "the removed device's class instance" 'usb draftaire\\0001' "$work/removed.wine"
    grep -qi 'vid_0d7a&pid_0042\\ab12' "$work/removed.wine" || fail "the other device's key went too"
    expect_line "wininit.ini" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/removed.wine"
}

scenario_remove_last_of_model() {
    remove_scenario "$removal_fixtures/two_models.reg" '-model=Draftaire K9' AB12
    # Another model remains: this model's keys and INF go, the shared keys and files stay.
    expect_no_match "the model key" 'kelvara\\vtxio\\k9' "$work/removed.wine"
    grep -qi 'kelvara\\vtxio\\m2' "$work/removed.wine" || fail "the other model's key went too"
    expect_line "shared files" $'FILE\tC:\\Windows\\System\\vtxpmo01.dll\tpresent' "$work/removed.wine"
}

scenario_remove_no_driver() {
    remove_scenario "$(fixture_with "$removal_fixtures/one_device.reg" $'[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_0D7A&PID_0042\\AB12]\n"driver"=-')" \
        '-model=Draftaire K9' AB12
    # No "driver": no class instance and no INF name, so the model key and files stay.
    grep -qi 'usb draftaire\\0000' "$work/removed.wine" || fail "the class instance key went"
    grep -qi 'kelvara\\vtxio\\k9' "$work/removed.wine" || fail "the model key went"
    expect_line "files" $'FILE\tC:\\Windows\\System\\vtxpmo01.dll\tpresent' "$work/removed.wine"
}

scenario_remove_vxd_key() {
    remove_scenario "$(fixture_with "$removal_fixtures/one_device.reg" $'[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\Vtxiod01]\n"Start"=dword:00000000')" \
        '-model=Draftaire K9' AB12
    # The VxD key stays and keeps the library in VMM32.
    expect_no_match "VMM32 library queued" 'NUL=.*vtxvxu01' "$work/removed.wine"
    expect_line "VMM32 library" $'FILE\tC:\\Windows\\System\\VMM32\\vtxvxu01.dll\tpresent' "$work/restarted.wine"
}

# vtxspool's lines on both machines; under Wine the device paths link to host files.
spool_both() {
    local name=$1
    shift
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' "$@" 2>>"$work/wine.log" |
        tr -d '\r' >"$work/$name.wine"
    VTXSIM_MACHINE=$sim timeout 60 "$VTX_SIM_SPOOLER" "$@" >"$work/$name.sim" 2>>"$work/sim.log"
    if ! diff -u "$work/$name.sim" "$work/$name.wine" >"$work/$name.diff"; then
        fail "vtxspool $1: the simulator and Wine disagree (- simulator, + Wine):"
        cat "$work/$name.diff" >&2
    fi
}

# A device on both machines; under Wine its path is a link (lower case, without "\\?\") in
# the prefix's dosdevices to a host file.
make_device() {
    local instance=$1 serial=$2 product=$3 target=$4 path
    spool_both "device-$serial" device "$instance" "$serial" "$product"
    path=$(sed -n 's/^DevicePath=//p' "$work/device-$serial.wine")
    [[ -n $path ]] || {
        fail "no device path for $serial"
        return 1
    }
    local link=${path#\\\\?\\}
    ln -sf "$target" "$prefix/dosdevices/${link,,}"
    echo "$path"
}

# The monitor in one Windows version: two interfaces named A/1 and B/22 (the sizes are those
# of the 32-bit layout: 25 bytes at level 1, 61 at level 2), every operation, a job onto a host
# file, and a write to /dev/full, which moves nothing; the status control then fails (a plain
# file under Wine, a failing control on the simulator), so the write reports 21.
monitor_scenario() {
    local version=$1
    require_wine vtxpmo01.dll vtxspool.exe
    require_simulator
    new_machines "$version" 0 || return
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
    mkdir -p "$prefix/drive_c/vtx"
    cp "$win32_dir/vtxspool.exe" "$prefix/drive_c/vtx/vtxspool.exe"
    local printer=$work/printer.bin path_a
    : >"$printer"
    path_a=$(make_device 'USB\VID_0D7A&PID_0041\1' 1 A "$printer") || return
    make_device 'USB\VID_0D7A&PID_0042\22' 22 B /dev/full >/dev/null || return
    VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" stall 22 || fail "stalling 22 on the simulator"

    spool_both sizes sizes
    expect_line "Windows version" "Version=4.$([[ $version == me ]] && echo 90 || echo 10)" "$work/sizes.wine"
    expect_line "level 1 size" 'EnumPorts1.needed=25 count=2' "$work/sizes.wine"
    expect_line "level 1 layout" 'Port1.0=USB/A/1 name=end-8' "$work/sizes.wine"
    expect_line "level 1 layout" 'Port1.1=USB/B/22 name=end-17' "$work/sizes.wine"
    expect_line "level 2 size" 'EnumPorts2.needed=61 count=2' "$work/sizes.wine"
    expect_line "level 1 short buffer" 'EnumPorts1.short=failed error=122 count=77 same=yes' "$work/sizes.wine"
    spool_both enum enum
    expect_line "EnumPorts level 2" 'Port2=USB/A/1 monitor=[] description=[] type=3' "$work/enum.wine"
    spool_both open open USB/A/1
    expect_line "OpenPort of another case" 'OpenPort.upper=ok same=yes' "$work/open.wine"
    spool_both unsupported unsupported USB/A/1
    expect_line "AddPort" 'AddPort=failed error=1803' "$work/unsupported.wine"
    spool_both print print USB/A/1 'Hello, Draftaire'
    expect_line "print job" 'WritePort=ok written=16' "$work/print.wine"
    [[ $(cat "$printer") == 'Hello, Draftaire' ]] ||
        fail "the printer received [$(head -c 100 "$printer")] instead of [Hello, Draftaire]"
    [[ $(VTXSIM_MACHINE=$sim "$VTX_SIM_SPOOLER" received 1) == 'Hello, Draftaire' ]] ||
        fail "the simulated printer did not receive the job"
    spool_both write_fails print USB/B/22 'Hello, Draftaire'
    expect_line "a write that moved nothing" 'WritePort=failed error=21' "$work/write_fails.wine"
    spool_both held held USB/A/1 "$path_a"
    expect_line "device held elsewhere" 'StartDocPort=failed error=32' "$work/held.wine"
    end_session

    # The monitor names the ports from Product and SerialNumber and writes the names back.
    local key='^hkey_local_machine\\system\\currentcontrolset\\control\\deviceclasses\\\{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93\}\\.*'$'\tportname\t'
    wine_values | grep -iE "$key" | sed -E 's/.*\t//' | sort >"$work/names.wine"
    sim_values | grep -iE "$key" | sed -E 's/.*\t//' | sort >"$work/names.sim"
    printf '"USB/A/1"\n"USB/B/22"\n' >"$work/names.expected"
    diff -u "$work/names.expected" "$work/names.wine" >&2 || fail "PortName written back under Wine"
    diff -u "$work/names.expected" "$work/names.sim" >&2 || fail "PortName written back on the simulator"
}

# Two device events at once: two helpers started together under Wine, a device each, and
# nothing but the helper's own mutex between them. The simulator runs the same two one after
# the other: Wine's result must be that one, both RENAME entries included.
scenario_install_two_at_once() {
    require_wine vtxinh01.exe vtxpmo01.dll vtxspool.exe
    require_simulator
    new_machines 98 0 || return
    import_reg "$install_k9"
    put_file 'C:\Windows\System\vtxinh01.exe' "$win32_dir/vtxinh01.exe"
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
    local serial pid pids=()
    for serial in AB12 XY99; do
        # The model's two words apart: Wine joins them with one space, as the device installer.
        run wine 'C:\windows\system\vtxinh01.exe' -action=2 -model=Draftaire K9 "-serial=$serial" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || fail "a vtxinh01.exe of the pair exited with $?"
    done
    end_session
    # Nothing orders the two under Wine: its result must be that of one of the two serial orders
    # (the one RunOnce value, for one, is the second helper's).
    cp -a "$sim" "$work/sim.before"
    local order
    for order in "AB12 XY99" "XY99 AB12"; do
        rm -rf "$sim"
        cp -a "$work/sim.before" "$sim"
        for serial in $order; do
            VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="vtxinh01.exe -action=2 -model=Draftaire K9 -serial=$serial" \
                timeout 60 "$VTX_HOST_HELPER" >>"$work/sim.log" 2>&1 || fail "the host helper failed"
        done
        if states_agree installed; then
            note "installed: Wine agrees with the simulator's $order, one after the other"
            break
        fi
    done
    if [[ -s $work/installed.diff ]]; then
        compare_state installed
    fi
    [[ $(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.ini)" | grep -c '^C:\\Windows\\System\\vtxinh01.exe=') == 2 ]] ||
        fail "wininit.ini RENAME under Wine: expected one entry of each helper"
}

# What vtxver prints for one image (the copyright's year as <year>).
version_lines() {
    local file=$1 type=$2 description=$3 v=$VTX_PROJECT_VERSION
    printf '%s\n' "Image=C:\\vtx\\$file" "FileVersion.fixed=$v.0" "ProductVersion.fixed=$v.0" \
        "FileType=$type" Translation=040904e4 CompanyName=Kelvara "FileDescription=$description" \
        "FileVersion=$v" "InternalName=${file%.*}" "LegalCopyright=Copyright (C) <year> Kelvara" \
        "OriginalFilename=$file" 'ProductName=Draftaire USB printing for Windows 98 and Windows ME' \
        "ProductVersion=$v"
}

# Both images' version information as Explorer reads it, through version.dll (vtxver): the
# project's version in the fixed part and in the strings, the maker, each image's own names.
scenario_version_info() {
    require_wine vtxinh01.exe vtxpmo01.dll vtxver.exe
    [[ -n ${VTX_PROJECT_VERSION:-} ]] || skip "VTX_PROJECT_VERSION, the project's version, is not set"
    [[ -f $template/.complete ]] || {
        fail "no Windows 98 prefix in $template (wine.prefix makes it)"
        return
    }
    cp -a "$template" "$prefix"
    export WINEPREFIX=$prefix
    trap end_session EXIT
    mkdir -p "$prefix/drive_c/vtx"
    cp "$win32_dir/vtxver.exe" "$win32_dir/vtxpmo01.dll" "$win32_dir/vtxinh01.exe" "$prefix/drive_c/vtx/"
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxver.exe' 'C:\vtx\vtxpmo01.dll' \
        'C:\vtx\vtxinh01.exe' 2>>"$work/wine.log" | tr -d '\r' >"$work/version.wine" ||
        fail "vtxver.exe failed: $(cat "$work/version.wine")"
    cat "$work/version.wine"
    {
        version_lines vtxpmo01.dll 2 'Draftaire USB port monitor'
        version_lines vtxinh01.exe 1 'Draftaire USB device setup helper'
    } >"$work/version.expected"
    sed -E 's/^(LegalCopyright=Copyright \(C\) )[0-9]{4}( Kelvara)$/\1<year>\2/' "$work/version.wine" >"$work/version.seen"
    diff -u "$work/version.expected" "$work/version.seen" >&2 ||
        fail "the images' version information differs from the expected (- expected, + Wine)"
}

[[ ${VTX_WINE_SOURCED:-0} == 1 ]] && return 0

# The whole dispatch is read before it runs: bash reads a script as it goes, and an edit during a
# run would otherwise be met halfway.
main() {
    rm -rf "$work"
    mkdir -p "$work"
    case $scenario in
    prefix)
        make_template
        ;;
    prefix_removed)
        rm -rf "$template" "$work"
        echo "$scenario: passed"
        exit 0
        ;;
    install_no_shell | install_shell_launch | install_shell_no_launch | install_exec_file | \
        install_rename_kept | install_port_in_use | install_no_setup_root | install_empty_exec_file | \
        install_two_at_once | remove_one_device | remove_second_of_type | remove_last_of_model | remove_no_driver | \
        remove_vxd_key)
        "scenario_$scenario"
        ;;
    monitor_98 | monitor_me)
        monitor_scenario "${scenario#monitor_}"
        ;;
    version_info)
        scenario_version_info
        ;;
    *)
        echo "usage: wine_tests.sh prefix | prefix_removed | install_* | remove_* | monitor_98 | monitor_me | version_info" >&2
        exit 2
        ;;
    esac

    end_session
    if [[ $failures -gt 0 ]]; then
        echo "$scenario: $failures check(s) failed; Wine's output is in $work/wine.log" >&2
        exit 1
    fi
    [[ $scenario == prefix ]] || rm -rf "$prefix"
    echo "$scenario: passed"
    exit 0
}

main
