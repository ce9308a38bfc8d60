#!/usr/bin/env bash
# Registers (or unregisters) an in-process COM server DLL in a build's Wine prefix as a test host
# needs it: with the regsvr32 of the DLL's own bitness, which writes its class in the user's
# classes in the view of that bitness, then with the class and its ProgIDs mirrored to the
# machine's classes in that same view, since Wine does not merge the user's classes into
# HKEY_CLASSES_ROOT as Windows does. The 32-bit DLL's class so lands where a 32-bit host looks
# (Wow6432Node), the 64-bit one's where a 64-bit host looks, side by side.
#   register-com-server.sh RUN_UNDER_WINE DLL CLSID PROGID... [--unregister]
set -euo pipefail
wine=$1
dll=$2
clsid=$3
shift 3
action=register
progids=()
for argument in "$@"; do
  if [ "$argument" = --unregister ]; then action=unregister; else progids+=("$argument"); fi
done

# The PE header's machine: 0x8664 for x64, 0x014c for i386.
offset=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
case $(od -An -tx2 -j$((offset + 4)) -N2 "$dll" | tr -d ' ') in
  8664) bits=64 regsvr32='C:\windows\system32\regsvr32.exe' ;;
  014c) bits=32 regsvr32='C:\windows\syswow64\regsvr32.exe' ;;
  *) echo "$dll is neither a 64- nor a 32-bit Windows DLL" >&2; exit 1 ;;
esac
windows_dll=$("$wine" winepath -w "$dll" 2>/dev/null)
server_key="HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32"
keys=("CLSID\\$clsid" "${progids[@]}")

for key in "${keys[@]}"; do
  "$wine" reg delete "HKLM\\Software\\Classes\\$key" /f "/reg:$bits" >/dev/null 2>&1 || true
done
# regsvr32's word is not enough under Wine: the class must name this DLL in this view, or be gone.
registered() {
  "$wine" reg query "$server_key" /ve "/reg:$bits" 2>/dev/null |
    awk '$1 == "(Default)" { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}
if [ "$action" = unregister ]; then
  "$wine" "$regsvr32" /s /u "$windows_dll" || { echo "regsvr32 /u failed: $?" >&2; exit 1; }
  [ -z "$(registered)" ] || { echo "the $bits-bit class is still registered" >&2; exit 1; }
  echo "unregistered the $bits-bit $windows_dll"
  exit 0
fi

"$wine" "$regsvr32" /s "$windows_dll" || { echo "regsvr32 failed: $?" >&2; exit 1; }
registered=$(registered)
if [ "$registered" != "$windows_dll" ]; then
  echo "the $bits-bit class names '$registered', not $windows_dll" >&2
  exit 1
fi
for key in "${keys[@]}"; do
  "$wine" reg copy "HKCU\\Software\\Classes\\$key" "HKLM\\Software\\Classes\\$key" /s /f \
    "/reg:$bits" >/dev/null
done
echo "registered the $bits-bit $windows_dll"
