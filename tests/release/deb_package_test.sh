#!/bin/bash
# vtxlab's Debian package as a user gets it: made by cpack from this build, unpacked with
# dpkg -x into a temporary root and run from there with the build and source trees hidden
# (a private mount namespace puts empty directories over them), so that everything it needs
# must come from the package. Then its manual page and its bash completion, which must offer
# every subcommand and every option that vtxlab's --help names.
#
# Environment (set by CTest): VTX_BUILD_DIR, the build with CPackConfig.cmake; VTX_SOURCE_DIR;
# VTX_PROJECT_VERSION. Exit status: 0 passed, 1 failed, 77 skipped (no dpkg, cpack or help2man).
set -uo pipefail

readonly build=${VTX_BUILD_DIR:?} source=${VTX_SOURCE_DIR:?} version=${VTX_PROJECT_VERSION:?}
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

for tool in dpkg-deb cpack help2man; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing (tools/install-deps.sh host)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

(cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; exit 1; }
deb=$(find "$work/cpack" -maxdepth 1 -name "vtxlab_${version}_*.deb" -print -quit)
[[ -n $deb ]] || { fail "no vtxlab_${version}_*.deb in $work/cpack"; exit 1; }
dpkg-deb -x "$deb" "$root" || { fail "dpkg -x $deb"; exit 1; }

for file in usr/bin/vtxlab usr/lib/vtxlab/libvtxsim.so usr/lib/vtxlab/vtxinh01 \
    usr/lib/vtxlab/vtxdiag usr/lib/vtxlab/libvtxpmo01.so usr/share/man/man1/vtxlab.1.gz \
    usr/share/bash-completion/completions/vtxlab; do
    [[ -f $root/$file ]] || fail "the package has no /$file"
done
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version $(dpkg-deb -f "$deb" Version), not $version"

# What the unpacked vtxlab prints, run with nothing of this build around.
installed() {
    local script=$1
    if unshare -m --propagation private true 2>/dev/null; then
        unshare -m --propagation private env -i PATH=/usr/bin:/bin HOME="$work" ROOT="$root" \
            WORK="$work" BUILD="$build" SOURCE="$source" bash -c '
                mount -t tmpfs none "$BUILD" && mount -t tmpfs none "$SOURCE" || exit 99
                cd "$WORK" && '"$script"
    else
        echo "note: no private mount namespace here; the build tree stays visible" >&2
        env -i PATH=/usr/bin:/bin HOME="$work" ROOT="$root" WORK="$work" bash -c "cd \"\$WORK\" && $script"
    fi
}

out=$(installed '"$ROOT/usr/bin/vtxlab" --version') || fail "vtxlab --version exited with $?"
echo "$out"
[[ $out =~ ^"vtxlab $version (commit "[0-9a-f]{7,}(-modified)?")"$|^"vtxlab $version (commit unknown)"$ ]] ||
    fail "vtxlab --version printed [$out]"

# A machine, a printer attached by the packaged helper, its port listed by the packaged monitor
# and, through the packaged collector's spooler, in its report.
out=$(installed '
    L=$ROOT/usr/bin/vtxlab
    $L new --machine m && $L attach --machine m --model "Draftaire K9" --serial AB12 &&
        $L ports --machine m && $L collect --machine m' 2>&1) ||
    fail "new, attach, ports and collect from the package: $out"
echo "$out"
grep -q 'USB/Draftaire K9/AB12' <<<"$out" || fail "the packaged monitor listed no port for AB12"
grep -q '^port "USB/Draftaire K9/AB12"' <<<"$out" || fail "the packaged collector's report lists no port for AB12"

page=$(gzip -dc "$root/usr/share/man/man1/vtxlab.1.gz") || fail "the manual page is not gzipped"
grep -q '^\.TH VTXLAB "1"' <<<"$page" || fail "the manual page has no .TH line"

# Each subcommand's options, as its --help names them, offered after "vtxlab COMMAND --".
vtxlab=$root/usr/bin/vtxlab
completion=$root/usr/share/bash-completion/completions/vtxlab
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vtxlab; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$completion" "$@"
}
commands=$("$vtxlab" --help | awk '/^Subcommands:$/ { on = 1; next } on && NF == 0 { exit } on { print $1 }')
[[ $(complete_words vtxlab '' | sort) == "$(sort <<<"$commands")" ]] ||
    fail "the completion of the command is [$(complete_words vtxlab '' | xargs)], not [$(xargs <<<"$commands")]"
for command in $commands; do
    [[ $page == *"\\fB$command\\fR"* ]] || fail "the manual page does not describe $command"
    offered=$(complete_words vtxlab "$command" --)
    for option in $("$vtxlab" "$command" --help | grep -oE '^  (-h,)?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
        grep -qxF -- "$option" <<<"$offered" || fail "the completion does not offer $command $option"
    done
done
[[ $(complete_words vtxlab new --version '') == $'95\n98\nme\nnt4\n2000' ]] ||
    fail "the completion of new --version is [$(complete_words vtxlab new --version '' | xargs)]"

if [[ $failures -gt 0 ]]; then
    echo "release.deb_package: $failures check(s) failed" >&2
    exit 1
fi
echo "release.deb_package: passed ($(basename "$deb"), $(dpkg-deb -c "$deb" | grep -c -v '/$') files)"
