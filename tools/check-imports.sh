#!/bin/bash
# Checks that PE images load on Windows 98: PE32 i386, subsystem and OS version 4.0, no TLS
# directory, no C runtime, code that a 486 can run, and only the imports that the allow-list
# names for each image.
#
#   check-imports.sh [--allow FILE] [--objdump PROG] [--exports NAMES] [--map FILE] [--remove-bad]
#                    IMAGE...
#   check-imports.sh [--allow FILE] --within REFERENCE
#
# --allow       the allow-list; default: the repository's platform/win32/win98-imports.txt
# --within      no image is checked: instead every section of the allow-list must stay within
#               the section of the same name in REFERENCE (an image REFERENCE has no section
#               for may import nothing)
# --objdump     default: i686-w64-mingw32-objdump
# --exports     comma-separated names the image must export, and nothing else
# --map         the linker's map of the image: no object may bring a global constructor, since
#               without a C runtime nothing would run it
# --remove-bad  delete an image that fails, so that the next build links and checks it again
#
# The allow-list holds "[image.name]" headers followed by "DLL Function" lines; '#' comments.
# DLL names compare without regard to case, function names exactly.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
allow="$repo/platform/win32/win98-imports.txt"
within=""
objdump=i686-w64-mingw32-objdump
exports=""
remove_bad=no
map=""
images=()

while [[ $# -gt 0 ]]; do
    case "$1" in
    --allow) allow=$2; shift 2 ;;
    --objdump) objdump=$2; shift 2 ;;
    --exports) exports=$2; shift 2 ;;
    --map) map=$2; shift 2 ;;
    --remove-bad) remove_bad=yes; shift ;;
    --within) within=$2; shift 2 ;;
    -*) echo "check-imports: unknown option $1" >&2; exit 2 ;;
    *) images+=("$1"); shift ;;
    esac
done

if [[ ${#images[@]} -eq 0 && -z $within ]]; then
    echo "usage: check-imports.sh [--allow FILE] [--objdump PROG] [--exports NAMES] IMAGE..." >&2
    exit 2
fi
if [[ ! -r $allow ]]; then
    echo "check-imports: cannot read the allow-list $allow" >&2
    exit 2
fi

# "dll function" lines (dll in lower case) that an allow-list (default: --allow) names for one
# image.
allowed_for() {
    local image_name=${1,,} list=${2:-$allow}
    awk -v want="$image_name" '
        { sub(/#.*/, ""); gsub(/\r/, "") }
        /^[ \t]*\[.*\][ \t]*$/ {
            name = $0; gsub(/^[ \t]*\[|\][ \t]*$/, "", name)
            section = tolower(name); next
        }
        NF == 0 { next }
        section == want && NF == 2 { print tolower($1), $2 }
        section == want && NF != 2 { printf "bad allow-list line %d: %s\n", NR, $0 > "/dev/stderr"; exit 1 }
    ' "$list"
}

# The image names an allow-list has sections for, in lower case.
sections_of() {
    awk '{ sub(/#.*/, ""); gsub(/\r/, "") }
         /^[ \t]*\[.*\][ \t]*$/ { gsub(/^[ \t]*\[|\][ \t]*$/, ""); print tolower($0) }' "$1" | sort -u
}

# Each section of the allow-list within REFERENCE's section of that name: what the images may
# import never grows past the reference list of what Windows 98's DLLs export.
check_within() {
    local reference=$1 image line failures=0 allowed reference_allowed
    [[ -r $reference ]] || { echo "check-imports: cannot read the reference list $reference" >&2; return 2; }
    for image in $(sections_of "$allow"); do
        allowed=$(allowed_for "$image") || return 1
        reference_allowed=$(allowed_for "$image" "$reference") || return 1
        while read -r line; do
            [[ -n $line ]] || continue
            if ! grep -qxF "$line" <<<"$reference_allowed"; then
                echo "check-imports: $image: $line is not in the reference list's [$image]" >&2
                failures=$((failures + 1))
            fi
        done <<<"$allowed"
    done
    [[ $failures -eq 0 ]] || return 1
    echo "check-imports: every section of $(basename "$allow") is within $reference"
}

# "dll function" lines (dll in lower case) that an image imports; ordinal imports as "#<n>".
imports_of() {
    awk '
        /^[ \t]*DLL Name:/ { dll = tolower($3); next }
        dll != "" && /^[ \t]*vma:/ { next }
        dll != "" && /^[ \t]*[0-9a-fA-F]+[ \t]+[0-9]+/ {
            if (NF >= 3 && $3 != "<none>") print dll, $3
            else print dll, "#" $2
            next
        }
        dll != "" && NF == 0 { dll = "" }
    ' <<<"$1"
}

field() {
    awk -v key="$1" '$1 == key { print $2; exit }' <<<"$2"
}

check_image() {
    local image=$1 dump failures=0
    local name
    name=$(basename "$image")
    fail() {
        echo "check-imports: $name: $*" >&2
        failures=$((failures + 1))
    }

    if ! dump=$("$objdump" -p "$image" 2>&1); then
        echo "check-imports: $name: $objdump cannot read it: $dump" >&2
        return 1
    fi

    grep -q 'file format pei-i386' <<<"$dump" || fail "not an i386 PE image"
    [[ $(field Magic "$dump") == 010b ]] || fail "not PE32 (Magic $(field Magic "$dump"))"

    local key value
    for key in MajorOSystemVersion MinorOSystemVersion MajorSubsystemVersion MinorSubsystemVersion; do
        value=$(field "$key" "$dump")
        case $key in
        Major*) [[ $value == 4 ]] || fail "$key is $value, Windows 98 needs 4" ;;
        Minor*) [[ $value == 0 ]] || fail "$key is $value, Windows 98 needs 0" ;;
        esac
    done
    if [[ ${name,,} == *.exe ]] && ! grep -q '^Subsystem.*(Windows GUI)' <<<"$dump"; then
        fail "not a GUI-subsystem program"
    fi

    local tls
    tls=$(awk '$1 == "Entry" && $2 == "9" { print $3, $4 }' <<<"$dump")
    [[ $tls == "00000000 00000000" ]] || fail "has a TLS directory ($tls)"
    # Delay-load imports escape the import table below; Windows 98's loader has no such thing.
    local delay
    delay=$(awk '$1 == "Entry" && $2 == "d" { print $3, $4 }' <<<"$dump")
    [[ $delay == "00000000 00000000" ]] || fail "has delay-load imports ($delay)"

    local imports allowed line
    imports=$(imports_of "$dump")
    allowed=$(allowed_for "$name") || return 1
    if [[ -z $allowed ]]; then
        fail "the allow-list has no section [$name]"
    fi
    while read -r line; do
        [[ -n $line ]] || continue
        case ${line%% *} in
        msvcr*.dll | ucrtbase*.dll | api-ms-win-crt-*)
            fail "imports the C runtime: $line"
            continue
            ;;
        esac
        grep -qxF "$line" <<<"$allowed" || fail "import not allowed on Windows 98: $line"
    done <<<"$imports"

    # Windows 98 needs a 486: no CMOV or FCOMI (Pentium Pro), no MMX or SSE registers.
    local newer
    newer=$("$objdump" -d "$image" 2>/dev/null |
        grep -m 3 -E $'\t(cmov|fcmov|fcomi|fucomi)|%x?mm[0-9]' | tr -s ' \t' ' ')
    [[ -z $newer ]] || fail "uses instructions a 486 does not have: ${newer//$'\n'/; }"

    if [[ -n $exports ]]; then
        local have want
        have=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                    on && NF == 0 { on = 0 }
                    on { print $NF }' <<<"$dump" | sort)
        want=$(tr ',' '\n' <<<"$exports" | sort)
        [[ $have == "$want" ]] || fail "exports [$(echo $have)], expected [$(echo $want)]"
    fi

    if [[ -n $map ]]; then
        if [[ ! -r $map ]]; then
            fail "cannot read the link map $map"
        else
            local object
            while read -r object; do
                fail "global constructor, which nothing runs without a C runtime, in $object"
            done < <(awk '
                # A long section name puts its address, size and object on the next line.
                pending { $0 = pending " " $0; pending = "" }
                $1 ~ /^\.ctors(\.[0-9]+)?$/ && NF == 1 { pending = $1; next }
                $1 ~ /^\.ctors(\.[0-9]+)?$/ && $2 ~ /^0x/ && $3 ~ /^0x/ && $3 !~ /^0x0+$/ && NF >= 4 { print $4 }
            ' "$map")
        fi
    fi

    if [[ $failures -eq 0 ]]; then
        echo "check-imports: $name: PE32 i386, version 4.0, no TLS, $(grep -c . <<<"$imports") imports allowed"
        return 0
    fi
    return 1
}

if [[ -n $within ]]; then
    check_within "$within"
    exit $?
fi

status=0
for image in "${images[@]}"; do
    if ! check_image "$image"; then
        status=1
        if [[ $remove_bad == yes ]]; then
            rm -f "$image"
            echo "check-imports: removed $image" >&2
        fi
    fi
done
exit $status
