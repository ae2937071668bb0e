# shellcheck shell=bash disable=SC2034,SC2154
# The removal of the last device of all.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_one_device() {
    remove_scenario "$removal_fixtures/one_device.reg" '-model=Draftaire K9' AB12
    # The last device of all: everything of the maker's goes; two files wait for the restart.
    # The empty "VTX" key stays: nothing in the sequence deletes it.
    expect_no_match "the maker's values" $'^hkey[^\t]*(kelvara|vtxiod01|usb draftaire|vid_0d7a)[^\t]*\t[^\t]' "$work/removed.wine"
    expect_line "queued deletion" $'RENAME\tNUL=C:\\Windows\\System\\vtxinh01.exe' "$work/removed.wine"
    expect_line "queued deletion" $'RENAME\tNUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll' "$work/removed.wine"
    expect_line "after the restart" $'FILE\tC:\\Windows\\System\\vtxinh01.exe\tabsent' "$work/restarted.wine"
}
