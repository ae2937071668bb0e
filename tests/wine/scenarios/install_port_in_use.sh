# shellcheck shell=bash disable=SC2034,SC2154
# An install for a device whose port a printer already uses.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_port_in_use() {
    install_scenario "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\Draftaire K9]\n"Port"="USB/Draftaire K9/AB12"')" 0 nowait
    # A printer already prints to the device's port: the install does nothing at all.
    expect_no_match "setup parameters" 'kelvara\\vtx(\\|'$'\t'')' "$work/installed.wine.values"
    expect_no_match "RunOnce" $'runonce\trunonce\t' "$work/installed.wine.values"
    expect_line "wininit.ini" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/installed.wine"
}
