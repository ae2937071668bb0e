#!/bin/bash
# Writes vtxlab's bash completion from its own --help, so that every subcommand and option it
# has is completed, and none that it does not:
#
#   make-completion.sh VTXLAB OUTPUT
#
# Options with a fixed set of values ("--version TEXT:{95,98,...}") complete those values,
# --machine a directory, --from and positional files a file name; other values (a model, a
# serial) nothing.
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: make-completion.sh VTXLAB OUTPUT" >&2; exit 2; }
readonly vtxlab=$1 output=$2

# "option|value|choices" and "positional|name|choices" lines of one help text.
help_items() {
    awk '
        /^[A-Z][a-z]*:$/ { section = $0; next }
        section == "Options:" && /^  -/ {
            names = $1; type = $2
            gsub(/,/, " ", names)
            n = split(names, each, " ")
            takes = (type ~ /^[A-Z]+(:|$)/ && type != "REQUIRED" && type != "Excludes:")
            choices = ""
            if (match(type, /\{[^}]*\}/)) choices = substr(type, RSTART + 1, RLENGTH - 2)
            for (i = 1; i <= n; i++) print "option|" each[i] "|" (takes ? "value" : "") "|" choices
        }
        section == "Positionals:" && /^  [a-z]/ {
            choices = ""
            if (match($2, /\{[^}]*\}/)) choices = substr($2, RSTART + 1, RLENGTH - 2)
            print "positional|" $1 "||" choices
        }
        section == "Subcommands:" && /^  [a-z]/ { print "subcommand|" $1 "||" }
    '
}

# The words a value completes to, as a compgen argument list.
value_words() {
    local option=$1 choices=$2
    if [[ -n $choices ]]; then
        echo "-W '${choices//,/ }'"
    elif [[ $option == --machine ]]; then
        echo "-d"
    elif [[ $option == --from || $option == positional ]]; then
        echo "-f"
    fi
}

top=$("$vtxlab" --help | help_items)
commands=$(awk -F'|' '$1 == "subcommand" { print $2 }' <<<"$top")
[[ -n $commands ]] || { echo "make-completion: $vtxlab --help names no subcommands" >&2; exit 1; }

{
    cat <<'HEAD'
# bash completion for vtxlab, made from its --help by tools/package/make-completion.sh
_vtxlab() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command="" i
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in -*) ;; *) command=${COMP_WORDS[i]}; break ;; esac
    done
    local options="" values="" positional=""
    case $command in
    "")
HEAD
    echo "        options=\"$(awk -F'|' '$1 == "option" { printf "%s%s", sep, $2; sep = " " }' <<<"$top")\""
    echo "        positional=\"-W '${commands//$'\n'/ }'\""
    echo "        ;;"
    for command in $commands; do
        items=$("$vtxlab" "$command" --help | help_items)
        echo "    $command)"
        echo "        options=\"$(awk -F'|' '$1 == "option" { printf "%s%s", sep, $2; sep = " " }' <<<"$items")\""
        echo "        case \$prev in"
        while IFS='|' read -r kind name value choices; do
            [[ $kind == option && $value == value ]] || continue
            words=$(value_words "$name" "$choices")
            if [[ -n $words ]]; then
                echo "        $name) values=\"$words\" ;;"
            else
                echo "        $name) return ;;"
            fi
        done <<<"$items"
        echo "        esac"
        while IFS='|' read -r kind name value choices; do
            [[ $kind == positional ]] || continue
            echo "        positional=\"$(value_words positional "$choices")\""
        done <<<"$items"
        echo "        ;;"
    done
    cat <<'TAIL'
    esac
    if [[ -n $values ]]; then
        eval "COMPREPLY=(\$(compgen $values -- \"\$cur\"))"
    elif [[ $cur == -* || -z $positional ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    else
        eval "COMPREPLY=(\$(compgen $positional -- \"\$cur\"))"
    fi
}
complete -o filenames -F _vtxlab vtxlab
TAIL
} >"$output"
