' A sale that tells the till the truth when a reply is lost. Before the receipt it reads what it
' will compare afterwards (NumbRec, and that no receipt is open); when a call of the receipt
' fails, it reads what the printer holds and ends with one of three answers:
'   Printed: receipt N      the receipt is on the paper, once (exit code 0)
'   Not printed             nothing of it counts; the sale may be made again (exit code 2)
'   Stop                    a person looks at the printer and its paper; nothing is cancelled
'                           blindly (exit code 1)
' Usage: cscript //nologo lost-reply.vbs [port [speed]]   (default: COM1, 115200)
Option Explicit
Dim ecr, port, speed, number, total, held
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))
total = 25  ' two loaves at 12.50: the receipt's sum once every line is in
held = 0    ' the receipt's sum as far as the printer confirmed it

Sub Finish(code, text)
  WScript.Echo text
  ecr.CloseComPort port
  Set ecr = Nothing
  WScript.Quit code
End Sub

Sub Printed(receipt)
  Finish 0, "Printed: receipt " & receipt & ", " & total
End Sub

Sub NotPrinted(why)
  Finish 2, "Not printed (" & why & "): the sale may be made again"
End Sub

Sub CallSomeone(found)
  Finish 1, "Stop: " & found & "; look at the printer and its paper before going on"
End Sub

' A call of the receipt failed. GetError 17, 18, 19 and 21 leave open whether the printer carried
' it out; after any other failure it did not. Either way what the printer holds decides.
' sumWith: the receipt's sum once this call took effect; closing: the call was the close.
Sub Lost(what, sumWith, closing)
  Dim kind, last, sum, paid
  WScript.Echo what & ": failed (GetError " & ecr.GetError() & "), reading the printer"
  kind = ecr.Receipt   ' 0 none open, 1 fiscal, 2 refund, 3 non-fiscal
  last = ecr.NumbRec   ' the last receipt's number
  If kind = -1 Or last = -1 Then CallSomeone "the printer does not answer"
  If kind = 0 And last = number + 1 And closing Then Printed last
  If kind = 0 And last = number Then NotPrinted "no receipt open, NumbRec unchanged"
  If kind <> 1 Or last <> number Then
    CallSomeone "Receipt " & kind & " and NumbRec " & last & " (" & number & " before ours)"
  End If
  ' A fiscal receipt is open and none was closed since ours was opened: it is ours when it
  ' holds the sum of our lines, with or without the one of the failed call.
  sum = ecr.GetReceiptSum()
  If sum = -1 Then CallSomeone "the printer does not answer"
  If sum <> held And sum <> sumWith Then
    CallSomeone "a fiscal receipt of " & sum & " is open, ours holds " & held
  End If
  paid = ecr.GetReceiptPay()
  If paid = -1 Then CallSomeone "the printer does not answer"
  If sum = total And paid >= total Then
    WScript.Echo "our receipt is open and paid in full: closing it"
    If ecr.CloseFiscReceipt() Then Printed number + 1
  Else
    WScript.Echo "our receipt is open with " & sum & ", paid " & paid & ": cancelling it"
    If ecr.ReceiptCancel() Then NotPrinted "our receipt cancelled"
  End If
  CallSomeone "the printer failed again (GetError " & ecr.GetError() & ")"
End Sub

Set ecr = CreateObject("MolvexECR.TECRFisc")
If ecr.SetComPort(port, speed) = -1 Then
  WScript.Echo "COM" & port & " cannot be opened"
  WScript.Quit 1
End If
' What is compared afterwards: the last receipt's number, and that no receipt is open.
number = ecr.NumbRec
If number = -1 Then CallSomeone "the printer does not answer"
Select Case ecr.Receipt
  Case 0
  Case -1
    CallSomeone "the printer does not answer"
  Case Else
    CallSomeone "a receipt is open before ours"
End Select

If Not ecr.OpenFiscReceipt(1, 1, "") Then Lost "OpenFiscReceipt", 0, False
If ecr.SellArticul("Хлеб", 12.5, 2, 0, 1, "", 0, 0) <> 1 Then Lost "SellArticul", total, False
held = total
' The amount is given: paying the rest (0) would ask the printer for it first.
If Not ecr.Payment(total, 0) Then Lost "Payment", total, False
If Not ecr.CloseFiscReceipt() Then Lost "CloseFiscReceipt", total, True
Printed number + 1
