' The sale of examples/sale.txt from VBScript, through the automation object MolvexECR.TECRFisc:
'   cscript //nologo sale.vbs [PORT]          (COM1 when no port is given, 115200 baud)
' The printer holds two programmed articles: 1 (Хлеб, 12.50, tax group А) and 2 (Молоко, 30.00,
' tax group Б); change the numbers to the articles of your printer. Every call is shown with
' what it gave; the script ends with exit code 0 when every call gave what it should, else 1.
Option Explicit
Dim o, port, opened, failures
port = 1
If WScript.Arguments.Count > 0 Then port = CInt(WScript.Arguments(0))
failures = 0

' Text from its Windows-1251 byte values, so that this file reads the same in any code page:
' Chr gives the character of that byte in the system's code page, and the object hands the
' printer that byte again. On a Windows whose ANSI code page is not Windows-1251 these are other
' characters, which the object refuses (they have no place in the printer's code page) instead of
' printing something else.
Function Cp1251(codes)
  Dim code, text
  text = ""
  For Each code In Split(codes, " ")
    text = text & Chr(CInt(code))
  Next
  Cp1251 = text
End Function

' Shows a call and what it gave, counting the calls that did not give what they should.
' (A boolean is shown as -1 or 0: its text would be in the language of the system.)
Sub Expect(what, got, wanted)
  Dim shown
  If VarType(got) = vbBoolean Then shown = CInt(got) Else shown = got
  If got = wanted Then
    WScript.Echo what & ": ok (" & shown & ")"
  Else
    failures = failures + 1
    WScript.Echo what & ": FAILED, gave " & shown & " (GetError " & o.GetError() & _
                 ", StatusBytes " & o.StatusBytes & ")"
  End If
End Sub

Dim juice, thanks, welcome
juice = Cp1251("209 238 234 32 255 225 235 238 247 237 251 233 32 49 32 235")  ' Сок яблочный 1 л
thanks = Cp1251("209 239 224 241 232 225 238 32 231 224 32 239 238 234 243 239 234 243 33")  ' Спасибо за покупку!
welcome = Cp1251("198 228 184 236 32 226 224 241 32 241 237 238 226 224 46")  ' Ждём вас снова.

Set o = CreateObject("MolvexECR.TECRFisc")
' 1, or 100 / -100 when C:\ECR\ZRepRec.ini is missing or names no restaurant; -1: no port.
opened = o.SetComPort(port, 115200)
If opened = -1 Then
  WScript.Echo "COM" & port & " cannot be opened"
  Set o = Nothing
  WScript.Quit 1
End If
WScript.Echo "SetComPort: COM" & port & " open (" & opened & ")"

' A fiscal receipt for operator 1 (no password) at till 1.
Expect "OpenFiscReceipt", o.OpenFiscReceipt(1, 1, ""), True
Expect "Receipt", o.Receipt, 1
' Two programmed articles by number: two loaves, and 1.5 of milk at 10 % off.
Expect "SellArtCash 1", o.SellArtCash(True, 1, 2, 0, 0), True
Expect "SellArtCash 2", o.SellArtCash(True, 2, 1.5, -10, 0), True
' One by name and price (tax group Б, group 3): found in the printer's table, or programmed.
Expect "SellArticul", o.SellArticul(juice, 89.9, 1, 1, 3, "", 0, 0), 1
Expect "GetReceiptSum", o.GetReceiptSum(), 155.4
' The subtotal, printed, with 5.40 off.
Expect "SubTotalDS", o.SubTotalDS(True, False, 0, -5.4), True
Expect "GetReceiptSum", o.GetReceiptSum(), 150
' 100.00 by card, the rest in cash.
Expect "Payment by card", o.Payment(100, 1), True
Expect "Payment of the rest", o.Payment(0, 0), True
Expect "GetReceiptPay", o.GetReceiptPay(), 150
Expect "CloseFiscReceipt", o.CloseFiscReceipt(), True
WScript.Echo "NumbRec: " & o.NumbRec
Expect "GetError", o.GetError(), 0

' A short non-fiscal receipt.
Expect "OpenNonFiscReceipt", o.OpenNonFiscReceipt(), True
Expect "NonFiscal", o.NonFiscal, 1
Expect "PrntNonFiscal", o.PrntNonFiscal(thanks), True
Expect "PrntNonFiscal", o.PrntNonFiscal(welcome), True
Expect "CloseNonFiscReceipt", o.CloseNonFiscReceipt(), True
Expect "NonFiscal", o.NonFiscal, 0

o.CloseComPort port
Set o = Nothing
If failures = 0 Then
  WScript.Echo "every call gave what it should"
  WScript.Quit 0
End If
WScript.Echo failures & " call(s) did not give what they should"
WScript.Quit 1
