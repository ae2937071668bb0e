#!/bin/bash
# The PE32 images under Wine: a fresh 32-bit prefix per run, in Windows 98 mode with the null
# graphics driver. The helper runs on registry fixtures and what it leaves in the registry and
# in wininit.ini is checked, and compared with the same run on the simulated machine; the
# monitor is loaded by vtxspool, our spooler stand-in, and prints into a host file.
#
#   wine_tests.sh helper_install | helper_port_in_use | monitor_print | monitor_write_fails
#
# Environment (set by CTest): VTX_WIN32_DIR, the win32 build with the images; VTX_WINE_WORK, a
# scratch directory of this test; VTX_HOST_HELPER, the helper built for the simulated machine;
# VTX_HOST_REGFILE, the tool that writes a simulated machine's registry to its registry.reg.
# Exit status: 0 passed, 1 failed, 77 skipped (no Wine that can run 32-bit programs, or no
# images).
#
# Wine is not Windows 98. What it does differently, and what these tests therefore expect:
# - Its spooler cannot load a Windows 9x monitor: AddMonitorA of this monitor fails with 127
#   and leaves no monitor key, so an install records " -v dialog=2 -v error=127 -v abort=1".
#   The simulated machine, without vtxpmo01.dll in its system directory, fails the same call
#   with 126; the comparison masks the code and nothing else.
# - In 9x mode RegDeleteKeyA stops after the first subkey of a key with two or more, so the
#   removal action is not compared here (the simulator deletes whole subtrees, as Windows 98).
# - GetTickCount is the host's uptime: the helper's temporary copy gets a different number on
#   each run, and the comparison masks its eight digits.
set -uo pipefail

readonly SKIP=77
readonly here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly scenario=${1:-}
readonly win32_dir=${VTX_WIN32_DIR:-$here/../../build/win32}
readonly work=${VTX_WINE_WORK:-${TMPDIR:-/tmp}/vtx-wine-$scenario}
readonly step_timeout=${VTX_WINE_STEP_TIMEOUT:-180}
readonly prefix=$work/prefix
readonly interface_class='{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}'
failures=0
device_path=""

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

require_wine() {
    command -v wine >/dev/null 2>&1 || skip "wine is not installed"
    command -v wineserver >/dev/null 2>&1 || skip "wineserver is not installed"
    local image
    for image in "$@"; do
        [[ -f $win32_dir/$image ]] || skip "$win32_dir/$image is missing: build the win32 preset first"
    done
    # The 32-bit loader must start: a kernel without 32-bit support says "Exec format error".
    local probe
    if ! probe=$(timeout 60 wine --version 2>&1); then
        skip "wine cannot run 32-bit programs on this machine: ${probe##*$'\n'}"
    fi
}

stop_wine() {
    [[ -d $prefix ]] && timeout 30 wineserver -k >/dev/null 2>&1
    return 0
}

new_prefix() {
    rm -rf "$work"
    mkdir -p "$work"
    export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
    # No Mono or Gecko installer: they would wait for an answer.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
    trap stop_wine EXIT
    note "making a Windows 98 prefix in $prefix"
    run wineboot -i || skip "wineboot could not make a prefix (see $work/wine.log)"
    run wineserver -w
    run wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f || fail "setting Version win98"
    run wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ||
        fail "setting the null graphics driver"
}

import_reg() {
    cp "$1" "$prefix/drive_c/import.reg"
    run wine regedit /S 'C:\import.reg' || fail "regedit /S $(basename "$1")"
    rm -f "$prefix/drive_c/import.reg"
}

# The values below a key of the prefix's registry, one line each (registry_lines.awk); nothing
# when the key does not exist.
wine_values() {
    local out=$prefix/drive_c/export.reg
    rm -f "$out"
    run wine regedit /E 'C:\export.reg' "$1" || return 0
    [[ -f $out ]] || return 0
    if [[ $(head -c 2 "$out" | od -An -tx1 | tr -d ' ') == fffe ]]; then
        iconv -f UTF-16 -t UTF-8 "$out" | awk -f "$here/registry_lines.awk"
    else
        awk -f "$here/registry_lines.awk" "$out"
    fi
}

# The RENAME entries of a wininit.ini, in order.
rename_entries() {
    [[ -f ${1:-} ]] || return 0
    awk '{ sub(/\r$/, "") }
         /^\[/ { on = tolower($0) ~ /^\[rename\]/; next }
         on && NF > 0 { print }' "$1"
}

# A file of a directory tree, found without regard to case as Windows would.
find_nocase() {
    find "$1" -ipath "$1/$2" -print -quit 2>/dev/null
}

# The registry and wininit.ini entries the helper's install touches, for comparison: the
# maker's keys, the RunOnce value and the RENAME section, with the platform's monitor error
# code and the tick-derived copy number masked.
comparable() {
    local values=$1 wininit=$2
    {
        grep -i -E $'^hkey_local_machine\\\\software\\\\kelvara(\\\\|\t)' "$values"
        grep -i -E $'^hkey_local_machine\\\\software\\\\microsoft\\\\windows\\\\currentversion\\\\runonce\trunonce\t' "$values"
        rename_entries "$wininit" | sed 's/^/RENAME\t/'
    } | sed -E 's/-v error=[0-9]+/-v error=<code>/; s/[0-9]{8}\.ex_/########.ex_/g' | sort
}

# The same helper run on the simulated machine: a machine directory holding the fixture as its
# registry, Windows 98, no shell running (Wine has no "Progman" window either).
run_on_simulator() {
    local fixture=$1 sim=$work/sim
    shift
    [[ -x ${VTX_HOST_HELPER:-} && -x ${VTX_HOST_REGFILE:-} ]] || {
        note "no host helper or registry tool (VTX_HOST_HELPER, VTX_HOST_REGFILE): the comparison with the simulator is left out"
        return 1
    }
    mkdir -p "$sim/drive_c/Windows/System"
    printf 'version=98\nshell=0\n' >"$sim/settings"
    cp "$fixture" "$sim/registry.reg"
    cp "$win32_dir/vtxinh01.exe" "$sim/drive_c/Windows/System/vtxinh01.exe"
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="vtxinh01.exe $*" \
        timeout 60 "$VTX_HOST_HELPER" >>"$work/sim.log" 2>&1 || fail "the host helper failed"
    VTXSIM_MACHINE=$sim "$VTX_HOST_REGFILE" >>"$work/sim.log" 2>&1 ||
        fail "the simulated machine's registry could not be written out"
    awk -f "$here/registry_lines.awk" "$sim/registry.reg" >"$work/sim.values"
    comparable "$work/sim.values" "$(find_nocase "$sim/drive_c" windows/wininit.ini)" \
        >"$work/sim.compare"
}

compare_with_simulator() {
    comparable "$work/wine.values" "$prefix/drive_c/windows/wininit.ini" >"$work/wine.compare"
    if diff -u "$work/sim.compare" "$work/wine.compare" >"$work/compare.diff"; then
        note "the simulator and Wine agree on $(wc -l <"$work/wine.compare") entries"
    else
        fail "the simulator and Wine disagree (- simulator, + Wine):"
        cat "$work/compare.diff" >&2
    fi
}

run_helper() {
    local system=$prefix/drive_c/windows/system
    mkdir -p "$system"
    cp "$win32_dir/vtxinh01.exe" "$system/vtxinh01.exe"
    # Wine joins its arguments with single spaces, quoting only those that hold one: giving
    # the model's two words apart passes the command line exactly as the device installer does.
    run wine 'C:\windows\system\vtxinh01.exe' "$@" || fail "vtxinh01.exe exited with $?"
    run wineserver -w
}

expect_line() {
    local what=$1 line=$2 file=$3
    grep -qxF -- "$line" "$file" || fail "$what: expected the line [$line]"
}

expect_no_match() {
    local what=$1 pattern=$2 file=$3
    if grep -qiE -- "$pattern" "$file"; then
        fail "$what: unexpected [$(grep -iE -- "$pattern" "$file" | head -1)]"
    fi
}

all_values() {
    {
        wine_values 'HKEY_LOCAL_MACHINE\Software\Kelvara'
        wine_values 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnce'
        wine_values 'HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Monitors'
    } >"$work/wine.values"
}

scenario_helper_install() {
    require_wine vtxinh01.exe vtxpmo01.dll
    new_prefix
    import_reg "$here/fixtures/install_k9.reg"
    # The monitor lies in the system directory, as the driver's installation leaves it; Wine's
    # spooler still cannot take it (127).
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
    run_helper -action=2 -model=Draftaire K9 -serial=AB12
    all_values

    local key='hkey_local_machine\software\kelvara\vtx\k9\ab12'
    expect_line "CmdLine (the monitor cannot be added under Wine: 127)" \
        "$key"$'\tcmdline\t"-s -v bustype=usb -v port=USB/Draftaire K9/AB12 -v model=Draftaire K9 -v serial=AB12 -v dialog=2 -v error=127 -v abort=1"' \
        "$work/wine.values"
    expect_line "RunOnce (no shell window)" \
        'hkey_local_machine\software\microsoft\windows\currentversion\runonce'$'\trunonce\t''"C:\\Setup\\start.exe -vtregistry=K9\\AB12"' \
        "$work/wine.values"
    expect_no_match "monitor key" 'monitors\\ab12' "$work/wine.values"

    local wininit=$prefix/drive_c/windows/wininit.ini entries
    entries=$(rename_entries "$wininit")
    if [[ $(grep -c . <<<"$entries") -ne 1 ||
        ! $entries =~ ^'C:\Windows\System\vtxinh01.exe=C:\Windows\System\'([0-9]{8})'.ex_'$ ]]; then
        fail "wininit.ini RENAME: expected one entry for a copy of vtxinh01.exe, got [$entries]"
    else
        local copy
        copy=$(find_nocase "$prefix/drive_c" "windows/system/${BASH_REMATCH[1]}.ex_")
        if [[ -z $copy ]] || ! cmp -s "$copy" "$win32_dir/vtxinh01.exe"; then
            fail "the temporary copy ${BASH_REMATCH[1]}.ex_ is missing or differs from vtxinh01.exe"
        fi
    fi

    if run_on_simulator "$here/fixtures/install_k9.reg" -action=2 -model=Draftaire K9 -serial=AB12; then
        compare_with_simulator
    fi
}

scenario_helper_port_in_use() {
    require_wine vtxinh01.exe
    new_prefix
    import_reg "$here/fixtures/port_in_use.reg"
    run_helper -action=2 -model=Draftaire K9 -serial=AB12
    all_values

    # A printer already prints to the device's port: the install does nothing at all.
    expect_no_match "setup parameters" 'kelvara\\vtx(\\|'$'\t'')' "$work/wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/wine.values"
    expect_no_match "monitor key" 'monitors\\ab12' "$work/wine.values"
    local entries
    entries=$(rename_entries "$prefix/drive_c/windows/wininit.ini")
    [[ -z $entries ]] || fail "wininit.ini RENAME: expected nothing, got [$entries]"

    if run_on_simulator "$here/fixtures/port_in_use.reg" -action=2 -model=Draftaire K9 -serial=AB12; then
        compare_with_simulator
    fi
}

# A device interface made as the driver's installation would, the monitor in the system
# directory, and the device path linked to a host file ($1, made empty unless it is a device)
# that receives what is printed.
monitor_setup() {
    local target=$1
    require_wine vtxpmo01.dll vtxspool.exe
    new_prefix
    [[ $target == /dev/* ]] || : >"$target"
    cp "$win32_dir/vtxpmo01.dll" "$prefix/drive_c/windows/system32/vtxpmo01.dll"
    mkdir -p "$prefix/drive_c/vtx"
    cp "$win32_dir/vtxspool.exe" "$prefix/drive_c/vtx/vtxspool.exe"

    spool device 'USB\VID_0D7A&PID_0042\AB12' AB12 'Draftaire K9' || fail "making the device interface"
    device_path=$(sed -n 's/^DevicePath=//p' "$work/spool.out" | tr -d '\r')
    [[ -n $device_path ]] || {
        fail "no device path"
        return 1
    }
    # Wine opens "\\?\name" through the prefix's dosdevices: a link of that name, lower case.
    local link=${device_path#\\\\?\\}
    link=${link,,}
    ln -sf "$target" "$prefix/dosdevices/$link"
    note "device $device_path -> $target"
}

# vtxspool with its report lines in spool.out.
spool() {
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' "$@" \
        >"$work/spool.raw" 2>>"$work/wine.log"
    local status=$?
    tr -d '\r' <"$work/spool.raw" | grep -E '^[A-Za-z0-9.]+=' >"$work/spool.out"
    cat "$work/spool.raw" >>"$work/wine.log"
    return $status
}

readonly port_name='USB/Draftaire K9/AB12'

scenario_monitor_print() {
    local printer=$work/printer.bin
    monitor_setup "$printer" || return

    spool enum || fail "vtxspool enum"
    expect_line "EnumPorts level 1" "Port1=$port_name" "$work/spool.out"
    expect_line "EnumPorts level 2" "Port2=$port_name monitor=[] description=[] type=3" \
        "$work/spool.out"

    spool print "$port_name" 'Hello, Draftaire' || fail "vtxspool print"
    local step
    for step in OpenPort StartDocPort 'WritePort=ok written=16' EndDocPort ClosePort; do
        [[ $step == *=* ]] || step="$step=ok"
        expect_line "print job" "$step" "$work/spool.out"
    done
    [[ $(cat "$printer") == 'Hello, Draftaire' ]] ||
        fail "the printer received [$(head -c 100 "$printer")] instead of [Hello, Draftaire]"

    # A device held open elsewhere: the job cannot start (sharing violation, 32); once it is
    # free, the same port starts a job.
    spool held "$port_name" "$device_path"
    expect_line "device held elsewhere" "StartDocPort=failed error=32" "$work/spool.out"
    expect_line "device free again" "StartDocPort.again=ok" "$work/spool.out"

    # The monitor names the port from Product and SerialNumber and writes the name back.
    wine_values "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses\\$interface_class" \
        >"$work/wine.values"
    grep -qiF $'\tportname\t"'"$port_name"'"' "$work/wine.values" ||
        fail "PortName was not written back to the interface key"
}

scenario_monitor_write_fails() {
    # Every write to /dev/full fails and moves nothing: the monitor then asks the device for
    # its status, which a plain file cannot give (Wine: 50), so the write reports the printer
    # not ready (21). The port still ends the document and closes.
    monitor_setup /dev/full || return
    spool print "$port_name" 'Hello, Draftaire'
    expect_line "print job" "StartDocPort=ok" "$work/spool.out"
    expect_line "a write that moved nothing" "WritePort=failed error=21" "$work/spool.out"
    expect_line "print job" "EndDocPort=ok" "$work/spool.out"
    expect_line "print job" "ClosePort=ok" "$work/spool.out"
}

case $scenario in
helper_install | helper_port_in_use | monitor_print | monitor_write_fails)
    "scenario_$scenario"
    ;;
*)
    echo "usage: wine_tests.sh helper_install|helper_port_in_use|monitor_print|monitor_write_fails" >&2
    exit 2
    ;;
esac

stop_wine
if [[ $failures -gt 0 ]]; then
    echo "$scenario: $failures check(s) failed; Wine's output is in $work/wine.log" >&2
    exit 1
fi
echo "$scenario: passed"
exit 0
