' The server installed by MolvexECR.msi: it reads the example settings the package put into
' C:\ECR (SetComPort answers 1, not 100 for a missing file) and reaches the printer on COM1.
Option Explicit
Dim passed, failed, o, r
passed = 0 : failed = 0
Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Set o = CreateObject("MolvexECR.TECRFisc")
r = o.SetComPort(1, 115200)
Check r = 1, "SetComPort(1, 115200) reads the installed settings file (got " & r & ")"
Check o.IsPresent() = True, "IsPresent through the installed server"
Check o.GetError() = 0, "GetError after IsPresent"
Check o.CloseComPort(1) = 1, "CloseComPort"
Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
