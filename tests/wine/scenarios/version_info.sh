# shellcheck shell=bash disable=SC2034,SC2154
# The images' version information as Explorer reads it, through version.dll (vtxver): the
# project's version in the fixed part and in the strings, the maker, each image's own names.

# What vtxver prints for one image (the copyright's year as <year>).
version_lines() {
    local file=$1 type=$2 description=$3 v=$VTX_PROJECT_VERSION
    printf '%s\n' "Image=C:\\vtx\\$file" "FileVersion.fixed=$v.0" "ProductVersion.fixed=$v.0" \
        "FileType=$type" Translation=040904e4 CompanyName=Kelvara "FileDescription=$description" \
        "FileVersion=$v" "InternalName=${file%.*}" "LegalCopyright=Copyright (C) <year> Kelvara" \
        "OriginalFilename=$file" 'ProductName=Draftaire USB printing for Windows 98 and Windows ME' \
        "ProductVersion=$v"
}

scenario_version_info() {
    require_wine vtxinh01.exe vtxpmo01.dll vtxdiag.exe vtxver.exe
    [[ -n ${VTX_PROJECT_VERSION:-} ]] || skip "VTX_PROJECT_VERSION, the project's version, is not set"
    copy_template 98 || return
    put_tools vtxver.exe vtxpmo01.dll vtxinh01.exe vtxdiag.exe
    timeout --kill-after=10 "$step_timeout" wine 'C:\vtx\vtxver.exe' 'C:\vtx\vtxpmo01.dll' \
        'C:\vtx\vtxinh01.exe' 'C:\vtx\vtxdiag.exe' 2>>"$work/wine.log" | tr -d '\r' >"$work/version.wine" ||
        fail "vtxver.exe failed: $(cat "$work/version.wine")"
    cat "$work/version.wine"
    {
        version_lines vtxpmo01.dll 2 'Draftaire USB port monitor'
        version_lines vtxinh01.exe 1 'Draftaire USB device setup helper'
        version_lines vtxdiag.exe 1 'Draftaire USB field collector'
    } >"$work/version.expected"
    sed -E 's/^(LegalCopyright=Copyright \(C\) )[0-9]{4}( Kelvara)$/\1<year>\2/' "$work/version.wine" >"$work/version.seen"
    diff -u "$work/version.expected" "$work/version.seen" >&2 ||
        fail "the images' version information differs from the expected (- expected, + Wine)"
}
