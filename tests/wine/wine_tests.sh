#!/bin/bash
# The PE32 images under Wine, each scenario run again on the simulated machine from the same
# REGEDIT4 fixture and compared: the registry below the keys the product touches, wininit.ini,
# the files it deletes or queues, and what a restart then does. The monitor is driven by
# vtxspool, our spooler stand-in, built for both machines; its report lines are compared.
#
#   wine_tests.sh prefix          the Windows 98 prefix every scenario copies (a CTest fixture)
#   wine_tests.sh prefix_removed  that prefix removed again
#   wine_tests.sh <scenario>      the scenario of scenarios/<scenario>.sh
#
# The machinery lies in harness.sh (its environment and exit status are this script's); what an
# install, a removal or a monitor scenario does in kinds/. A scenario is one file in scenarios/
# defining the function scenario_<its name>; CTest runs each file there as wine.<its name>.

# The harness and the scenario are read whole before anything runs: bash reads a script as it
# goes, and an edit during a run would otherwise be met halfway.
# shellcheck source=tests/wine/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh" "${1:-}"

usage() {
    echo "usage: wine_tests.sh prefix | prefix_removed | <scenario> (one of $here/scenarios)" >&2
    exit 2
}

case $scenario in
prefix | prefix_removed) ;;
'' | */* | .*) usage ;;
*)
    [[ -f $here/scenarios/$scenario.sh ]] || usage
    # shellcheck source=/dev/null
    source "$here/scenarios/$scenario.sh"
    declare -F "scenario_$scenario" >/dev/null || {
        echo "wine_tests.sh: scenarios/$scenario.sh defines no function scenario_$scenario" >&2
        exit 2
    }
    ;;
esac

main() {
    start_work
    case $scenario in
    prefix)
        make_template
        ;;
    prefix_removed)
        rm -rf "$template" "$work"
        echo "$scenario: passed"
        exit 0
        ;;
    *)
        "scenario_$scenario"
        ;;
    esac
    finish "$scenario" passed
}

main
