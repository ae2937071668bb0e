#!/bin/bash
# tools/check-imports.sh against small images made here with the cross compiler: it must pass
# a Windows 98 image, and name each reason an image would not load there. Skipped (77) without
# the i686 mingw-w64 tools.
set -uo pipefail

readonly here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly check=$here/../../tools/check-imports.sh
readonly cc=i686-w64-mingw32-gcc-win32
readonly work=${VTX_CHECK_WORK:-${TMPDIR:-/tmp}/vtx-check-imports}
readonly win98_flags=(-Wl,--major-subsystem-version,4,--minor-subsystem-version,0
    -Wl,--major-os-version,4,--minor-os-version,0)
failures=0

command -v "$cc" >/dev/null 2>&1 || { echo "SKIPPED: $cc is not installed"; exit 77; }
command -v i686-w64-mingw32-objdump >/dev/null 2>&1 || { echo "SKIPPED: no objdump"; exit 77; }

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work/gui" "$work/console" "$work/dll" "$work/versions"
cat >"$work/allow.txt" <<'EOF'
# test allow-list
[vtxinh01.exe]
KERNEL32.dll ExitProcess    # the entry's exit
[vtxpmo01.dll]
KERNEL32.dll SetLastError
EOF

cat >"$work/entry.c" <<'EOF'
#include <windows.h>
void Entry(void) { ExitProcess(0); }
EOF
cat >"$work/sleepy.c" <<'EOF'
#include <windows.h>
void Entry(void) { Sleep(1); ExitProcess(0); }
EOF
cat >"$work/dll.c" <<'EOF'
#include <windows.h>
BOOL WINAPI DllEntry(HINSTANCE h, DWORD r, LPVOID p) { (void)h; (void)r; (void)p; return TRUE; }
__declspec(dllexport) void WINAPI Wanted(void) { SetLastError(0); }
__declspec(dllexport) void WINAPI Extra(void) {}
EOF
cat >"$work/console.c" <<'EOF'
#include <stdio.h>
int main(void) { printf("hi\n"); return 0; }
EOF

build_gui() { # source output extra-flags...
    local source=$1 output=$2
    shift 2
    "$cc" -Os -nostdlib -mwindows -Wl,-e,_Entry "$@" "$work/$source" -o "$output" -lkernel32
}

# check <expected status> <expected text or ""> <image> [options]
check() {
    local want_status=$1 want_text=$2 image=$3
    shift 3
    local output status
    output=$(bash "$check" --allow "$work/allow.txt" "$@" "$image" 2>&1)
    status=$?
    if [[ $status -ne $want_status ]]; then
        fail "$(basename "$(dirname "$image")")/$(basename "$image"): status $status, expected $want_status: $output"
    elif [[ -n $want_text && $output != *"$want_text"* ]]; then
        fail "$(basename "$image"): expected [$want_text] in: $output"
    fi
}

# A Windows 98 image: no C runtime, version 4.0, only listed imports.
build_gui entry.c "$work/gui/vtxinh01.exe" "${win98_flags[@]}" || fail "building the GUI image"
check 0 "PE32 i386, version 4.0, no TLS, 1 imports allowed" "$work/gui/vtxinh01.exe"

# An unlisted import is named with its DLL.
build_gui sleepy.c "$work/versions/vtxinh01.exe" "${win98_flags[@]}" || fail "building"
check 1 "import not allowed on Windows 98: kernel32.dll Sleep" "$work/versions/vtxinh01.exe"

# An image the allow-list has no section for.
cp "$work/gui/vtxinh01.exe" "$work/gui/other.exe"
check 1 "the allow-list has no section [other.exe]" "$work/gui/other.exe"

# A newer subsystem or OS version does not load on Windows 98.
build_gui entry.c "$work/versions/vtxinh01.exe" -Wl,--major-subsystem-version,5 \
    -Wl,--major-os-version,4,--minor-os-version,0 || fail "building"
check 1 "MajorSubsystemVersion is 5, Windows 98 needs 4" "$work/versions/vtxinh01.exe"

# Code for a Pentium Pro (CMOV) does not run on every Windows 98 machine.
cat >"$work/select.c" <<'EOF'
#include <windows.h>
volatile unsigned a = 1, b = 2;
__attribute__((noinline)) unsigned Larger(unsigned x, unsigned y) { return x > y ? x : y; }
void Entry(void) { ExitProcess(Larger(a, b)); }
EOF
build_gui select.c "$work/versions/vtxinh01.exe" -O2 -march=pentiumpro "${win98_flags[@]}" ||
    fail "building"
check 1 "uses instructions a 486 does not have" "$work/versions/vtxinh01.exe"
build_gui select.c "$work/versions/vtxinh01.exe" -O2 -march=i486 "${win98_flags[@]}" ||
    fail "building"
check 0 "" "$work/versions/vtxinh01.exe"

# An ordinary mingw program: the C runtime, a TLS directory, the console subsystem.
"$cc" -Os "$work/console.c" -o "$work/console/vtxinh01.exe" || fail "building the console program"
check 1 "imports the C runtime: msvcrt.dll" "$work/console/vtxinh01.exe"
check 1 "has a TLS directory" "$work/console/vtxinh01.exe"
check 1 "not a GUI-subsystem program" "$work/console/vtxinh01.exe"

# A global constructor, which nothing would run, is named with its object.
cat >"$work/global.cpp" <<'EOF'
#include <windows.h>
struct Setting { Setting() { SetLastError(5); } };
Setting setting;
extern "C" void Entry(void) { ExitProcess(0); }
EOF
i686-w64-mingw32-g++-win32 -Os -fno-exceptions -fno-rtti -c "$work/global.cpp" \
    -o "$work/global.obj" || fail "compiling"
i686-w64-mingw32-g++-win32 -nostdlib -mwindows -Wl,-e,_Entry "${win98_flags[@]}" \
    -Wl,-Map,"$work/global.map" "$work/global.obj" -o "$work/versions/vtxinh01.exe" -lkernel32 ||
    fail "linking"
check 1 "global constructor, which nothing runs without a C runtime, in $work/global.obj" \
    "$work/versions/vtxinh01.exe" --map "$work/global.map"
check 1 "cannot read the link map" "$work/gui/vtxinh01.exe" --map "$work/missing.map"

# Exports: exactly the names given.
"$cc" -Os -nostdlib -shared -Wl,-e,_DllEntry@12 -Wl,--kill-at "${win98_flags[@]}" \
    "$work/dll.c" -o "$work/dll/vtxpmo01.dll" -lkernel32 || fail "building the DLL"
check 1 "exports [Extra Wanted], expected [Wanted]" "$work/dll/vtxpmo01.dll" --exports Wanted
check 0 "" "$work/dll/vtxpmo01.dll" --exports Extra,Wanted

# Not a PE image at all.
echo "text" >"$work/gui/vtxpmo01.dll"
check 1 "cannot read it" "$work/gui/vtxpmo01.dll"

# --remove-bad deletes an image that fails, and only such an image.
check 1 "" "$work/console/vtxinh01.exe" --remove-bad
[[ ! -e $work/console/vtxinh01.exe ]] || fail "--remove-bad left the failing image"
check 0 "" "$work/gui/vtxinh01.exe" --remove-bad
[[ -e $work/gui/vtxinh01.exe ]] || fail "--remove-bad removed a good image"

# --within: each section of the allow-list inside the reference's section of the same name.
cat >"$work/reference.txt" <<'EOF'
[vtxinh01.exe]
KERNEL32.dll ExitProcess
KERNEL32.dll Sleep
[vtxpmo01.dll]
kernel32.dll SetLastError
EOF
output=$(bash "$check" --allow "$work/allow.txt" --within "$work/reference.txt" 2>&1) ||
    fail "an allow-list within its reference was refused: $output"
sed -i '/SetLastError/d' "$work/reference.txt"
output=$(bash "$check" --allow "$work/allow.txt" --within "$work/reference.txt" 2>&1) &&
    fail "an import the reference lacks passed --within"
[[ $output == *"vtxpmo01.dll: kernel32.dll SetLastError is not in the reference list's [vtxpmo01.dll]"* ]] ||
    fail "--within did not name the import the reference lacks: $output"

if [[ $failures -gt 0 ]]; then
    echo "check-imports: $failures case(s) failed" >&2
    exit 1
fi
rm -rf "$work"
echo "check-imports: every case passed"
