# shellcheck shell=bash disable=SC2034,SC2154
# What every monitor scenario does: vtxspool, the spooler stand-in, loads the monitor on both
# machines, and its report lines are compared.

# vtxspool's lines on both machines, compared less the accepted platform differences; under Wine
# the device paths link to host files. With --sorted first, the lines compare in any order: the
# ports come in the registry's enumeration order, which Wine sorts (platform_differences).
spool_both() {
    local order=cat
    [[ $1 == --sorted ]] && { order='sort'; shift; }
    local name=$1
    shift
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxspool.exe' "$@" 2>>"$work/wine.log" |
        tr -d '\r' >"$work/$name.wine"
    VTXSIM_MACHINE=$sim timeout 60 "$VTX_SIM_SPOOLER" "$@" >"$work/$name.sim" 2>>"$work/sim.log"
    if ! diff -u <(accept_differences <"$work/$name.sim" | $order) \
        <(accept_differences <"$work/$name.wine" | $order) >"$work/$name.diff"; then
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
    put_monitor
    put_tools vtxspool.exe
    local printer=$work/printer.bin path_a
    : >"$printer"
    path_a=$(make_device 'USB\VID_0D7A&PID_0041\1' 1 A "$printer") || return
    make_device 'USB\VID_0D7A&PID_0042\22' 22 B /dev/full >/dev/null || return
    sim_spooler stall 22 || fail "stalling 22 on the simulator"

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
    [[ $(sim_spooler received 1) == 'Hello, Draftaire' ]] ||
        fail "the simulated printer did not receive the job"
    spool_both write_fails print USB/B/22 'Hello, Draftaire'
    expect_line "a write that moved nothing" 'WritePort=failed error=21' "$work/write_fails.wine"
    spool_both held held USB/A/1 "$path_a"
    expect_line "device held elsewhere" 'StartDocPort=failed error=32' "$work/held.wine"
    end_session

    # The monitor names the ports from Product and SerialNumber and writes the names back.
    local interfaces
    interfaces="hkey_local_machine\\system\\currentcontrolset\\control\\deviceclasses\\$("$wine_state" interface-class)\\"
    port_names() { grep -iF "$interfaces" | grep -iF $'\tportname\t' | cut -f3 | sort; }
    wine_values | port_names >"$work/names.wine"
    sim_values | port_names >"$work/names.sim"
    printf '"USB/A/1"\n"USB/B/22"\n' >"$work/names.expected"
    diff -u "$work/names.expected" "$work/names.wine" >&2 || fail "PortName written back under Wine"
    diff -u "$work/names.expected" "$work/names.sim" >&2 || fail "PortName written back on the simulator"
}
