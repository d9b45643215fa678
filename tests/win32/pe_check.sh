#!/usr/bin/env bash
# Checks the built Windows files: they import only system DLLs, the plug-in has its twelve export
# names and kvhost exports the host service. (That both names of a function lead to one address
# is checked by the loader itself, in the DLL tests.)
set -u
objdump=i686-w64-mingw32-objdump
dll=$1
host=$2
passed=0
failed=0
check() {  # DESCRIPTION COMMAND...
    if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

system_imports_only() {
    local file=$1 name
    for name in $($objdump -p "$file" | awk '/DLL Name:/ {print $3}'); do
        case "${name,,}" in
            kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|comctl32.dll|shell32.dll|version.dll) ;;
            ole32.dll|oleaut32.dll|windowscodecs.dll) ;;  # kvhost's image files
            *) echo "$file imports $name"; return 1 ;;
        esac
    done
}

has_export() { $objdump -p "$1" | sed -n '/Name Pointer/,/^$/p' | grep -qw -- "$2"; }

check "plug-in imports only system DLLs" system_imports_only "$dll"
check "kvhost imports only system DLLs" system_imports_only "$host"
check "kvhost is large-address-aware" grep -q "large address aware" <($objdump -p "$host")
for name in KV_GetPluginInfo _KV_GetPluginInfo@8 KVF_FilterCount _KVF_FilterCount@0 \
            KVF_GetName _KVF_GetName@20 KVF_Setup _KVF_Setup@20 KVF_Execute _KVF_Execute@44 \
            KVF_SuggestSettings _KVF_SuggestSettings@36; do
    check "plug-in exports $name" has_export "$dll" "$name"
done
check "kvhost exports KVF_QueryClientInfo" has_export "$host" KVF_QueryClientInfo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
