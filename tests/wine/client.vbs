' Late-bound client in VBScript: the entries of the object through CreateObject and IDispatch.
' Arguments: the expected SetComPort result (1 with C:\ECR\ZRepRec.ini, 100 without), the
' control file of the virtual printer (to arm faults) and its COM port (1 when not given).
' Ends with "N passed, N failed" and quits with 40 + failures: a script error that aborts
' the run silently exits with 0, which the runner does not take as a pass.
Option Explicit
Dim passed, failed, o, expectedOpen, control, port
passed = 0 : failed = 0
expectedOpen = CInt(WScript.Arguments(0))
control = WScript.Arguments(1)
port = 1
If WScript.Arguments.Count > 2 Then port = CInt(WScript.Arguments(2))

Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

' Arms a fault for the next request(s) of the virtual printer.
Sub Arm(command)
  Dim fso, f
  Set fso = CreateObject("Scripting.FileSystemObject")
  Set f = fso.OpenTextFile(control, 8, True)
  f.WriteLine command
  f.Close
End Sub

Set o = CreateObject("MolvexECR.TECRFisc")

' Without a port.
Check o.GetVerDLL() = "MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014", "GetVerDLL"
Check o.VersionDLL = "MolvexECR OLE v5.20 LT7260R 21.08.2013", "VersionDLL"
Check o.IsPresent() = False, "IsPresent before SetComPort is refused"
Check o.GetError() = 1, "GetError after a refusal"
Check o.StatusBytes = -1, "StatusBytes after a refusal"
Check o.ClearRegDisplay() = False, "ClearRegDisplay before SetComPort is refused"

' Opening the port.
Check o.SetComPort(port, 38400) = -1, "SetComPort at 38400 is refused"
Check o.SetComPort(port, 115200) = expectedOpen, "SetComPort(" & port & ", 115200) = " & expectedOpen
Check o.StatusBytes = -1, "StatusBytes right after SetComPort"
Check o.GetError() = 0, "GetError right after SetComPort (opening clears the saved error word)"

' Presence, status and the saved outcome.
Check o.IsPresent() = True, "IsPresent"
Check o.GetError() = 0, "GetError after success"
Check o.StatusBytes = 0, "StatusBytes after success"
Check o.TimeOutFP = False, "TimeOutFP after success"
Check o.GetStatusFP(True) = True, "GetStatusFP"
o.FPIndexStatus = 6
Check o.FPIndexStatus = 0, "FPIndexStatus 6 reads back as 0"
o.FPIndexStatus = 5
Check o.FPIndexStatus = 5, "FPIndexStatus 5"
Check o.FPStatus >= 0 And o.FPStatus <= 127, "FPStatus is a status byte"

' Clock. The printer's clock never goes back before its last Z report, and the run makes Z reports
' on this printer: the date lies after all of them (the JScript client's 31-12-34 23:59 and the
' minutes of the reports after it), so that this client passes whenever it runs.
Check o.WriteDateTime("01-02-35", "10:20:30") = 0, "WriteDateTime"
Dim when : when = o.DateTime
Check Left(when, 13) = "01-02-35 10:2", "DateTime after WriteDateTime: " & when

' Display, drawer, cutter, identity. The Cyrillic text travels as Windows-1251 bytes.
Check o.ClearRegDisplay() = True, "ClearRegDisplay"
Check o.DisplayUP("Касса 1") = True, "DisplayUP with Cyrillic text"
Check o.DisplayDown("Итого: 12,50") = True, "DisplayDown with Cyrillic text"
Check o.DisplayUP("") = True, "DisplayUP with empty text"
Check o.DisplayUP(String(5000, "A")) = False, "DisplayUP with a text longer than a frame is refused"
Check o.GetError() = 1 And o.StatusBytes = -1, "refusal values after the long text"
Check o.OpenDrawer(4) = False, "OpenDrawer(4) is refused"
Check o.GetError() = 1, "GetError after OpenDrawer(4)"
Check o.OpenDrawer(151) = False, "OpenDrawer(151) is refused"
Check o.OpenDrawer(5) = True, "OpenDrawer(5)"
Check o.ReceiptCut() = 1, "ReceiptCut"
Check o.DispDayTime() = 1, "DispDayTime"
Check Len(o.ID_DEV) > 0, "ID_DEV"

'' Network settings: read, change, write back.
Check o.GetNetParams() = 0, "GetNetParams"
Check o.DHCPworkPr = False, "DHCPworkPr"
Check UBound(Split(o.StatIPPr, ".")) = 3, "StatIPPr in dotted form: " & o.StatIPPr
o.StatIPPr = "192.168.0.10" : o.SubnetMaskPr = "255.255.255.0"
o.BridgeAddrPr = "192.168.0.1" : o.TargetAddrPr = "10.0.0.5"
o.TargetPortPr = 8000 : o.RepeatPeriodPr = 60 : o.RepeatByErrorPr = 5
o.PrintReportModem = False
Check o.WriteNetParams() = 0, "WriteNetParams"
o.StatIPPr = "" : o.TargetPortPr = 0
Check o.GetNetParams() = 0 And o.StatIPPr = "192.168.0.10", "GetNetParams reads back what was written"
Check o.SubnetMaskPr = "255.255.255.0" And o.TargetAddrPr = "10.0.0.5", "addresses read back"
Check o.BridgeAddrPr = "192.168.0.1", "BridgeAddrPr read back: " & o.BridgeAddrPr
Check o.TargetPortPr = 8000 And o.RepeatPeriodPr = 60 And o.RepeatByErrorPr = 5, "numbers read back"
o.TargetPortPr = 65536
Check o.WriteNetParams() = -2, "WriteNetParams with port 65536 is refused"
o.TargetPortPr = 8000
o.StatIPPr = ".1.2.3"
Check o.WriteNetParams() = -1, "WriteNetParams with an address part missing is refused"

' An address part that is no decimal number: an exception with the object's error information.
o.StatIPPr = "192.168.0.x"
On Error Resume Next
Dim netResult : netResult = o.WriteNetParams()
Dim errNumber, errDescription, errSource
errNumber = Err.Number : errDescription = Err.Description : errSource = Err.Source
On Error GoTo 0
Check errNumber = &H80020009, "the exception arrives as DISP_E_EXCEPTION: " & Hex(errNumber)
Check errDescription = "'x' is not a valid decimal number", "its description: " & errDescription
Check errSource = "MolvexECR.TECRFisc", "its source: " & errSource
o.StatIPPr = "192.168.0.10"

' Modem report: the virtual printer's condition byte is 48 (identification, cable connected).
Check o.PersReportPr = 0, "PersReportPr before the first modem report"
o.PrintReportModem = True
Check o.ReportModem() = 0, "ReportModem"
Check o.IDDEF_SetPr = True And o.NetCbl_ConPr = True, "IDDEF_SetPr and NetCbl_ConPr"
Check o.MBSAM_ErrPr = False And o.KSEF_ErrPr = False And o.Ready_SndPr = False, "the other flags"
Check o.PersReportPr = -1, "PersReportPr after a modem report"
Check Len(o.DatePersPr) = 8 And Len(o.TimePersPr) = 5, "personalisation date and time"
' The printer's next answer armed with the other bits of the condition byte (B7 is 48 inverted)
' and dates of its own: every flag flips, every text lands in its property.
Arm "reply 108 8080808080BA B7,01-02-26,10:20,03-04-25,11:30"
Check o.ReportModem() = 0, "ReportModem with the armed answer"
Check o.MBSAM_ErrPr And o.MemCrd_ErrPr And o.KSEF_ErrPr, "MBSAM_ErrPr, MemCrd_ErrPr, KSEF_ErrPr of B7"
Check o.TechReg_PrfPr And o.Person_PrfPr And o.Ready_SndPr, "TechReg_PrfPr, Person_PrfPr, Ready_SndPr of B7"
Check Not o.IDDEF_SetPr And Not o.NetCbl_ConPr, "IDDEF_SetPr and NetCbl_ConPr clear in B7"
Check o.DataDocPr = "01-02-26" And o.TimeDocPr = "10:20", "DataDocPr and TimeDocPr: " & o.DataDocPr & " " & o.TimeDocPr
Check o.DatePersPr = "03-04-25" And o.TimePersPr = "11:30", "DatePersPr and TimePersPr: " & o.DatePersPr & " " & o.TimePersPr

' Articles: program, reprice, read, walk the table, delete. Tax groups are letter codes.
Check o.ProgramArt(&HC1, 14101, 3, 4.5, "", "Молоко") = True, "ProgramArt"
Check o.ProgramArt(&HC0, 14102, 1, 12.5, "", "Хлеб") = True, "ProgramArt, a second article"
Check o.ProgramArt(1, 14103, 1, 1, "", "X") = False, "ProgramArt with Tax 1 is refused"
Check o.StatusBytes = -1 And o.GetError() = 1, "refusal values after Tax 1"
Check o.ChangePrice(14102, 13, "") = True, "ChangePrice"
Dim article : article = o.GetArtInfo(14101)
Check article = "14101,Б,3,4.50,0.000,0.00,0,0,Молоко", "GetArtInfo: " & article
Check Left(o.GetArtInfo(14102), 16) = "14102,А,1,13.00,", "the new price: " & o.GetArtInfo(14102)
Dim walked, seen : walked = 0 : seen = 0
article = o.FirstArt
Do While article <> "" And walked <= 14800
  walked = walked + 1
  If Left(article, 6) = "14101," Or Left(article, 6) = "14102," Then seen = seen + 1
  article = o.NextArt
Loop
Check seen = 2, "FirstArt and NextArt walk past both articles (" & walked & " in the table)"
Check o.StatusBytes = -2 And o.GetError() = 0, "the end of the table is the printer's F answer"
Check o.DeleteArt(14101, "") = True And o.DeleteArt(14102, "") = True, "DeleteArt"
Check o.GetArtInfo(14101) = "" And o.StatusBytes = -2, "a deleted article reads as an empty text"
Check o.DeleteArt(-1, "") = False And o.StatusBytes = -2, "DeleteArt(-1) leaves the call status"
Check o.ProgramArt(&HC0, 14104, 1, 1, "", String(10000, "W")) = False, "a 10,000-character name"
Check o.StatusBytes = -1 And o.GetError() = 1, "is refused with the refusal values"

' Operators: name, password, the administrator's reset.
Check o.SetOperatorName(9, "", "Ирина") = True, "SetOperatorName"
Check o.SetOperatorPassword(9, "", "2580") = True, "SetOperatorPassword"
Check o.SetOperatorName(9, "0000", "Ира") = False And o.GetError() = 7, "a wrong operator password"
' Its result is declared an input: a script passes a value (a variable by reference is a type
' mismatch) and reads the outcome from StatusBytes.
Call o.ClearOperatorPassword("", 9, False)
Check o.StatusBytes = 0, "ClearOperatorPassword"
Check o.SetOperatorName(9, "", "Ира") = True, "any password after the reset"

' Service cash through the properties, and what the drawer holds.
Dim inBefore, outBefore, cashBefore
inBefore = o.ServiceIn : outBefore = o.ServiceOut : cashBefore = o.CashInfo
Check inBefore >= 0 And outBefore >= 0 And cashBefore >= 0, "ServiceIn, ServiceOut, CashInfo read"
o.ServiceIn = 100
Check o.StatusBytes = 0, "ServiceIn = 100"
o.ServiceOut = 30.5
Check o.StatusBytes = 0, "ServiceOut = 30.5"
Check Abs(o.ServiceIn - inBefore - 100) < 0.001, "ServiceIn reads the day's sum: " & o.ServiceIn
Check Abs(o.ServiceOut - outBefore - 30.5) < 0.001, "ServiceOut reads the day's sum"
Check Abs(o.CashInfo - cashBefore - 69.5) < 0.001, "CashInfo: " & o.CashInfo
o.ServiceOut = -10
Check o.StatusBytes = -1 And o.GetError() = 1, "ServiceOut = -10 is refused"
o.ServiceIn = 0
Check o.StatusBytes = -1, "ServiceIn = 0 is refused"

' The day's totals and those of the last Z report, chosen by TotalIdx.
o.TotalIdx = 0
Dim totals : totals = o.CurrentTotals
Check UBound(Split(totals, ",")) = 5, "CurrentTotals: the next Z number and five tax groups: " & totals
o.TotalIdx = 2
totals = o.LastZReport
Check UBound(Split(totals, ",")) = 6, "LastZReport, TotalIdx 2: six payment types: " & totals
' An index the printer does not know: the failed reply is the HRESULT -1, the state stays.
o.TotalIdx = 9
Dim statusBefore : statusBefore = o.StatusBytes
On Error Resume Next
totals = o.CurrentTotals
errNumber = Err.Number : errDescription = Err.Description
On Error GoTo 0
Check errNumber = -1, "a failed CurrentTotals raises error -1: " & errNumber
Check InStr(errDescription, "CurrentTotals: the printer's totals could not be read: the printer " & _
      "refused the query") = 1, "with a description of what happened: " & errDescription
Check o.StatusBytes = statusBefore And o.GetError() = 1, "StatusBytes and GetError unchanged"
o.TotalIdx = 0

' Faults of the printer line. Each armed fault takes one request, and every printer method
' first reads the status: the second fault hits the method's own command.
Arm "nak 2"
Check o.ClearRegDisplay() = False, "ClearRegDisplay answered with NAK fails"
Check o.StatusBytes = -2, "StatusBytes after NAK"
Check o.GetError() = 18, "GetError after NAK"
Check o.TimeOutFP = True, "TimeOutFP after NAK"
Arm "nak"
Arm "silence"
Check o.ReceiptCut() = 0, "ReceiptCut without an answer fails"
Check o.GetError() = 19, "GetError after silence"
Check o.TimeOutFP = True, "TimeOutFP after silence"
Arm "nak"
Arm "printer-error"
Check o.ClearRegDisplay() = False, "ClearRegDisplay refused by the printer"
Check o.StatusBytes = -2, "StatusBytes after a printer error"
Check o.GetError() = 5, "GetError after a mechanism error"
' Status0 is an I1, which VBScript only takes through a conversion.
Check CInt(o.Status0) = &H30, "Status0 shows the mechanism error and the general error"
Check CInt(o.Status1) = 0 And CInt(o.Status2) = 0 And CInt(o.Status3) = 0 And CInt(o.Status4) = 0, _
      "Status1 to Status4 of that reply hold no bit"
' Serial number set, tax rates set, fiscalised, fiscal memory formatted: the printer's standing.
Check CInt(o.Status5) = &H3A, "Status5: " & CInt(o.Status5)
Check o.TimeOutFP = False, "TimeOutFP is false when the reply carries a status"
Check o.IsPresent() = True, "IsPresent after the faults"
' A sale refused while a non-fiscal receipt is open: the bytes of the refusal.
Check o.OpenNonFiscReceipt() = True, "OpenNonFiscReceipt"
Check o.OpenFiscReceipt(1, 1, "") = False And o.GetError() = 7, "OpenFiscReceipt with a non-fiscal receipt open"
Check CInt(o.Status0) = &H20 And CInt(o.Status1) = 2 And CInt(o.Status2) = &H20, _
      "general error, not allowed, non-fiscal receipt open: " & CInt(o.Status0) & " " & _
      CInt(o.Status1) & " " & CInt(o.Status2)
Check CInt(o.Status3) = 0 And CInt(o.Status4) = 0 And CInt(o.Status5) = &H3A, "the other status bytes"
Check o.CloseNonFiscReceipt() = True, "CloseNonFiscReceipt"

' Closing.
Check o.CloseComPort(3) = -1, "CloseComPort(3) while port " & port & " is open"
Check o.IsPresent() = True, "port " & port & " still open"
Check o.CloseComPort(port) = 1, "CloseComPort(" & port & ")"
Check o.IsPresent() = False, "IsPresent after CloseComPort"

Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
