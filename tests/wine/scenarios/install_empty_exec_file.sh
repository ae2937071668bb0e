# shellcheck shell=bash disable=SC2034,SC2154
# An install whose model has an empty SetupExecFile.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_empty_exec_file() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"SetupExecFile"=""')" 0 nowait
    # An empty setup program name (1008): no CmdLine and no launch.
    expect_no_match "CmdLine" $'\tcmdline\t' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
}
