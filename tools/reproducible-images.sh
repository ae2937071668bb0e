#!/bin/bash
# Builds the Windows 98 images twice from copies of the source in two directories of
# different names and lengths, each with a fresh build directory, ccache off and another time
# zone and umask for the second, and compares them byte for byte. The copies have nothing beside
# them: each build reads only what the repository holds (its own list of allowed imports too),
# as a fresh clone would.
#
#   reproducible-images.sh [WORK]
#
# WORK (default: a temporary directory, removed at the end) holds the copies and the builds.
# The date the builds may use is SOURCE_DATE_EPOCH, else the time of the commit checked out.
# Exit status: 0 identical, 1 different or a build failed, 77 no cross compiler (skipped).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly repo
readonly images=(vtxpmo01.dll vtxinh01.exe vtxdiag.exe)

command -v i686-w64-mingw32-g++-win32 >/dev/null ||
    { echo "SKIPPED: no i686 mingw-w64 cross compiler (tools/install-deps.sh win32)"; exit 77; }

if [[ $# -gt 0 ]]; then
    work=$1
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
work=$(realpath "$work")

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
# A cached object would hide what the compiler does now.
export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER

# The tracked and new files of the working tree, as they are now.
copy_source() {
    local to=$1
    rm -rf "$to"
    mkdir -p "$to"
    (
        cd "$repo"
        git ls-files -z --cached --others --exclude-standard |
            while IFS= read -r -d '' file; do
                [[ -e $file ]] && printf '%s\0' "$file"
            done | xargs -0 cp --parents -t "$to"
    )
    [[ -f $to/CMakeLists.txt ]] || { echo "reproducible-images: copying the source to $to failed" >&2; exit 1; }
}

build() {
    local source=$1 log=$2
    if ! cmake -S "$source" -B "$source/out" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$source/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >"$log" 2>&1 ||
        ! cmake --build "$source/out" -j "$(nproc)" --target vtxpmo01 vtxinh01 vtxdiag >>"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "reproducible-images: the build in $source failed" >&2
        exit 1
    fi
}

first=$work/a
second=$work/second-copy-of-the-source
copy_source "$first"
copy_source "$second"
build "$first" "$work/a.log"
(umask 077 && TZ=Asia/Tokyo LC_ALL=C.UTF-8 build "$second" "$work/second.log")

status=0
for image in "${images[@]}"; do
    if cmp "$first/out/$image" "$second/out/$image"; then
        echo "$(sha256sum <"$first/out/$image" | cut -d' ' -f1)  $image identical in both builds"
    else
        echo "reproducible-images: $image differs between $first/out and $second/out" >&2
        status=1
    fi
done
[[ $status -eq 0 ]] && echo "reproducible-images: 2 builds, ${#images[@]} images, byte-identical"
exit $status
