# shellcheck shell=bash disable=SC2034,SC2154
# An install with the shell running and "launch.ini": the helper starts the setup program.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_shell_launch() {
    launch_ini=1 install_scenario "$install_k9" 1 wait
    expect_line "setup.exe under the shell" 'Setup=started' "$work/shell.out"
    local log
    log=$(find_nocase "$prefix/drive_c" setup.log)
    [[ -n $log ]] || fail "setup.exe left no setup.log"
    tr -d '\r' <"${log:-/dev/null}" >"$work/setup.wine"
    expect_line "setup.exe's command line" "CommandLine=$setup_command" "$work/setup.wine"
    expect_line "setup.exe's directory (C:\\Setup\\..\\)" 'Directory=C:\' "$work/setup.wine"
    sim_spooler journal >"$work/journal.sim"
    expect_line "setup.exe on the simulator" \
        "Start=CreateProcessA application=[C:\\Setup\\..\\setup.exe] command=[$setup_command] directory=[C:\\Setup\\..\\]" \
        "$work/journal.sim"
    expect_no_match "RunOnce (shell running)" $'runonce\trunonce\t' "$work/installed.wine.values"
}
