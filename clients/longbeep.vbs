' Calls LongBeep late bound, by name: a 440 Hz tone for 200 ms.
' Exits 0 on success and 1 on failure (the script host itself exits 0 on an unhandled error).
On Error Resume Next
Dim beeper
Set beeper = CreateObject("ZIRPEL.LongBeep")
If Err.Number <> 0 Then
    WScript.Echo "LongBeep is not available: " & Err.Description & " (0x" & Hex(Err.Number) & ")"
    WScript.Quit 1
End If
beeper.BeepSound 440, 200
If Err.Number <> 0 Then
    WScript.Echo "BeepSound failed: " & Err.Description & " (0x" & Hex(Err.Number) & ")"
    WScript.Quit 1
End If
WScript.Echo "BeepSound(440, 200) returned"
WScript.Quit 0
