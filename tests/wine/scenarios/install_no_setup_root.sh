# shellcheck shell=bash disable=SC2034,SC2154
# An install whose model has no SetupRootPath.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_no_setup_root() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"SetupRootPath"=-')" 0 nowait
    # No setup directory (2): no CmdLine and no launch; the copy is still queued.
    expect_no_match "CmdLine" $'\tcmdline\t' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_helper_copy
}
