# shellcheck shell=bash disable=SC2034,SC2154
# An install whose model names another file in ExecFile.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_exec_file() {
    # ExecFile names the file that the restart puts in place of the helper.
    extra_file='C:\Windows\System\vtxalt01.exe' install_scenario \
        "$(fixture_with "$install_k9" $'[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTXIO\\K9]\n"ExecFile"="vtxalt01.exe"')" 0 nowait
    local entries
    entries=$(rename_entries "$(find_nocase "$prefix/drive_c" windows/wininit.bak)")
    [[ $entries =~ ^'C:\Windows\System\vtxalt01.exe=C:\Windows\System\'[0-9]{8}'.ex_'$ ]] ||
        fail "wininit.ini RENAME: expected one entry for a copy of vtxalt01.exe, got [$entries]"
}
