# shellcheck shell=bash disable=SC2034,SC2154
# An install onto a wininit.ini that already has a RENAME section.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_rename_kept() {
    printf '[Boot]\r\nshell=Explorer.exe\r\n[rename]\r\nNUL=C:\\Windows\\Temp\\old.tmp\r\nC:\\Windows\\a.dll=C:\\Windows\\a.new\r\n' \
        >"$work/wininit.before"
    wininit_before=$work/wininit.before install_scenario "$install_k9" 0 nowait
    local entries
    entries=$(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.bak)")
    [[ $(sed -n 1p <<<"$entries") == 'NUL=C:\Windows\Temp\old.tmp' &&
        $(sed -n 2p <<<"$entries") == 'C:\Windows\a.dll=C:\Windows\a.new' &&
        $(grep -c . <<<"$entries") -eq 3 ]] ||
        fail "wininit.ini RENAME: the earlier entries were not kept in order: [$entries]"
}
