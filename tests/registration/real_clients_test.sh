#!/usr/bin/env bash
# Real clients in the shared test prefix, with no sandbox: regsvr32 registers
# the x86_64 DLL, two scripts and the C++ client call LongBeep, regsvr32 /u
# removes it all and the clients then fail. The prefix's registry is left as
# it was found, also when a step fails.
set -uo pipefail
wine=/usr/lib/wine/wine64
clsid='{6A1D3E40-9B27-4C5F-A8E2-3F70C91B5D84}'
libid='{0E8B52C7-4D19-4A6E-B3F1-72C95A0D6E13}'
iid='{D47F2A91-6C3B-4E08-9A5D-1B86E3C07F29}'
debug_key='HKCU\Software\Wine\Debug'
beep_line='Call KERNEL32.Beep(000001b8,000000c8)'
work=$(mktemp -d)
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
reg_query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }

dll=$(windows_path "$ZIRPEL_BIN/ZIRPEL.dll")
vbs=$(windows_path "$ZIRPEL_SOURCE/clients/longbeep.vbs")
js=$(windows_path "$ZIRPEL_SOURCE/clients/longbeep.js")
client="$ZIRPEL_BIN/longbeep_client.exe"

# RelayInclude limits the relay trace to Beep; restore whatever stood there before.
old_relay=$(reg_query "$debug_key" /v RelayInclude | sed -n 's/^ *RelayInclude *REG_SZ *//p')
restore() {
  "$wine" regsvr32 /u /s "$dll" >/dev/null 2>&1
  if [ -n "$old_relay" ]; then
    "$wine" reg add "$debug_key" /v RelayInclude /t REG_SZ /d "$old_relay" /f >/dev/null 2>&1
  else
    "$wine" reg delete "$debug_key" /v RelayInclude /f >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap restore EXIT
"$wine" reg add "$debug_key" /v RelayInclude /t REG_SZ /d kernel32.Beep /f >/dev/null 2>&1 ||
  fail "could not set RelayInclude"

# Runs one client with a relay trace; the trace must show exactly one Beep(440, 200).
run_traced() {
  local name=$1
  shift
  WINEDEBUG=+relay "$@" >"$work/$name.out" 2>"$work/$name.trace"
  local status=$?
  local beeps
  beeps=$(grep -c -F "$beep_line" "$work/$name.trace")
  [ "$status" -eq 0 ] || fail "$name exited $status: $(cat "$work/$name.out")"
  [ "$beeps" -eq 1 ] || fail "$name: $beeps traced calls of Beep(440, 200), expected 1"
  echo "$name: exit $status, $beeps x $beep_line"
}

echo "== regsvr32 /s"
"$wine" regsvr32 /s "$dll" || fail "regsvr32 /s exited $?"

echo "== reg query"
server=$(reg_query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | sed -n 's/^ *(Default) *REG_SZ *//p')
server_unix=$("$wine" winepath -u "$server" 2>/dev/null | tr -d '\r')
[ -n "$server" ] && [ "$server_unix" -ef "$ZIRPEL_BIN/ZIRPEL.dll" ] ||
  fail "InprocServer32 is '$server', not the DLL"
cat >"$work/class.expected" <<TABLE

HKEY_CLASSES_ROOT\\CLSID\\$clsid
    (Default)    REG_SZ    LongBeep Class

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32
    (Default)    REG_SZ    $server
    ThreadingModel    REG_SZ    Apartment

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID
    (Default)    REG_SZ    ZIRPEL.LongBeep.1

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\Programmable

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\TypeLib
    (Default)    REG_SZ    $libid

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\VersionIndependentProgID
    (Default)    REG_SZ    ZIRPEL.LongBeep

HKEY_CLASSES_ROOT\\ZIRPEL.LongBeep
    (Default)    REG_SZ    LongBeep Class

HKEY_CLASSES_ROOT\\ZIRPEL.LongBeep\\CLSID
    (Default)    REG_SZ    $clsid

HKEY_CLASSES_ROOT\\ZIRPEL.LongBeep\\CurVer
    (Default)    REG_SZ    ZIRPEL.LongBeep.1

HKEY_CLASSES_ROOT\\ZIRPEL.LongBeep.1
    (Default)    REG_SZ    LongBeep Class

HKEY_CLASSES_ROOT\\ZIRPEL.LongBeep.1\\CLSID
    (Default)    REG_SZ    $clsid
TABLE
{
  reg_query "HKCR\\CLSID\\$clsid" /s
  reg_query "HKCR\\ZIRPEL.LongBeep" /s
  reg_query "HKCR\\ZIRPEL.LongBeep.1" /s
} | cat -s | sed '${/^$/d}' >"$work/class.actual"
diff "$work/class.expected" "$work/class.actual" || fail "the registry does not hold the class table"
reg_query "HKCR\\TypeLib\\$libid\\1.0" >/dev/null || fail "the type library is not registered"

echo "== clients"
run_traced vbscript "$wine" cscript //nologo "$vbs"
run_traced jscript "$wine" cscript //nologo "$js"
run_traced cpp_client "$wine" "$client"

echo "== regsvr32 /u /s"
"$wine" regsvr32 /u /s "$dll" || fail "regsvr32 /u /s exited $?"
for key in "CLSID\\$clsid" ZIRPEL.LongBeep ZIRPEL.LongBeep.1 "TypeLib\\$libid" "Interface\\$iid"; do
  reg_query "HKCR\\$key" >/dev/null && fail "HKCR\\$key is still there"
done
reg_query 'HKCR\CLSID' /ve >/dev/null || fail "HKCR\\CLSID is gone"

echo "== clients after removal"
for name in vbscript jscript cpp_client; do
  case $name in
    vbscript) "$wine" cscript //nologo "$vbs" >"$work/$name.out" 2>&1 ;;
    jscript) "$wine" cscript //nologo "$js" >"$work/$name.out" 2>&1 ;;
    cpp_client) "$wine" "$client" >"$work/$name.out" 2>&1 ;;
  esac
  status=$?
  echo "$name: exit $status: $(tr -d '\r' <"$work/$name.out")"
  [ "$status" -ne 0 ] || fail "$name succeeded after removal"
done

[ "$failures" -eq 0 ] && echo "PASS" || echo "$failures failure(s)"
[ "$failures" -eq 0 ]
