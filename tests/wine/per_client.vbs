' Clients of a server registered with /RegServer /PerClient: each object in a server process of
' its own, with its own port and state.
' Prices are given in kopecks (a text with a decimal point would be read in the locale's format).
'   per_client.vbs other PORT OTHERPORT PRICE
'     a second program while another one holds OTHERPORT open in the middle of a receipt: its
'     object has no port open, its CloseComPort(OTHERPORT) is refused and leaves that port alone,
'     and it sells a receipt of its own at PRICE on PORT
'   per_client.vbs two PORT1 PORT2 PRICE1 PRICE2
'     one program, two objects, two printers: both receipts open at the same time, their calls
'     interleaved; the second object's CloseComPort(PORT1) leaves the first one's port alone
Option Explicit
Dim passed, failed
passed = 0 : failed = 0
Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

Function Near(a, b)
  Near = Abs(a - b) < 0.005
End Function

Dim args : Set args = WScript.Arguments
Dim r, o, o1, o2, price
If args(0) = "other" Then
  price = CLng(args(3)) / 100
  Set o = CreateObject("MolvexECR.TECRFisc")
  Check o.IsPresent() = False, "IsPresent: no port is open for this object"
  Check o.CloseComPort(CInt(args(2))) = -1, "CloseComPort of the other program's port is refused"
  r = o.SetComPort(CInt(args(1)), 115200)
  Check r = 1 Or r = 100, "SetComPort opens this object's port"
  Check o.OpenFiscReceipt(1, 1, "") = True, "OpenFiscReceipt"
  Check o.SellArticul("Other line", price, 1, 1, 1, "", 0, 0) = 1, "SellArticul"
  Check Near(o.GetReceiptSum(), price), "GetReceiptSum"
  Check o.Payment(0, 0) = True, "Payment of the rest"
  Check o.CloseFiscReceipt() = True, "CloseFiscReceipt"
  Check o.CloseComPort(CInt(args(1))) = 1, "CloseComPort of this object's port"
  Set o = Nothing
ElseIf args(0) = "two" Then
  Dim p1, p2, price1, price2
  p1 = CInt(args(1)) : p2 = CInt(args(2)) : price1 = CLng(args(3)) / 100 : price2 = CLng(args(4)) / 100
  Set o1 = CreateObject("MolvexECR.TECRFisc")
  Set o2 = CreateObject("MolvexECR.TECRFisc")
  r = o1.SetComPort(p1, 115200)
  Check r = 1 Or r = 100, "first object: SetComPort"
  Check o2.IsPresent() = False, "second object: no port open after the first one opened its port"
  r = o2.SetComPort(p2, 115200)
  Check r = 1 Or r = 100, "second object: SetComPort"
  Check o1.OpenFiscReceipt(1, 1, "") = True, "first object: OpenFiscReceipt"
  Check o2.OpenFiscReceipt(1, 1, "") = True, "second object: OpenFiscReceipt"
  Check o1.SellArticul("First line", price1, 1, 1, 1, "", 0, 0) = 1, "first object: SellArticul"
  Check o2.SellArticul("Second line", price2, 1, 1, 1, "", 0, 0) = 1, "second object: SellArticul"
  Check o2.CloseComPort(p1) = -1, "second object: CloseComPort of the first one's port is refused"
  Check o1.IsPresent() = True, "first object: its port is still open"
  Check Near(o1.GetReceiptSum(), price1), "first object: GetReceiptSum"
  Check Near(o2.GetReceiptSum(), price2), "second object: GetReceiptSum"
  Check o1.Payment(0, 0) = True, "first object: Payment"
  Check o2.Payment(0, 0) = True, "second object: Payment"
  Check o2.CloseFiscReceipt() = True, "second object: CloseFiscReceipt"
  Check o1.CloseFiscReceipt() = True, "first object: CloseFiscReceipt"
  Check o1.CloseComPort(p1) = 1, "first object: CloseComPort"
  Check o2.CloseComPort(p2) = 1, "second object: CloseComPort"
  Set o1 = Nothing
  Set o2 = Nothing
Else
  Check False, "unknown role " & args(0)
End If
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
