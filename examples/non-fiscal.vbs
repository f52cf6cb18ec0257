' A non-fiscal receipt: free text on paper, outside the fiscal memory (an order for the kitchen,
' a note for the guest). Usage: cscript //nologo non-fiscal.vbs [port [speed]]   (COM1, 115200)
' Save it in Windows-1251 (the ANSI code page of a Russian Windows) to keep its Cyrillic lines.
Option Explicit
Dim ecr, port, speed
port = 1 : speed = 115200
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
If WScript.Arguments.Count > 1 Then speed = CLng(WScript.Arguments(1))

Sub Fail(what)
  WScript.Echo what & " failed: StatusBytes " & ecr.StatusBytes & ", GetError " & ecr.GetError()
  ecr.CloseComPort port
  WScript.Quit 1
End Sub

Set ecr = CreateObject("MolvexECR.TECRFisc")
If ecr.SetComPort(port, speed) = -1 Then WScript.Echo "no port" : WScript.Quit 1

' GetError 7: another receipt is open (Receipt tells which: 1 sale, 2 refund, 3 non-fiscal).
If Not ecr.OpenNonFiscReceipt() Then Fail "OpenNonFiscReceipt"
' NonFiscal asks the printer: 1 while a non-fiscal receipt is open.
If ecr.NonFiscal <> 1 Then Fail "NonFiscal"

' At most 35 characters a line.
If Not ecr.PrntNonFiscal("Стол 4: два гостя") Then Fail "PrntNonFiscal"
If Not ecr.PrntNonFiscal("Без лука - соус отдельно") Then Fail "PrntNonFiscal"
' A longer line is refused by the object (StatusBytes -1, GetError 1) and nothing is printed;
' the receipt stays open for the next line.
If ecr.PrntNonFiscal("Приятного аппетита, ждём вас снова!!") Then Fail "a line of 36 characters"
WScript.Echo "A line of 36 characters: refused, StatusBytes " & ecr.StatusBytes
If Not ecr.PrntNonFiscal("Приятного аппетита!") Then Fail "PrntNonFiscal"

If Not ecr.CloseNonFiscReceipt() Then Fail "CloseNonFiscReceipt"
If ecr.NonFiscal <> 0 Then Fail "NonFiscal after closing"
WScript.Echo "Non-fiscal receipt printed"

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
