#!/usr/bin/env bash
# The installer under Wine, silently, in a 64-bit prefix: what it writes is read back from the
# registry (each view of it) and the file system, never taken from its exit code.
#   installer_test.sh RUN_UNDER_WINE SETUP.exe both|x64-only
# "both": the shipped installer, with the 64- and the 32-bit DLL. "x64-only": its 64-bit-only
# form, for a machine that runs no 32-bit programs.
set -euo pipefail
wine=$1
setup=$2
mode=$3
addin='HKCU\Software\Microsoft\Office\Outlook\Addins\Zenlet.Connect'
classes='HKCU\Software\Classes'
clsid='{1F5EED0F-527E-4667-9796-E54B54A4A439}'
libid='{C2F8FAD7-BD4B-46D6-B755-18B96E7B0437}'
options='HKCU\Software\Morvane.com\Zenlet\Options'
views=(64)
[ "$mode" = both ] && views+=(32)

fail() { echo "FAIL: $*" >&2; exit 1; }
query() { "$wine" reg query "$@" 2>/dev/null || true; }
has_key() { "$wine" reg query "$@" >/dev/null 2>&1; }
# The value's data as reg prints it: "<name>    REG_SZ    <data>". Further arguments (/reg:32)
# go to reg.
value() {
  local key=$1 name=$2
  shift 2
  query "$key" /v "$name" "$@" | awk -v n="$name" '$1 == n { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}
default_value() {
  local key=$1
  shift
  query "$key" /ve "$@" | awk '$1 == "(Default)" { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}
# The file a type library registration names: the user's classes, or the machine's where the
# system registers type libraries there (Wine does, for RegisterTypeLibForUser too).
type_library() {
  local platform=$1 root found
  shift
  for root in "$classes" 'HKLM\Software\Classes'; do
    found=$(default_value "$root\\TypeLib\\$libid\\1.0\\0\\$platform" "$@")
    [ -n "$found" ] && { echo "$found"; return; }
  done
}
unix_path() { "$wine" winepath -u "$1" 2>/dev/null; }
folder_of() { case $1 in 64) echo x64 ;; 32) echo x86 ;; esac; }
remove_registration() {
  "$wine" reg delete "$addin" /f >/dev/null 2>&1 || true
  for view in 64 32; do
    for key in Zenlet.Connect Zenlet.Connect.1 "CLSID\\$clsid" "TypeLib\\$libid"; do
      "$wine" reg delete "$classes\\$key" /f "/reg:$view" >/dev/null 2>&1 || true
    done
    "$wine" reg delete "HKLM\\Software\\Classes\\TypeLib\\$libid" /f "/reg:$view" >/dev/null 2>&1 || true
  done
}

# Nothing of an earlier run.
remove_registration

"$wine" "$setup" /S || true

[ "$(value "$addin" LoadBehavior)" = "0x3" ] || fail "LoadBehavior is not 3: $(query "$addin")"
[ "$(value "$addin" FriendlyName)" = "Morvane Zenlet" ] || fail "FriendlyName: $(query "$addin")"
[ -n "$(value "$addin" Description)" ] || fail "no Description"
[ "$(default_value "$classes\\Zenlet.Connect\\CLSID")" = "$clsid" ] || fail "ProgID not registered"
folder=
for view in "${views[@]}"; do
  # Each DLL's class in the view of its own bitness, naming its own file.
  server="$classes\\CLSID\\$clsid\\InprocServer32"
  [ "$(value "$server" ThreadingModel "/reg:$view")" = "Apartment" ] ||
    fail "no apartment threading model in the $view-bit view"
  dll=$(default_value "$server" "/reg:$view")
  expected="\\AppData\\Local\\Programs\\Morvane Zenlet\\$(folder_of "$view")\\zenlet.dll"
  case "$dll" in *"$expected") ;; *) fail "$view-bit server path: $dll" ;; esac
  dll_file=$(unix_path "$dll")
  [ -f "$dll_file" ] || fail "the $view-bit zenlet.dll is not installed at $dll_file"
  # Its type library, registered for its platform.
  library=$(type_library "win$view" "/reg:$view")
  [ "$library" = "$dll" ] || fail "the win$view type library names '$library'"
  folder=$(dirname "$(dirname "$dll_file")")
  echo "installed ($view-bit): $dll"
done
if [ "$mode" = x64-only ]; then
  [ ! -e "$folder/x86" ] || fail "the 64-bit-only installer installed a 32-bit DLL"
fi
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"

# The uninstaller runs from a copy of its own and returns at once: wait until its work is
# visible, a minute at most.
wait_for_removal() {
  for _ in $(seq 1 60); do
    if ! has_key "$addin" && [ ! -e "$folder" ]; then
      return
    fi
    sleep 1
  done
}
registration_is_gone() {
  has_key "$addin" && fail "the add-in key is still there"
  has_key "$classes\\Zenlet.Connect" && fail "the ProgID is still there"
  has_key "$classes\\Zenlet.Connect.1" && fail "the versioned ProgID is still there"
  for view in 64 32; do
    has_key "$classes\\CLSID\\$clsid" "/reg:$view" && fail "the class id is still there ($view-bit)"
    has_key "$classes\\CLSID" "/reg:$view" || fail "the CLSID key itself went ($view-bit)"
  done
  for view in 64 32; do
    [ -z "$(type_library "win$view" "/reg:$view")" ] || fail "the win$view type library stayed"
  done
  [ -e "$folder" ] && fail "the program folder stayed: $(ls -AR "$folder")"
  return 0
}

# The user's options survive a plain uninstall...
"$wine" reg add "$options" /v DebugLog /t REG_DWORD /d 1 /f >/dev/null
"$wine" "$folder/Uninstall.exe" /S || true
wait_for_removal
registration_is_gone
[ "$(value "$options" DebugLog)" = "0x1" ] || fail "the options went with a plain uninstall"
echo "uninstalled, options kept"

# ...and go when asked for.
"$wine" "$setup" /S || true
has_key "$addin" || fail "the second install wrote no add-in key"
"$wine" "$folder/Uninstall.exe" /S /REMOVEOPTIONS || true
wait_for_removal
registration_is_gone
has_key "$options" && fail "the options stayed although /REMOVEOPTIONS asked"
echo "uninstalled with the options"
echo "1 passed, 0 failed"
