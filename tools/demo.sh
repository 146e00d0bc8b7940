#!/usr/bin/env bash
# The demo: ZIRPEL.dll as a user meets it. In a fresh Wine prefix, regsvr32
# registers the x86_64 DLL, a VBScript client calls BeepSound 440, 200 by
# name, a relay trace shows the platform's Beep call, and regsvr32 /u removes
# the registration again.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=$build/demo-prefix
wine=/usr/lib/wine/wine64
export WINEPREFIX=$prefix WINEDEBUG=-all

step() { printf '\n==> %s\n' "$*"; }
windows_path() { "$wine" winepath -w "$1" | tr -d '\r'; }

step "Making a fresh Wine prefix in $prefix"
"$here/tests/support/wine-prefix.sh" start "$prefix"
trap '"$here/tests/support/wine-prefix.sh" stop "$prefix"' EXIT

dll=$(windows_path "$build/bin/ZIRPEL.dll")
script=$(windows_path "$here/clients/longbeep.vbs")

step "Registering: wine64 regsvr32 /s $dll"
"$wine" regsvr32 /s "$dll"
echo "regsvr32 exited 0; the class as the registry now holds it:"
"$wine" reg query 'HKCR\CLSID\{6A1D3E40-9B27-4C5F-A8E2-3F70C91B5D84}' /s | tr -d '\r' | sed '/^$/d'

step "Calling it: wine64 cscript //nologo clients/longbeep.vbs"
grep -E 'CreateObject|BeepSound 440' "$here/clients/longbeep.vbs" | sed 's/^/    /'
"$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d kernel32.Beep /f >/dev/null
trace=$build/demo-beep-trace.txt
WINEDEBUG=+relay "$wine" cscript //nologo "$script" 2>"$trace" | tr -d '\r'
echo "The platform's Beep, as the relay trace saw it:"
grep -F 'KERNEL32.Beep(' "$trace" | sed 's/^[0-9a-f]*://; s/ ret=.*//'

step "Removing: wine64 regsvr32 /u /s $dll"
"$wine" regsvr32 /u /s "$dll"
echo "regsvr32 /u exited 0; the client now reports the class missing:"
"$wine" cscript //nologo "$script" | tr -d '\r' || echo "(the client exited $?)"
