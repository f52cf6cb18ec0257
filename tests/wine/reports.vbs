' Reports through IDispatch: X, periodic, article and control-tape reports, and Z reports with the
' archive of C:\ECR\ZRepRec.ini (the runner checks the files). Argument: the control file of the
' virtual printer. Ends with "N passed, N failed" and quits with 40 + failures.
Option Explicit
Dim passed, failed, o, control
passed = 0 : failed = 0
control = WScript.Arguments(0)

Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Sub Arm(command)
  Dim fso, f
  Set fso = CreateObject("Scripting.FileSystemObject")
  Set f = fso.OpenTextFile(control, 8, True)
  f.WriteLine command
  f.Close
End Sub

Set o = CreateObject("MolvexECR.TECRFisc")
Call o.CloseComPort(1)
Check o.XReport("0") = False, "XReport without a port is refused"
Check o.StatusBytes = -1 And o.GetError() = 1, "refusal values"

Check o.SetComPort(1, 115200) = 1, "SetComPort reads C:\ECR\ZRepRec.ini"
Check o.XReport("0") = True, "XReport"
Check o.StatusBytes = 0 And o.GetError() = 0, "XReport succeeded"
Check o.PeriodRepByNumb("0", 1, 9999) = True, "PeriodRepByNumb"
Check o.PeriodRepByDate("0", "01-01-20", "31-12-30") = True, "PeriodRepByDate"
Check o.ArticulsReports(1, "0") = True, "ArticulsReports(1)"
Check o.ArticulsReports(2, "0") = False, "ArticulsReports(2) is refused"
Check o.GetError() = 1 And o.StatusBytes = -1, "refusal values after ArticulsReports(2)"
Check o.PrintFiscalCopiesKSEF(900000, 900001) = -3, "PrintFiscalCopiesKSEF of documents never printed"
Check o.StatusBytes = -2, "StatusBytes after a refused journal copy"
Check o.PeriodRepByNumbFull("0", 1, 9999) = True, "PeriodRepByNumbFull"
Check o.PeriodRepByDateFull("0", "01-01-20", "31-12-30") = True, "PeriodRepByDateFull"
Check o.PeriodRepByDateFull("0", "31-12-30", "01-01-20") = False And o.StatusBytes = -2 And _
      o.GetError() = 2, "PeriodRepByDateFull over dates in the wrong order: the printer's syntax error"

' A Z report: archived, logged, the uploader started.
Check o.ZReport("0") = True, "ZReport"
Check o.StatusBytes = 0 And o.GetError() = 0, "ZReport succeeded"
' The control tape's tax report of that Z report, by its number: the first field of LastZReport.
o.TotalIdx = 0
Dim fields, lastZ
fields = Split(o.LastZReport, ",")  ' (Wine's VBScript takes no index right after a call)
lastZ = CLng(fields(0))
Check o.PrintReportsTaxKSEF(lastZ) = lastZ, "PrintReportsTaxKSEF of Z report " & lastZ
Check o.PrintReportsTaxKSEF(lastZ + 1) = -3 And o.StatusBytes = -2, _
      "PrintReportsTaxKSEF of a Z report not made yet"

' A Z report whose data cannot be read back: the call fails with -101, the Z report stands.
Arm "reply 167 A18080808080"
Dim zResult, zError, zDescription
On Error Resume Next
zResult = o.ZReport("0")
zError = Err.Number : zDescription = Err.Description
On Error GoTo 0
Check zError = -101, "ZReport with a failed data read fails with -101: " & zError
Check InStr(zDescription, "ZReport: the printer printed the Z report and closed the day") = 1 And _
      InStr(zDescription, "Do not repeat the Z report") > 0, "-101 says what happened: " & zDescription
Check o.StatusBytes = 0, "StatusBytes after -101: " & o.StatusBytes
Check o.GetError() = 0, "GetError after -101 is that of the Z report"

' One more: archived beside the first, never over it.
Check o.ZReport("0") = True, "third ZReport"
Check o.CloseComPort(1) = 1, "CloseComPort"

Set o = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
