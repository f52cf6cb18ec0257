' A second client while another one holds an object with the port open: the state is the
' server's, so the printer answers without this client opening the port.
' Argument "open": open COM1 first (for a server that no other client has used).
Option Explicit
Dim passed, failed, o
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
If WScript.Arguments.Count > 0 Then
  Dim r : r = o.SetComPort(1, 115200)
  Check r = 1 Or r = 100, "SetComPort(1, 115200) opens the port"
End If
Check o.IsPresent() = True, "IsPresent over the port opened in this server"
Check o.GetError() = 0, "GetError after IsPresent"
Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
