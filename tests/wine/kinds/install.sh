# shellcheck shell=bash disable=SC2034,SC2154
# What every install scenario does: the helper with -action=2 for one device of the K9 model,
# under Wine and on the simulated machine, compared before and after the restart, and then the
# problems explain finds in the collector's reports of both machines.

readonly install_k9=$here/fixtures/install_k9.reg
readonly install_args='-action=2 -model=Draftaire K9 -serial=AB12'
readonly k9_key='hkey_local_machine\software\kelvara\vtx\k9\ab12'
readonly runonce_key='hkey_local_machine\software\microsoft\windows\currentversion\runonce'
readonly setup_command=' -a"USB\Draftaire K9\AB12" -b"Draftaire K9"'

# An install from a fixture with the shell running or not (1 or 0), waiting for the helper under
# the shell or not (wait, nowait). Set for the call: wininit_before, a wininit.ini already there;
# extra_file, a Windows path that gets a copy of the helper; launch_ini=1, "launch.ini" and its
# setup program.
install_scenario() {
    local fixture=$1 shell=$2 wait=$3
    require_wine vtxinh01.exe vtxpmo01.dll vtxspool.exe
    require_simulator
    require_collector
    new_machines 98 "$shell" || return
    import_reg "$fixture"
    [[ -n ${wininit_before:-} ]] && put_file 'C:\Windows\wininit.ini' "$wininit_before"
    [[ -n ${extra_file:-} ]] && put_file "$extra_file" "$win32_dir/vtxinh01.exe"
    [[ ${launch_ini:-0} == 1 ]] && put_launch_ini
    # shellcheck disable=SC2086
    run_helper "$shell" "$wait" $install_args
    end_session
    compare_state installed
    restart_both
    compare_state restarted
    compare_problems restarted
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
