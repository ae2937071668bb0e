# shellcheck shell=bash disable=SC2034,SC2154
# What every removal scenario does: the driver's files on both machines, the helper with
# -action=64, compared before and after the restart that carries out the queued deletions, and
# then the problems explain finds in the collector's reports of both machines.

readonly removal_fixtures=$here/../fixtures/removal

# The files the driver's installation copies, on both machines.
put_removal_files() {
    local file files
    mapfile -t files < <("$wine_state" driver-files)
    ((${#files[@]})) || fail "vtxwinestate driver-files listed nothing"
    # With the INF files of the fixtures' two models.
    for file in "${files[@]}" 'C:\Windows\Inf\Other\OEM0.INF' 'C:\Windows\Inf\Other\OEM2.INF'; do
        put_driver_file "$file"
    done
}

# Windows 98 machines without the shell from a fixture, with the driver's files.
removal_machines() {
    local fixture=$1
    require_wine vtxinh01.exe
    require_simulator
    require_collector
    new_machines 98 0 || return
    import_reg "$fixture"
    put_removal_files
}

# A removal from a fixture of the device of model (the helper's -model=... argument) and serial.
remove_scenario() {
    local fixture=$1 model=$2 serial=$3
    removal_machines "$fixture" || return
    # shellcheck disable=SC2086
    run_helper 0 nowait -action=64 $model -serial=$serial
    end_session
    compare_state removed
    restart_both
    compare_state restarted
    compare_problems restarted
}
