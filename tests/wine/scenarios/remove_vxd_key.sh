# shellcheck shell=bash disable=SC2034,SC2154
# The removal of the last device of all with the driver's VxD key present.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_vxd_key() {
    remove_scenario "$(fixture_with "$removal_fixtures/one_device.reg" $'[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\Vtxiod01]\n"Start"=dword:00000000')" \
        '-model=Draftaire K9' AB12
    # The VxD key stays and keeps the library in VMM32.
    expect_no_match "VMM32 library queued" 'NUL=.*vtxvxu01' "$work/removed.wine"
    expect_line "VMM32 library" $'FILE\tC:\\Windows\\System\\VMM32\\vtxvxu01.dll\tpresent' "$work/restarted.wine"
}
