#!/bin/bash
# Installs what the build needs from Debian's packages, only what is missing.
#   install-deps.sh host    compiler, cmake, GoogleTest, RapidCheck, Google Benchmark, SQLite, and vtxlab's
#                           CLI11, fmt and nlohmann-json; for its Debian package and the release
#                           kit help2man, dpkg-dev and zip
#   install-deps.sh win32   the above plus the i686 mingw-w64 cross compiler and 32-bit Wine,
#                           and where the kernel runs no i386 programs, Wine through qemu-i386
#                           in build/wine-qemu (tools/wine-qemu.sh)
#   install-deps.sh fuzz    the host packages plus clang 14 and its libFuzzer runtime
#   install-deps.sh bench   the host packages plus valgrind (callgrind's instruction counts)
set -euo pipefail

want=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev librapidcheck-dev
      libcli11-dev libfmt-dev nlohmann-json3-dev help2man dpkg-dev zip
      python3) # python3: tests/fixtures/customer/make_exports.py writes the customer corpus
if [[ "${1:-host}" == win32 ]]; then
    want+=(g++-mingw-w64-i686-win32 binutils-mingw-w64-i686)
fi
if [[ "${1:-host}" == bench ]]; then
    want+=(valgrind)
fi
if [[ "${1:-host}" == fuzz ]]; then
    want+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for pkg in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

need_wine=no
if [[ "${1:-host}" == win32 ]]; then
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || need_wine=yes
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly root
wine_route() {
    if [[ "${1:-host}" == win32 ]]; then
        # Without it the images still build; the Wine tests then skip and say why.
        bash "$root/tools/wine-qemu.sh" "$root/build/wine-qemu" ||
            echo "install-deps: no 32-bit Wine on this machine (see build/wine-qemu/failure)" >&2
    fi
}

if [[ ${#missing[@]} -eq 0 && $need_wine == no ]]; then
    wine_route "${1:-host}"
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing ${missing[*]} ${need_wine/yes/wine32}; run as root to install" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [[ $need_wine == yes ]]; then
    dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails one index (seen: bookworm-security's i386 list) and apt-get
# update exits 100 although every list the install needs was read; try once more, then let the
# install itself say whether anything is really missing.
if ! apt-get update -qq; then
    sleep 5
    apt-get update -qq || echo "install-deps: apt-get update reported errors; installing from the lists it has" >&2
fi
if [[ ${#missing[@]} -gt 0 ]]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# wine32:i386 needs every Multi-Arch: same library at one version for both architectures. When
# the security suite's i386 index could not be read, the amd64 candidates come from it and the
# i386 ones cannot: then the release's own suite is preferred, where both are found.
# Without Wine the images still build and every other test runs; the Wine tests then skip and
# say why (the qemu route's failure file names the missing wine32).
install_wine() {
    local codename
    apt-get install -y -qq wine wine32:i386 >/dev/null && return 0
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] && apt-get install -y -qq -t "$codename" wine wine32:i386 >/dev/null
}
if [[ $need_wine == yes ]] && ! install_wine; then
    echo "install-deps: wine and wine32:i386 could not be installed (see apt-get's message above)" >&2
fi
wine_route "${1:-host}"
