# shellcheck shell=bash disable=SC2034,SC2154
# An install with the shell running and no "launch.ini".

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_shell_no_launch() {
    install_scenario "$install_k9" 1 nowait
    # No "launch.ini": nothing is started and nothing is queued; the copy is still made.
    expect_no_match "RunOnce (shell running)" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_helper_copy
    sim_spooler journal >"$work/journal.sim"
    [[ ! -s $work/journal.sim ]] || fail "a program was started: $(cat "$work/journal.sim")"
}
