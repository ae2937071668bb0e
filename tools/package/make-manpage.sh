#!/bin/bash
# Writes vtxlab's manual page, gzipped, from its --help and each command's --help (help2man):
#
#   make-manpage.sh VTXLAB VERSION OUTPUT.1.gz
#
# The page's date is SOURCE_DATE_EPOCH's (help2man reads it), so that one commit gives one page.
set -euo pipefail

[[ $# -eq 3 ]] || { echo "usage: make-manpage.sh VTXLAB VERSION OUTPUT.1.gz" >&2; exit 2; }
readonly vtxlab=$1 version=$2 output=$3
command -v help2man >/dev/null || { echo "make-manpage: help2man is missing (tools/install-deps.sh host)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Help text as roff: backslashes escaped, no line read as a request.
roff_text() {
    sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

{
    echo "[COMMANDS]"
    "$vtxlab" --help | awk '/^Subcommands:$/ { on = 1; next } on && NF == 0 { exit } on { print $1 }' |
        while read -r command; do
            echo ".TP"
            printf '\\fB%s\\fR\n' "$command"
            echo ".nf"
            "$vtxlab" "$command" --help | sed '/^Every command but/,$d' | roff_text
            echo ".fi"
        done
    cat <<'MORE'
[ENVIRONMENT]
.TP
.B VTXSIM_MACHINE
The machine directory, for every command that takes \fB\-\-machine\fR.
.TP
.B VTXSIM_COMMAND_LINE
The whole Windows command line of a program built against the simulator, as the helper gets it.
.TP
.B VTXSIM_MONITOR_DIR
Where the simulated spooler finds the Linux builds of monitor libraries.
[EXIT STATUS]
0 on success; 2 for a bad command line; 1 for anything else a user got wrong (an unknown
serial or port, a directory that is not a machine, a file that cannot be read), each with one
line on standard error; 128+N when interrupted by signal N. \fBexplain\fR exits with 0 when it
finds no problem (or no Draftaire software installed), 1 when it finds problems, 2 also for an
unknown \fB\-\-serial\fR, and 3 when the file is no whole registry export (it cannot be read,
is empty, is no registry export, has no HKEY_LOCAL_MACHINE, or ends inside a value); \fBprint\fR
exits with 1 when the job fails or \fB\-\-verify\fR finds a difference. Each command's own
exit codes end its entry above.
MORE
} >"$work/extra.h2m"

help2man --no-info --version-string="$version" \
    --name="the Draftaire printers' helper and monitor on a simulated Windows 98 machine" \
    --include="$work/extra.h2m" --output="$work/vtxlab.1" "$vtxlab"
gzip -n -9 -c "$work/vtxlab.1" >"$output"
