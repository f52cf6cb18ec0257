' A client that makes a new object for every operation and lets it go at once, as many point of
' sale programs do: every release ends the server, every creation may meet one that is ending.
' Each round must get a working object.
Option Explicit
Dim passed, failed, o, i
passed = 0 : failed = 0
Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

On Error Resume Next
For i = 1 To 15
  Err.Clear
  Set o = CreateObject("MolvexECR.TECRFisc")
  Check Err.Number = 0, "round " & i & ": CreateObject (" & Hex(Err.Number) & " " & Err.Description & ")"
  If Err.Number = 0 Then
    Check o.GetVerDLL() = "MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014", "round " & i & ": GetVerDLL (" & Hex(Err.Number) & ")"
  End If
  Set o = Nothing
Next
On Error GoTo 0
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit 40 + failed
