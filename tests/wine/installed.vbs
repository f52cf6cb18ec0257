' The server installed by MolvexECR.msi: it reads the example settings the package put into
' C:\ECR (SetComPort answers 1, not 100 for a missing file), reaches the printer and closes the
' day with a Z report, whose archive file goes to C:\ECR (the example names no LocalPath).
' Argument: the printer's COM port (1 when not given).
Option Explicit
Dim passed, failed, o, r, port
passed = 0 : failed = 0
port = 1
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Set o = CreateObject("MolvexECR.TECRFisc")
r = o.SetComPort(port, 115200)
Check r = 1, "SetComPort(" & port & ", 115200) reads the installed settings file (got " & r & ")"
Check o.IsPresent() = True, "IsPresent through the installed server"
Check o.GetError() = 0, "GetError after IsPresent"
Check o.ZReport("0") = True, "ZReport through the installed server"
Check o.StatusBytes = 0 And o.GetError() = 0, "ZReport succeeded (StatusBytes " & o.StatusBytes & ", GetError " & o.GetError() & ")"
Check o.CloseComPort(port) = 1, "CloseComPort"
Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
