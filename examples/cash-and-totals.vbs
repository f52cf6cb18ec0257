' Service cash in and out, the cash in the drawer, and the day's totals as the printer keeps
' them. Usage: cscript //nologo cash-and-totals.vbs [port [speed]]   (default: COM1, 115200)
Option Explicit
Dim ecr, port, speed, cash, totals
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

Set ecr = CreateObject("MolvexECR.TECRFisc")
If ecr.SetComPort(port, speed) = -1 Then WScript.Echo "no port" : WScript.Quit 1

' Writing the properties moves cash; the outcome shows only in StatusBytes and GetError.
ecr.ServiceIn = 100
If ecr.StatusBytes <> 0 Then WScript.Echo "ServiceIn: GetError " & ecr.GetError() : WScript.Quit 1
ecr.ServiceOut = 30.5
If ecr.StatusBytes <> 0 Then WScript.Echo "ServiceOut: GetError " & ecr.GetError() : WScript.Quit 1

' Reading them gives the day's sums; -1 means the printer did not tell.
cash = ecr.CashInfo
If cash = -1 Then WScript.Echo "CashInfo: GetError " & ecr.GetError() : WScript.Quit 1
WScript.Echo "In the drawer: " & cash & ", service in: " & ecr.ServiceIn & _
             ", service out: " & ecr.ServiceOut

' The day's totals and those of the last Z report, as the printer's text. TotalIdx chooses
' what they hold; a failed reply raises an error (number -1) instead of returning a text.
ecr.TotalIdx = 0
On Error Resume Next
totals = ecr.CurrentTotals
If Err.Number <> 0 Then WScript.Echo "CurrentTotals failed: " & Err.Number : WScript.Quit 1
WScript.Echo "Today: " & totals
totals = ecr.LastZReport
If Err.Number <> 0 Then WScript.Echo "LastZReport failed: " & Err.Number : WScript.Quit 1
WScript.Echo "Last Z report: " & totals
On Error GoTo 0

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
