#!/usr/bin/env bash
# Checks a built quorvane.exe: PE machine type, GUI subsystem, large address
# awareness (4 GiB for a 32-bit program on 64-bit Windows), the icon and
# manifest resources, and that it imports only the system DLLs it may rely on.
set -u
export LC_ALL=C  # objdump speaks the locale's language otherwise
objdump=$1 exe=$2 machine=$3
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi; }

headers=$("$objdump" -p "$exe")
format=$("$objdump" -f "$exe")

case $machine in
  i386)   check "PE32 for Intel 80386" 'grep -q "file format pei-i386" <<<"$format" && grep -q "^Magic.*010b" <<<"$headers"' ;;
  x86-64) check "PE32+ for x86-64" 'grep -q "file format pei-x86-64" <<<"$format" && grep -q "^Magic.*020b" <<<"$headers"' ;;
esac
check "GUI subsystem" 'grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers"'
characteristics=$(awk '/^Characteristics/ { print $2; exit }' <<<"$headers")
check "large address aware (Characteristics $characteristics)" '(( characteristics & 0x20 ))'

dlls=$(grep -i "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | sort -u | tr '\n' ' ')
echo "imports: $dlls"
allowed=" kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll "
for dll in $dlls; do
  check "import $dll is allowed" '[[ "$allowed" == *" $dll "* ]]'
done
for dll in kernel32.dll user32.dll gdi32.dll comctl32.dll; do
  check "imports $dll" '[[ " $dlls" == *" $dll "* ]]'
done
comctl=$(awk 'tolower($0) ~ /dll name: comctl32/ {on=1; next} on && /^$/ {on=0} on' <<<"$headers")
# One import, by ordinal: the entry's high bit set and the ordinal 0x11 (17).
imports=$(grep -Ec "^[[:space:]]+[0-9a-f]{8,16}[[:space:]]" <<<"$comctl")
check "comctl32 is imported by ordinal 17 only" '[ "$imports" = 1 ] && grep -Eq "^[[:space:]]+80+11[[:space:]]" <<<"$comctl"'
check "no MinGW runtime DLL" '! grep -Eiq "libstdc|libgcc|libwinpthread" <<<"$dlls"'

resources=$("$objdump" -s -j .rsrc "$exe" 2>/dev/null | wc -l)
check "has a resource section" '[ "$resources" -gt 10 ]'
check "manifest binds Common Controls 6.0.0.0" 'strings "$exe" | grep -q "Microsoft.Windows.Common-Controls"'

exit $fail
