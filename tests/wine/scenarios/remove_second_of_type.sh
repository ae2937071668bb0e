# shellcheck shell=bash disable=SC2034,SC2154
# The removal of the second device of a type.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_second_of_type() {
    remove_scenario "$removal_fixtures/two_devices_one_type.reg" '-model=Draftaire K9' CD34
    # Another device of the type remains: only this device's keys below Enum, DeviceClasses and
    # the class go; no file is touched.
    expect_no_match "the removed device" '^hkey_local_machine\\(enum|system).*cd34' "$work/removed.wine"
    expect_no_match "the removed device's class instance" 'usb draftaire\\0001' "$work/removed.wine"
    grep -qi 'vid_0d7a&pid_0042\\ab12' "$work/removed.wine" || fail "the other device's key went too"
    expect_line "wininit.ini" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/removed.wine"
}
