' Articles and operators: program two articles, read them back, walk the article table,
' change a price, delete the articles again; name an operator and manage the password.
' Usage: cscript //nologo articles.vbs [port [speed]]     (default: COM1 at 115200 baud)
Option Explicit
Dim ecr, port, speed, record, count
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

' The tax group is given as its letter code: &HC0..&HC4 are А, Б, В, Г, Д (Windows-1251).
' The administrator password is empty on a new printer.
If Not ecr.ProgramArt(&HC0, 14001, 1, 12.5, "", "Хлеб белый") Then Fail "ProgramArt 14001"
If Not ecr.ProgramArt(&HC1, 14002, 2, 4.2, "", "Молоко 1 л") Then Fail "ProgramArt 14002"
If Not ecr.ChangePrice(14002, 4.35, "") Then Fail "ChangePrice 14002"

' One article: number, tax letter, group, price, sold quantity, sold sum, sale lines, 0, name.
record = ecr.GetArtInfo(14002)
If record = "" Then Fail "GetArtInfo 14002"
WScript.Echo "14002: " & record

' The whole table: FirstArt, then NextArt until an empty text.
count = 0
record = ecr.FirstArt
Do While record <> ""
  count = count + 1
  record = ecr.NextArt
Loop
WScript.Echo count & " articles programmed"

' An article sold since the last Z report cannot be deleted (the printer answers F).
If Not ecr.DeleteArt(14001, "") Then Fail "DeleteArt 14001"
If Not ecr.DeleteArt(14002, "") Then Fail "DeleteArt 14002"
If ecr.GetArtInfo(14001) <> "" Then Fail "GetArtInfo after DeleteArt"

' Operators 1..15: a name, a password, and the administrator's reset of the password.
If Not ecr.SetOperatorName(7, "", "Ирина") Then Fail "SetOperatorName"
If Not ecr.SetOperatorPassword(7, "", "2580") Then Fail "SetOperatorPassword"
If Not ecr.SetOperatorName(7, "2580", "Ирина П.") Then Fail "SetOperatorName with the password"
' The third argument is declared an input: pass a value, and read the outcome from StatusBytes.
Call ecr.ClearOperatorPassword("", 7, False)
If ecr.StatusBytes <> 0 Then Fail "ClearOperatorPassword"

ecr.CloseComPort port
Set ecr = Nothing
WScript.Echo "Done."
