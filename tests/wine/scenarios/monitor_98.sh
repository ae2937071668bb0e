# shellcheck shell=bash disable=SC2034,SC2154
# The monitor in Windows 98 mode.

# shellcheck source=tests/wine/kinds/monitor.sh
source "$here/kinds/monitor.sh"

scenario_monitor_98() {
    monitor_scenario 98
}
