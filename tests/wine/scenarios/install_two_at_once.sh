# shellcheck shell=bash disable=SC2034,SC2154
# Two device events at once: two helpers started together under Wine, a device each, and
# nothing but the helper's own mutex between them. The simulator runs the same two one after
# the other: Wine's result must be that one, both RENAME entries included.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_two_at_once() {
    require_wine vtxinh01.exe vtxpmo01.dll vtxspool.exe
    require_simulator
    require_collector
    new_machines 98 0 || return
    import_reg "$install_k9"
    put_file 'C:\Windows\System\vtxinh01.exe' "$win32_dir/vtxinh01.exe"
    put_monitor
    local serial pid pids=()
    for serial in AB12 XY99; do
        # The model's two words apart: Wine joins them with one space, as the device installer.
        run wine 'C:\windows\system\vtxinh01.exe' -action=2 -model=Draftaire K9 "-serial=$serial" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || fail "a vtxinh01.exe of the pair exited with $?"
    done
    # Wine's report now: a new session would be a restart. The simulator's once it has the order.
    collect_wine installed
    end_session
    # Nothing orders the two under Wine: its result must be that of one of the two serial orders
    # (the one RunOnce value, for one, is the second helper's).
    cp -a "$sim" "$work/sim.before"
    local order
    for order in "AB12 XY99" "XY99 AB12"; do
        rm -rf "$sim"
        cp -a "$work/sim.before" "$sim"
        for serial in $order; do
            sim_helper -action=2 -model=Draftaire K9 "-serial=$serial"
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
    collect_sim installed
    expect_same_problems installed
}
