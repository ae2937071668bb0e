# shellcheck shell=bash disable=SC2034,SC2154
# The field collector after an install without a shell: vtxdiag.exe under Wine and its Linux
# build on the simulated machine each write a whole report, which vtxlab explain reads; both
# hold the setup command's key, and the helper and its queued copy with their version. Before the
# restart, after the install and after the printer is unplugged and plugged back in, explain
# finds the same problems in both machines' reports (the install and removal scenarios compare
# them after the restart).

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"
# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

# The report's checks common to both machines; $1 the report, $2 the machine's name.
expect_report() {
    local report=$1 machine=$2 json rc
    [[ -f $report ]] || { fail "$machine: no report"; return; }
    [[ $(head -n 1 "$report" | od -An -c | tr -d ' \n') == '#vtxdiagreport1\r\n' ]] ||
        fail "$machine: the report's first line"
    [[ $(tail -n 1 "$report" | od -An -c | tr -d ' \n') == '#vtxdiagend\r\n' ]] ||
        fail "$machine: the report does not end whole"
    local section
    for section in header registry registry-keys wininit.ini files spooler; do
        grep -q "^#vtxdiag section $section" "$report" || fail "$machine: no $section section"
    done
    grep -qF $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTX\\K9\\AB12]\r' "$report" ||
        fail "$machine: the setup command's key is not in the registry section"
    grep -qE $'^windows 4\\.10\\.[0-9]+ platform=1 ' "$report" || fail "$machine: the Windows line"
    json=$("$VTX_LAB" explain --json "$report" 2>>"$work/explain.log")
    rc=$?
    [[ $rc == 0 || $rc == 1 ]] || { fail "$machine: vtxlab explain ended with $rc"; return; }
    grep -qF '"key": "HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTX\\K9\\AB12"' <<<"$json" ||
        fail "$machine: explain does not name the setup command's key"
    # The helper's file and its queued copy, with the version of their resource.
    grep -qF "version=$VTX_PROJECT_VERSION.0 path=C:\Windows\System\vtxinh01.exe"$'\r' "$report" ||
        fail "$machine: the helper's file and version are not in the files section"
    grep -qE '^queued-copy present size=[0-9]+ .* path=C:\\Windows\\System\\[0-9]{8}\.ex_'$'\r''$' "$report" ||
        fail "$machine: the helper's queued copy is not in the files section"
}

scenario_collector_report() {
    require_wine vtxdiag.exe vtxinh01.exe vtxpmo01.dll
    require_simulator
    require_collector
    new_machines 98 0 || return
    import_reg "$install_k9"
    # shellcheck disable=SC2086
    run_helper 0 nowait $install_args
    compare_problems installed
    end_session
    expect_report "$work/installed.wine.txt" Wine
    expect_report "$work/installed.sim.txt" simulator

    # The last printer unplugged and plugged back in before the restart (the same session: a
    # new one would be a restart): the driver's installation puts its keys and files back, the
    # helper attaches and takes the library's deletion back.
    local fixture=$removal_fixtures/one_device.reg
    removal_machines "$fixture" || return
    run_helper 0 nowait -action=64 -model=Draftaire K9 -serial=AB12
    import_reg "$fixture"
    put_removal_files
    run_helper 0 nowait -action=2 -model=Draftaire K9 -serial=AB12
    compare_problems replugged
    end_session
    expect_no_match "the library's deletion after the replug" \
        $'pending-deletion-of-needed-file\t.*vtxvxu01' "$work/replugged.sim.problems"
}
