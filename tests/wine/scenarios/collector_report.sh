# shellcheck shell=bash disable=SC2034,SC2154
# The field collector after an install without a shell: vtxdiag.exe under Wine and its Linux
# build on the simulated machine each write a whole report, which vtxlab explain reads; both
# hold the setup command's key, and the helper and its queued copy with their version. After the
# install and after the printer is unplugged and plugged back in before the restart, explain
# finds the same problems in both machines' reports.

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

# The problems explain finds in a report as compared lines, "PROBLEM <TAB> code <TAB> key <TAB>
# value", less the accepted platform differences; their words and lines are the report's own.
report_problems() {
    "$VTX_LAB" explain --json "$1" 2>>"$work/explain.log" | python3 -c '
import json, sys
for p in json.load(sys.stdin)["problems"]:
    print("PROBLEM\t%s\t%s\t%s" % (p["code"], p["key"].lower(), p["value"]))' |
        accept_differences | sort
}

# Both machines' reports of a stage give the same problems.
expect_same_problems() {
    local stage=$1 wine_report=$2 sim_report=$3
    report_problems "$wine_report" >"$work/$stage.wine.problems"
    report_problems "$sim_report" >"$work/$stage.sim.problems"
    if diff -u "$work/$stage.sim.problems" "$work/$stage.wine.problems" >"$work/$stage.problems.diff"; then
        note "$stage: explain finds the same $(wc -l <"$work/$stage.wine.problems") problem(s) in both reports"
    else
        fail "$stage: explain finds other problems in the reports (- simulator, + Wine):"
        cat "$work/$stage.problems.diff" >&2
    fi
}

# The collector on both machines, its report named $1 (in C:\vtx under Wine, in the Windows
# directory of the simulated machine).
collect_both() {
    local name=$1
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxdiag.exe' /q "C:\\vtx\\$name" \
        2>>"$work/wine.log" || fail "vtxdiag.exe under Wine ended with $?"
    VTXSIM_MACHINE=$sim VTXSIM_COMMAND_LINE="C:\\WINDOWS\\VTXDIAG.EXE /q C:\\WINDOWS\\$name" \
        timeout 60 "$VTX_HOST_COLLECTOR" >>"$work/sim.log" 2>&1 || fail "the collector on the simulator"
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
    collect_both VTXDIAG.TXT
    end_session
    expect_report "$prefix/drive_c/vtx/VTXDIAG.TXT" Wine
    expect_report "$(find_nocase "$sim/drive_c" windows/vtxdiag.txt)" simulator
    expect_same_problems installed "$prefix/drive_c/vtx/VTXDIAG.TXT" \
        "$(find_nocase "$sim/drive_c" windows/vtxdiag.txt)"

    # The last printer unplugged and plugged back in before the restart (the same session: a
    # new one would be a restart): the driver's installation puts its keys and files back, the
    # helper attaches and takes the library's deletion back.
    local fixture=$removal_fixtures/one_device.reg
    removal_machines "$fixture" || return
    run_helper 0 nowait -action=64 -model=Draftaire K9 -serial=AB12
    import_reg "$fixture"
    put_removal_files
    run_helper 0 nowait -action=2 -model=Draftaire K9 -serial=AB12
    put_tools vtxdiag.exe
    collect_both REPLUG.TXT
    end_session
    expect_same_problems replugged "$prefix/drive_c/vtx/REPLUG.TXT" \
        "$(find_nocase "$sim/drive_c" windows/replug.txt)"
    expect_no_match "the library's deletion after the replug" \
        $'pending-deletion-of-needed-file\t.*vtxvxu01' "$work/replugged.sim.problems"
}
