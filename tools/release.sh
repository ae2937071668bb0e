#!/bin/bash
# make release: the kit a printer maker ships, built in fresh build trees (build/release) with
# ccache off, written to dist/:
#   draftaire-usb-print-<version>-win98.zip   vtxpmo01.dll, vtxinh01.exe and vtxdiag.exe
#   vtxlab_<version>_<arch>.deb                vtxlab for our Linux machines
#   FIELD-NOTE.txt                             what each file is, where it goes, how to check it
#   SHA256SUMS                                 for `sha256sum -c SHA256SUMS` in dist/
# Every date in the kit is SOURCE_DATE_EPOCH, by default the time of the commit checked out,
# so that the zip of one commit is the same file wherever it is made. Files of dist/ that an
# earlier release did not write are left alone.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly repo
readonly out=$repo/build/release dist=$repo/dist
readonly images=(vtxpmo01.dll vtxinh01.exe vtxdiag.exe)
jobs=$(nproc)

say() { echo "release: $*"; }
die() { echo "release: $*" >&2; exit 1; }

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null) ||
        die "not a git checkout: set SOURCE_DATE_EPOCH"
fi
export SOURCE_DATE_EPOCH
export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
commit=$(git -C "$repo" rev-parse HEAD 2>/dev/null || echo unknown)
if [[ $commit != unknown && -n $(git -C "$repo" status --porcelain --untracked-files=no) ]]; then
    say "warning: the working tree differs from commit $commit; the kit is marked so"
    commit="$commit (with local changes)"
fi

run_logged() {
    local log=$1
    shift
    "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; die "failed: $* (whole log: $log)"; }
}

rm -rf "$out"
mkdir -p "$out"
say "the Windows 98 images (build/release/win32)"
run_logged "$out/win32.log" cmake -S "$repo" -B "$out/win32" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/i686-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel
run_logged "$out/win32.log" cmake --build "$out/win32" -j "$jobs" --target vtxpmo01 vtxinh01 vtxdiag
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/win32/CMakeCache.txt")
[[ -n $version ]] || die "no project version in $out/win32/CMakeCache.txt"

say "vtxlab's Debian package (build/release/host)"
run_logged "$out/host.log" cmake -S "$repo" -B "$out/host" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release
run_logged "$out/host.log" cmake --build "$out/host" -j "$jobs" --target vtxlab_package_files
(cd "$out/host" && run_logged "$out/host.log" cpack -G DEB -B "$out/deb")
deb=$(find "$out/deb" -maxdepth 1 -name "vtxlab_${version}_*.deb" -print -quit)
[[ -n $deb ]] || die "cpack wrote no vtxlab_${version}_*.deb"

# The zip's entries in a fixed order, each with the mode 644 and the date SOURCE_DATE_EPOCH
# (zip keeps local time: UTC here), and no extra fields (owner, other timestamps).
make_zip() {
    local stage=$1 zip=$2
    rm -rf "$stage" "$zip"
    mkdir -p "$stage"
    cp "${images[@]/#/$out/win32/}" "$stage/"
    chmod 644 "$stage"/*
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    (cd "$stage" && TZ=UTC zip -q -X -D "$zip" "${images[@]}")
}
zip_name=draftaire-usb-print-$version-win98.zip
make_zip "$out/zip-a" "$out/$zip_name"
# The same made again from fresh copies must be the same file.
make_zip "$out/zip-b" "$out/again.zip"
cmp -s "$out/$zip_name" "$out/again.zip" || die "two zips of the same images differ"

hash_of() { sha256sum <"$1" | cut -d' ' -f1; }
date_utc=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
deb_name=$(basename "$deb")
# Notepad on Windows 98 needs CR LF line ends.
sed 's/$/\r/' >"$out/FIELD-NOTE.txt" <<NOTE
Draftaire USB printing for Windows 98 and Windows ME, version $version
Kelvara, $date_utc. Built from commit $commit.

WHAT IS IN THIS KIT

  $zip_name
      vtxpmo01.dll  the port monitor: the print spooler loads it; it gives each attached
                    Draftaire printer a port named "USB/<product>/<serial number>", sends
                    the print data to the printer and reports "out of paper" and "not ready".
      vtxinh01.exe  the device setup helper: the device installer starts it when a printer
                    is plugged in or removed. It shows no window; it registers the printer's
                    monitor, prepares and starts the maker's setup program, and at removal
                    deletes the printer's keys and files.
      vtxdiag.exe   the field collector, for support: it reads what the monitor and helper
                    left on the machine and writes it to one text file. It changes nothing.
  $deb_name
                    vtxlab, for Linux only: runs both on a simulated Windows 98 machine
                    (sudo apt install ./$deb_name; then man vtxlab).
  SHA256SUMS        the SHA-256 checksum of each file of this kit.
  FIELD-NOTE.txt    this note.

WHERE THE FILES GO ON A WINDOWS 98 OR ME MACHINE

  The monitor and the helper into the Windows system folder, C:\\WINDOWS\\SYSTEM (on a
  machine with Windows in another folder, its SYSTEM folder). The spooler finds the monitor
  there by its file name only. The maker's driver installation copies both; by hand, copy
  them before the printer is plugged in. A vtxpmo01.dll that the spooler has loaded cannot be
  replaced while Windows runs: copy the new one, then restart Windows. vtxdiag.exe is not
  installed: it runs from wherever it lies.

WHEN A CUSTOMER'S PRINTER DOES NOT PRINT

  Have the customer copy vtxdiag.exe to the machine (a floppy disk will do) and run it
  (Start, Run, A:\\VTXDIAG.EXE, OK). Within seconds a message says where the report is:
  VTXDIAG.TXT in the Windows folder, C:\\WINDOWS\\VTXDIAG.TXT. The customer sends that one
  file back as it is (not pasted into a mail, where lines would be changed). Then, on Linux:
  vtxlab explain VTXDIAG.TXT. "VTXDIAG.EXE A:\\VTXDIAG.TXT" writes the report to the floppy
  disk instead; "/q" leaves out the message.

WHICH VERSION A MACHINE HAS

  In Explorer, right-click the file, Properties, Version: File version $version.0, company
  Kelvara, product version $version.

HOW TO CHECK THE FILES

  In the folder of this kit, on Linux:   sha256sum -c SHA256SUMS
  on macOS:                              shasum -a 256 -c SHA256SUMS
  on Windows 7 or later:                 certutil -hashfile $zip_name SHA256
  and compare with the line of SHA256SUMS. Each line must say OK. Windows 98 itself has no
  such tool: check the kit before taking it to the machine. The files unpacked from the
  zip have these checksums:

  $(hash_of "$out/win32/vtxpmo01.dll")  vtxpmo01.dll
  $(hash_of "$out/win32/vtxinh01.exe")  vtxinh01.exe
  $(hash_of "$out/win32/vtxdiag.exe")  vtxdiag.exe
NOTE

mkdir -p "$dist"
rm -f "$dist"/draftaire-usb-print-*-win98.zip "$dist"/vtxlab_*.deb "$dist/FIELD-NOTE.txt" "$dist/SHA256SUMS"
cp "$out/$zip_name" "$deb" "$out/FIELD-NOTE.txt" "$dist/"
(cd "$dist" && sha256sum "$zip_name" "$deb_name" FIELD-NOTE.txt >SHA256SUMS)
say "dist/ for version $version (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
(cd "$dist" && ls -l "$zip_name" "$deb_name" FIELD-NOTE.txt SHA256SUMS && sha256sum -c SHA256SUMS)
