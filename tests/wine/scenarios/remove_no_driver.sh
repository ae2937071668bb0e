# shellcheck shell=bash disable=SC2034,SC2154
# The removal of a device without a "driver" value.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_no_driver() {
    remove_scenario "$(fixture_with "$removal_fixtures/one_device.reg" $'[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_0D7A&PID_0042\\AB12]\n"driver"=-')" \
        '-model=Draftaire K9' AB12
    # No "driver": no class instance and no INF name, so the model key and files stay.
    grep -qi 'usb draftaire\\0000' "$work/removed.wine" || fail "the class instance key went"
    grep -qi 'kelvara\\vtxio\\k9' "$work/removed.wine" || fail "the model key went"
    expect_line "files" $'FILE\tC:\\Windows\\System\\vtxpmo01.dll\tpresent' "$work/removed.wine"
}
