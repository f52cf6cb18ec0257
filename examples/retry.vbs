' GetError 17 (the reply was garbled), 19 (no complete reply) and 21 (busy past the limit) mean
' that the printer may have carried out the command. A program that simply calls again may sell,
' pay or close twice: this one reads what the printer holds before it tries again.
' Usage: cscript //nologo retry.vbs [port [speed]]   (default: COM1, 115200)
Option Explicit
Dim ecr, port, speed, number, before, sum, paid
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

' True when the last call failed without telling whether the printer carried it out.
Function MayHaveRun()
  Dim code
  code = ecr.GetError()
  MayHaveRun = (code = 17 Or code = 19 Or code = 21)
End Function

Sub Fail(what)
  WScript.Echo what & ": GetError " & ecr.GetError() & ", StatusBytes " & ecr.StatusBytes
  WScript.Quit 1
End Sub

' The reading that decides got no answer either: a person looks at the printer and its paper.
Sub Unknown(what)
  WScript.Echo what & ": the printer does not answer; look at the receipt before going on"
  WScript.Quit 1
End Sub

Set ecr = CreateObject("MolvexECR.TECRFisc")
If ecr.SetComPort(port, speed) = -1 Then WScript.Echo "no port" : WScript.Quit 1
number = ecr.NumbRec  ' the last receipt's number
If number = -1 Then Fail "NumbRec"

' Open: Receipt tells whether a fiscal receipt is open now (1) or none (0).
If Not ecr.OpenFiscReceipt(1, 1, "") Then
  If Not MayHaveRun() Then Fail "OpenFiscReceipt"
  Select Case ecr.Receipt
    Case 1
      WScript.Echo "OpenFiscReceipt: the printer opened the receipt"
    Case 0
      If Not ecr.OpenFiscReceipt(1, 1, "") Then Fail "OpenFiscReceipt, second try"
    Case -1
      Unknown "OpenFiscReceipt"
    Case Else
      Fail "OpenFiscReceipt (another kind of receipt is open)"
  End Select
End If

' Sell: the receipt's sum tells whether the line was registered.
before = ecr.GetReceiptSum()
If before = -1 Then Fail "GetReceiptSum"
If ecr.SellArticul("Хлеб", 12.5, 2, 0, 1, "", 0, 0) <> 1 Then
  If Not MayHaveRun() Then Fail "SellArticul"
  sum = ecr.GetReceiptSum()
  If sum = -1 Then Unknown "SellArticul"
  If sum > before Then
    WScript.Echo "SellArticul: the printer registered the line; it is not sold again"
  ElseIf ecr.SellArticul("Хлеб", 12.5, 2, 0, 1, "", 0, 0) <> 1 Then
    Fail "SellArticul, second try"
  End If
End If

' Pay the rest in cash: what the receipt holds as paid tells whether the payment went through.
sum = ecr.GetReceiptSum()
If sum = -1 Then Fail "GetReceiptSum"
If Not ecr.Payment(0, 0) Then
  If Not MayHaveRun() Then Fail "Payment"
  paid = ecr.GetReceiptPay()
  If paid = -1 Then Unknown "Payment"
  If paid >= sum Then
    WScript.Echo "Payment: the printer registered the payment; it is not paid again"
  ElseIf Not ecr.Payment(0, 0) Then
    Fail "Payment, second try"
  End If
End If

' Close: no receipt open any more (Receipt 0) tells that it was closed.
If Not ecr.CloseFiscReceipt() Then
  If Not MayHaveRun() Then Fail "CloseFiscReceipt"
  Select Case ecr.Receipt
    Case 0
      WScript.Echo "CloseFiscReceipt: the printer closed the receipt"
    Case 1
      If Not ecr.CloseFiscReceipt() Then Fail "CloseFiscReceipt, second try"
    Case Else
      Unknown "CloseFiscReceipt"
  End Select
End If
If ecr.NumbRec <> number + 1 Then Fail "NumbRec after the receipt"
WScript.Echo "Receipt " & (number + 1) & ": " & sum

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
