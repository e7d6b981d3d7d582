#!/bin/sh
# Makes the release zip from BUILD_DIR in a scratch folder and checks that it holds both
# programs and the read-me, and that the programs are statically linked: no DLL of the
# compiler's runtime (libstdc++, libgcc, winpthread) among their imports.
#   check_dist.sh BUILD_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
zip=$("$here/dist.sh" "$1" "$scratch/out")
mkdir "$scratch/unpacked"
(cd "$scratch/unpacked" && cmake -E tar xf "$zip")
folder=$(ls -d "$scratch"/unpacked/orvetta-*)
status=0
for file in Kavilo.exe kavilo-dump.exe README.txt; do
    [ -f "$folder/$file" ] || { echo "missing in the zip: $file"; status=1; }
done
for exe in Kavilo.exe kavilo-dump.exe; do
    [ -f "$folder/$exe" ] || continue
    imports=$(x86_64-w64-mingw32-objdump -p "$folder/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    echo "$exe imports:" $imports
    echo "$imports" | grep -qi '^kernel32.dll$' || { echo "$exe: no import table read"; status=1; }
    if echo "$imports" | grep -Eqi 'libstdc|libgcc|winpthread'; then
        echo "$exe: not statically linked"
        status=1
    fi
done
[ $status -eq 0 ] && echo "release zip ok: $(basename "$zip")"
exit $status
