# shellcheck shell=bash disable=SC2034,SC2154
# The removal of the last device of a model while another model remains.

# shellcheck source=tests/wine/kinds/removal.sh
source "$here/kinds/removal.sh"

scenario_remove_last_of_model() {
    remove_scenario "$removal_fixtures/two_models.reg" '-model=Draftaire K9' AB12
    # Another model remains: this model's keys and INF go, the shared keys and files stay.
    expect_no_match "the model key" 'kelvara\\vtxio\\k9' "$work/removed.wine"
    grep -qi 'kelvara\\vtxio\\m2' "$work/removed.wine" || fail "the other model's key went too"
    expect_line "shared files" $'FILE\tC:\\Windows\\System\\vtxpmo01.dll\tpresent' "$work/removed.wine"
}
