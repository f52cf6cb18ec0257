' The end of the day: the X report (the day so far), then the Z report that closes the day. After
' the Z report the driver reads the closed day's data back from the printer, writes it to an
' archive file in LocalPath, logs each step in LocalPath\infoZ.log and starts the uploader
' LocalPath\ArchSend.exe (LocalPath from C:\ECR\ZRepRec.ini, see examples/ZRepRec.ini; C:\ECR\
' itself without the key or without the file, never the current directory).
' Usage: cscript //nologo close-day.vbs [port [speed]]     (default: COM1 at 115200 baud)
Option Explicit
Dim ecr, port, speed, password, closed, code, totals
port = 1 : speed = 115200
password = ""   ' the administrator password: empty on a new printer
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

Sub Quit(text)
  WScript.Echo text
  ecr.CloseComPort port
  Set ecr = Nothing
  WScript.Quit 1
End Sub

Set ecr = CreateObject("MolvexECR.TECRFisc")
' 1; 100 without C:\ECR\ZRepRec.ini (the archive then goes to C:\ECR\ itself).
If ecr.SetComPort(port, speed) = -1 Then WScript.Echo "no port" : WScript.Quit 1

If Not ecr.XReport(password) Then Quit "XReport failed: GetError " & ecr.GetError()

' What goes wrong after the printer closed the day comes as an error of the call: -101 the day's
' data could not be read back (the printer keeps it until the next Z report), -102 the archive
' file could not be written (the data waits in the spool beside the settings file and is archived
' by the next SetComPort or ZReport that can). -102 also comes before the day is closed when the
' archive folder cannot take a file: then nothing was sent and the day is still open.
On Error Resume Next
closed = ecr.ZReport(password)
code = Err.Number
On Error GoTo 0
If code = -101 Then Quit "Day closed, but its data could not be read back for the archive"
If code = -102 Then Quit "Archive not written: see LocalPath\infoZ.log (day open, or data spooled)"
If code <> 0 Then Quit "ZReport: error " & code
' GetError 7: a receipt is still open, or the password is wrong; the day is not closed.
If Not closed Then Quit "ZReport refused: GetError " & ecr.GetError()

' The closed day's totals: the number of the Z report, then the sales of the five tax groups
' А..Д in hundredths.
ecr.TotalIdx = 0
On Error Resume Next
totals = ecr.LastZReport
code = Err.Number
On Error GoTo 0
If code <> 0 Then Quit "LastZReport: error " & code
WScript.Echo "Day closed by Z report " & Left(totals, InStr(totals, ",") - 1) & _
             "; sales by tax group in hundredths: " & Mid(totals, InStr(totals, ",") + 1)

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
