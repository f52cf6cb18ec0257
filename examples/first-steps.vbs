' First steps: open the port, check the printer, read the outcome of a call, close the port.
' Usage: cscript //nologo first-steps.vbs [port [speed]]     (default: COM1 at 115200 baud)
Option Explicit
Dim ecr, port, speed, opened
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

' Why the last printer call went as it did.
Sub Explain(what)
  If ecr.StatusBytes = 0 Then
    WScript.Echo what & ": done"
  ElseIf ecr.StatusBytes = -1 Then
    WScript.Echo what & ": refused by the object, nothing sent (no port, or a bad argument)"
  ElseIf ecr.TimeOutFP Then
    WScript.Echo what & ": no answer from the printer, GetError " & ecr.GetError()  ' 17, 18, 19, 21
  Else
    ' The printer refused: GetError names the reason, the status bytes show all its bits.
    WScript.Echo what & ": refused by the printer, GetError " & ecr.GetError() & _
                 ", status bytes " & CInt(ecr.Status0) & " " & CInt(ecr.Status1) & " " & _
                 CInt(ecr.Status2) & " " & CInt(ecr.Status4) & " " & CInt(ecr.Status5)
  End If
End Sub

Set ecr = CreateObject("MolvexECR.TECRFisc")
WScript.Echo ecr.GetVerDLL()

' 1: opened; 100: opened, no C:\ECR\ZRepRec.ini; -100: opened, IdReastaurant empty in it;
' -1: the port cannot be opened or the speed is not 9600, 19200, 57600 or 115200.
opened = ecr.SetComPort(port, speed)
If opened = -1 Then
  WScript.Echo "COM" & port & " cannot be opened at " & speed & " baud"
  WScript.Quit 1
End If

If Not ecr.IsPresent() Then
  ' StatusBytes is -2: the printer refused, or did not answer at all (TimeOutFP true).
  WScript.Echo "No printer on COM" & port & ": GetError " & ecr.GetError() & _
               ", no answer: " & ecr.TimeOutFP
  ecr.CloseComPort port
  WScript.Quit 1
End If
WScript.Echo "Printer: " & ecr.ID_DEV & ", clock: " & ecr.DateTime

' Every printer call leaves its outcome behind until the next one:
' StatusBytes 0 success, -1 refused by the object (nothing sent), -2 failed at the printer.
ecr.DisplayUP "Welcome"
Explain "DisplayUP"
ecr.OpenDrawer 200   ' a pulse outside 5..150 is refused
Explain "OpenDrawer(200)"
ecr.WriteDateTime "31-02-26", "10:00"   ' no such date: the printer refuses it
Explain "WriteDateTime(31-02-26)"

ecr.CloseComPort port
Set ecr = Nothing   ' release the object before the script ends
WScript.Echo "Done."
