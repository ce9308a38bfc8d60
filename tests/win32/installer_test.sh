#!/usr/bin/env bash
# The installer under Wine, silently: what it writes is read back from the registry and the
# file system, never taken from its exit code.
#   installer_test.sh RUN_UNDER_WINE SETUP.exe
set -euo pipefail
wine=$1
setup=$2
addin='HKCU\Software\Microsoft\Office\Outlook\Addins\Zenlet.Connect'
classes='HKCU\Software\Classes'
clsid='{1F5EED0F-527E-4667-9796-E54B54A4A439}'
options='HKCU\Software\Morvane.com\Zenlet\Options'

fail() { echo "FAIL: $*" >&2; exit 1; }
query() { "$wine" reg query "$@" 2>/dev/null || true; }
has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
# The value's data as reg prints it: "<name>    REG_SZ    <data>".
value() { query "$1" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  */, ""); print }'; }
default_value() { query "$1" /ve | awk '$1 == "(Default)" { $1 = ""; $2 = ""; sub(/^  */, ""); print }'; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null; }

# Nothing of an earlier run.
"$wine" reg delete "$addin" /f >/dev/null 2>&1 || true
"$wine" reg delete "$classes\\Zenlet.Connect" /f >/dev/null 2>&1 || true
"$wine" reg delete "$classes\\Zenlet.Connect.1" /f >/dev/null 2>&1 || true
"$wine" reg delete "$classes\\CLSID\\$clsid" /f >/dev/null 2>&1 || true

"$wine" "$setup" /S || true

[ "$(value "$addin" LoadBehavior)" = "0x3" ] || fail "LoadBehavior is not 3: $(query "$addin")"
[ "$(value "$addin" FriendlyName)" = "Morvane Zenlet" ] || fail "FriendlyName: $(query "$addin")"
[ -n "$(value "$addin" Description)" ] || fail "no Description"
[ "$(default_value "$classes\\Zenlet.Connect\\CLSID")" = "$clsid" ] || fail "ProgID not registered"
[ "$(value "$classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel)" = "Apartment" ] ||
  fail "no apartment threading model"
dll=$(default_value "$classes\\CLSID\\$clsid\\InprocServer32")
case "$dll" in *'\AppData\Local\Programs\Morvane Zenlet\zenlet.dll') ;; *) fail "server path: $dll" ;; esac
dll_file=$(unix_path "$dll")
[ -f "$dll_file" ] || fail "zenlet.dll is not installed at $dll_file"
folder=$(dirname "$dll_file")
[ -f "$folder/Uninstall.exe" ] || fail "no uninstaller"
echo "installed: $dll"

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

# The user's options survive a plain uninstall...
"$wine" reg add "$options" /v DebugLog /t REG_DWORD /d 1 /f >/dev/null
"$wine" "$folder/Uninstall.exe" /S || true
wait_for_removal
has_key "$addin" && fail "the add-in key is still there"
has_key "$classes\\Zenlet.Connect" && fail "the ProgID is still there"
has_key "$classes\\Zenlet.Connect.1" && fail "the versioned ProgID is still there"
has_key "$classes\\CLSID\\$clsid" && fail "the class id is still there"
has_key "$classes\\CLSID" || fail "the CLSID key itself went"
[ -f "$dll_file" ] && fail "zenlet.dll is still there"
[ "$(value "$options" DebugLog)" = "0x1" ] || fail "the options went with a plain uninstall"

[ -e "$folder" ] && fail "the program folder stayed: $(ls -A "$folder")"
echo "uninstalled, options kept"

# ...and go when asked for.
"$wine" "$setup" /S || true
has_key "$addin" || fail "the second install wrote no add-in key"
"$wine" "$folder/Uninstall.exe" /S /REMOVEOPTIONS || true
wait_for_removal
has_key "$options" && fail "the options stayed although /REMOVEOPTIONS asked"
[ -e "$folder" ] && fail "the program folder stayed: $(ls -A "$folder")"
has_key "$addin" && fail "the add-in key came back"
echo "uninstalled with the options"
echo "1 passed, 0 failed"
