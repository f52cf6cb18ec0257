' A short sale through the server with the protocol trace on: the [Trace] section of
' C:\ECR\ZRepRec.ini that the runner placed turns it on when SetComPort reads the settings.
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
Check o.SetComPort(1, 115200) = 1, "SetComPort reads the settings file with its [Trace] section"
Check o.OpenFiscReceipt(2, 7, "тайна42") = True, "OpenFiscReceipt with an operator password"
Check o.SellArticul("Чай зелёный", 45.5, 2, 1, 4, "", 0, 0) = 1, "SellArticul with a Cyrillic name"
Check o.Payment(0, 0) = True, "Payment of the rest"
Check o.CloseFiscReceipt() = True, "CloseFiscReceipt"
Check o.GetError() = 0, "GetError after the sale"
Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
