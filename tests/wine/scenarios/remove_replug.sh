# shellcheck shell=bash disable=SC2034,SC2154
# The last printer of all unplugged and plugged in again before the restart.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_replug() {
    local fixture=$removal_fixtures/one_device.reg library='C:\Windows\System\VMM32\vtxvxu01.dll'
    require_wine vtxspool.exe
    removal_machines "$fixture" || return
    # The stand-in reads the registry while the session runs: ending it would be a restart.
    put_tools vtxspool.exe
    run_helper 0 nowait -action=64 -model=Draftaire K9 -serial=AB12
    compare_state removed
    expect_line "queued deletion" $'RENAME\tNUL='"$library" "$work/removed.wine"

    # Plugged in again: the driver's installation puts its keys and files back, then the helper
    # attaches. The library's deletion is taken back; the helper's own file goes at the restart
    # and its copy comes back over it.
    import_reg "$fixture"
    put_removal_files
    run_helper 0 nowait -action=2 -model=Draftaire K9 -serial=AB12
    end_session
    compare_state replugged
    expect_no_match "the library's deletion" 'NUL=.*vtxvxu01' "$work/replugged.wine"
    expect_line "the helper's deletion" $'RENAME\tNUL=C:\\Windows\\System\\vtxinh01.exe' "$work/replugged.wine"

    restart_both
    compare_state restarted
    local machine
    for machine in wine sim; do
        expect_line "the library on the $machine machine" $'FILE\t'"$library"$'\tpresent' "$work/restarted.$machine"
        expect_line "the helper on the $machine machine" $'FILE\tC:\\Windows\\System\\vtxinh01.exe\tpresent' "$work/restarted.$machine"
    done
    compare_problems restarted
}
