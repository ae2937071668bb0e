# shellcheck shell=bash disable=SC2034,SC2154
# An install with no shell running: the helper queues RunOnce, and the restart runs it.

# shellcheck source=tests/wine/kinds/install.sh
source "$here/kinds/install.sh"

scenario_install_no_shell() {
    install_scenario "$install_k9" 0 nowait
    local values=$work/installed.wine.values
    expect_line "CmdLine (the monitor cannot be added under Wine: 127)" \
        "$k9_key"$'\tcmdline\t"-s -v bustype=usb -v port=USB/Draftaire K9/AB12 -v model=Draftaire K9 -v serial=AB12 -v dialog=2 -v error=127 -v abort=1"' \
        "$values"
    expect_line "RunOnce (no shell window)" \
        "$runonce_key"$'\trunonce\t''"C:\\Setup\\start.exe -vtregistry=K9\\AB12"' "$values"
    expect_no_match "monitor key" 'monitors\\ab12' "$values"
    expect_helper_copy
    # The restart: the copy replaced the helper, wininit.ini became wininit.bak, RunOnce ran
    # and is gone; on the simulator the start of C:\Setup\start.exe is in the journal.
    expect_no_match "RunOnce after the restart" $'runonce\trunonce\t' "$work/restarted.wine.values"
    expect_line "wininit.ini after the restart" $'FILE\tC:\\Windows\\wininit.bak\tpresent' "$work/restarted.wine"
    expect_line "wininit.ini after the restart" $'FILE\tC:\\Windows\\wininit.ini\tabsent' "$work/restarted.wine"
    sim_spooler journal >"$work/journal.sim"
    expect_line "RunOnce on the simulator" \
        'Start=RunOnce application=[] command=[C:\Setup\start.exe -vtregistry=K9\AB12] directory=[]' \
        "$work/journal.sim"
}
