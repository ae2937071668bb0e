# shellcheck shell=bash disable=SC2034,SC2154
# The monitor in Windows ME mode.

# shellcheck source=tests/wine/kinds/monitor.sh
source "$here/kinds/monitor.sh"

scenario_monitor_me() {
    monitor_scenario me
}
