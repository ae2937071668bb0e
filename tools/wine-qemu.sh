#!/bin/bash
# Makes 32-bit Wine usable where the kernel runs no i386 programs ("Exec format error"), through
# qemu's user-mode emulation, with nothing installed system-wide.
#
#   wine-qemu.sh DIR
#
# Where the kernel runs i386 programs, DIR/mode says "plain" and the tests use the installed
# wine. Otherwise DIR/mode says "qemu" and DIR/lib/wine holds host scripts named wine and
# wineserver that run the installed i386 ones under a static qemu-i386. That binary comes from
# the package qemu-user of the release's backports suite (bookworm's own qemu 7.2 is far too
# slow for Wine and its wineboot hangs), fetched with apt-get download through a private source
# list made from the machine's own Debian source, and kept in DIR. Rerunnable: what is already
# in place is kept. When the route cannot be set up, DIR/failure says why.
set -euo pipefail

readonly dir=${1:?usage: wine-qemu.sh DIR}
readonly loader=/usr/lib/wine/wine
readonly server=/usr/lib/wine/wineserver32

# The reason stays in DIR/failure for the Wine tests to report when they skip.
die() {
    echo "wine-qemu: $*" >&2
    echo "$*" >"$dir/failure"
    exit 1
}

mkdir -p "$dir"
rm -f "$dir/failure" "$dir/mode"
[[ -x $loader && -x $server ]] || die "$loader or $server is missing: install wine32:i386"

if "$loader" --version >/dev/null 2>&1; then
    echo plain >"$dir/mode"
    exit 0
fi

# The first deb source of the machine for its release's own suite: its URI and signing key.
debian_source() {
    local codename=$1 file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $file ]] || continue
        awk -v suite="$codename" '
            $1 == "deb" {
                i = 2; key = ""
                if ($2 ~ /^\[/) {
                    for (; i <= NF; i++) {
                        if (match($i, /signed-by=[^] ]+/))
                            key = substr($i, RSTART + 10, RLENGTH - 10)
                        if ($i ~ /\]$/) { i++; break }
                    }
                }
                if ($(i + 1) == suite) { print $i, key; exit }
            }' "$file" | grep . && return 0
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        # deb822 stanzas: Types, URIs, Suites, Signed-By.
        awk -v suite="$codename" '
            function check() {
                if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uri != "") {
                    split(uri, u, " "); print u[1], key; found = 1; exit
                }
                types = uri = suites = key = ""
            }
            /^[ \t]*$/ { check(); next }
            /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
            /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uri = $0 }
            /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
            /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); key = $0 }
            END { if (!found) check() }' "$file" | grep . && return 0
    done
    return 1
}

fetch_qemu() {
    local codename source uri key apt=$dir/apt
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] || die "no VERSION_CODENAME in /etc/os-release"
    source=$(debian_source "$codename") || die "no deb source for $codename in /etc/apt"
    read -r uri key <<<"$source"
    [[ -n $key ]] || key=/usr/share/keyrings/debian-archive-keyring.gpg
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/deb"
    echo "deb [signed-by=$key] $uri $codename-backports main" >"$apt/sources.list"
    local options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o Dir::Etc::sourceparts=/dev/null
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1
        -o APT::Sandbox::User=root -qq)
    apt-get "${options[@]}" update || die "apt-get update of $codename-backports failed"
    # qemu-user carries the static binaries from version 10 on.
    local version
    version=$(apt-cache "${options[@]}" show qemu-user | sed -n 's/^Version: //p' | head -1)
    [[ -n $version ]] || die "no qemu-user in $codename-backports"
    rm -f "$apt"/deb/*.deb
    (cd "$apt/deb" && apt-get "${options[@]}" download "qemu-user=$version") ||
        die "apt-get download qemu-user failed"
    local deb
    deb=$(ls "$apt"/deb/qemu-user_*.deb)
    mkdir -p "$apt/extract"
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$apt/extract" ./usr/bin/qemu-i386 ||
        die "no usr/bin/qemu-i386 in $deb"
    mv "$apt/extract/usr/bin/qemu-i386" "$dir/qemu-i386"
    rm -rf "$apt/extract" "$apt/deb" "$apt/cache"
}

if ! [[ -x $dir/qemu-i386 ]] || ! "$dir/qemu-i386" --version >/dev/null 2>&1; then
    fetch_qemu
fi

# Wine takes its loader and wineserver from the directory of /proc/self/exe, so that directory
# must be ours: a copy of the loader beside the two scripts, and the links by which Wine finds
# ../i386-linux-gnu/wine and ../../share/wine from there.
bin=$dir/lib/wine
mkdir -p "$bin" "$dir/share"
cp "$loader" "$bin/wine.elf"
ln -sfn /usr/lib/i386-linux-gnu "$dir/lib/i386-linux-gnu"
ln -sfn /usr/share/wine "$dir/share/wine"
cat >"$bin/wine" <<EOF
#!/bin/sh
# wine through qemu-i386 (made by tools/wine-qemu.sh)
case "\${1:-}" in
--version | --help) exec "$dir/qemu-i386" "$bin/wine.elf" "\$@" ;;
esac
export WINELOADERNOEXEC=1
exec "$dir/qemu-i386" -0 "$bin/wine" "$bin/wine.elf" "\$@"
EOF
cat >"$bin/wineserver" <<EOF
#!/bin/sh
# wineserver through qemu-i386 (made by tools/wine-qemu.sh)
exec "$dir/qemu-i386" "$server" "\$@"
EOF
chmod +x "$bin/wine" "$bin/wineserver"
"$bin/wine" --version >/dev/null 2>&1 || die "wine does not start under $dir/qemu-i386"
echo qemu >"$dir/mode"
