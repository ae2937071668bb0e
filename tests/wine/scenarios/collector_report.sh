# shellcheck shell=bash disable=SC2034,SC2154
# The field collector after an install without a shell: vtxdiag.exe under Wine and its Linux
# build on the simulated machine each write a whole report, which vtxlab explain reads; both
# hold the setup command's key, and the helper and its queued copy with their version.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

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
    [[ -x ${VTX_HOST_COLLECTOR:-} && -x ${VTX_LAB:-} ]] ||
        skip "the collector's Linux build or vtxlab is missing (VTX_HOST_COLLECTOR, VTX_LAB)"
    new_machines 98 0 || return
    import_reg "$install_k9"
    # shellcheck disable=SC2086
    run_helper 0 nowait $install_args
    put_tools vtxdiag.exe
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxdiag.exe' /q 'C:\vtx\VTXDIAG.TXT' \
        2>>"$work/wine.log" || fail "vtxdiag.exe under Wine ended with $?"
    end_session
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE='C:\WINDOWS\VTXDIAG.EXE /q C:\WINDOWS\VTXDIAG.TXT' \
        timeout 60 "$VTX_HOST_COLLECTOR" >>"$work/sim.log" 2>&1 || fail "the collector on the simulator"
    expect_report "$prefix/drive_c/vtx/VTXDIAG.TXT" Wine
    expect_report "$(find_nocase "$sim/drive_c" windows/vtxdiag.txt)" simulator
}
