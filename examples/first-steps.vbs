' First steps: open the port, check the printer, read the outcome of a call, close the port.
' Usage: cscript //nologo first-steps.vbs [port [speed]]     (default: COM1 at 115200 baud)
Option Explicit
Dim ecr, port, speed, opened
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

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
If ecr.DisplayUP("Welcome") Then WScript.Echo "Display: StatusBytes " & ecr.StatusBytes
If Not ecr.OpenDrawer(200) Then   ' a pulse outside 5..150 is refused
  WScript.Echo "OpenDrawer(200): StatusBytes " & ecr.StatusBytes & ", GetError " & ecr.GetError()
End If
' The six status bytes of the last reply; Status0..Status5 are one-byte integers (I1),
' which VBScript takes through CInt.
WScript.Echo "IsPresent: " & ecr.IsPresent() & ", status byte 5: " & CInt(ecr.Status5)

ecr.CloseComPort port
Set ecr = Nothing   ' release the object before the script ends
WScript.Echo "Done."
