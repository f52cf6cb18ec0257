' The printer's network settings: read them, change the target port, write them back, and
' read the modem report. Usage: cscript //nologo network.vbs [port [speed]]  (COM1, 115200)
Option Explicit
Dim ecr, port, speed, result
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

Set ecr = CreateObject("MolvexECR.TECRFisc")
If ecr.SetComPort(port, speed) = -1 Then WScript.Echo "no port" : WScript.Quit 1

result = ecr.GetNetParams()   ' 0, or a negative code
If result <> 0 Then WScript.Echo "GetNetParams: " & result : WScript.Quit 1
WScript.Echo "Address " & ecr.StatIPPr & ", mask " & ecr.SubnetMaskPr & ", gateway " & _
             ecr.BridgeAddrPr & ", server " & ecr.TargetAddrPr & ":" & ecr.TargetPortPr

' Nothing is sent until WriteNetParams; it writes every property back.
ecr.TargetPortPr = 8000
ecr.PrintReportModem = False
result = ecr.WriteNetParams()
If result <> 0 Then WScript.Echo "WriteNetParams: " & result : WScript.Quit 1

result = ecr.ReportModem()
If result <> 0 Then WScript.Echo "ReportModem: GetError " & ecr.GetError() : WScript.Quit 1
WScript.Echo "Last sent " & ecr.DataDocPr & " " & ecr.TimeDocPr & _
             ", network cable connected: " & ecr.NetCbl_ConPr

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
