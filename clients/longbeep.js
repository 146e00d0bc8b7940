// Calls LongBeep late bound, by name: a 440 Hz tone for 200 ms.
// Exits 0 on success and 1 on failure (the script host itself exits 0 on an unhandled error).
var beeper;
try {
    beeper = new ActiveXObject("ZIRPEL.LongBeep");
} catch (error) {
    WScript.Echo("LongBeep is not available: " + error.message);
    WScript.Quit(1);
}
try {
    beeper.BeepSound(440, 200);
} catch (error) {
    WScript.Echo("BeepSound failed: " + error.message);
    WScript.Quit(1);
}
WScript.Echo("BeepSound(440, 200) returned");
WScript.Quit(0);
