// Late-bound client in JScript: the entries of the object through CreateObject and IDispatch.
// Arguments: the expected SetComPort result (1 with C:\ECR\ZRepRec.ini, 100 without) and the
// control file of the virtual printer (to arm faults).
// Ends with "N passed, N failed" and quits with 40 + failures: a script error that aborts the
// run silently exits with 0, which the runner does not take as a pass.
var passed = 0, failed = 0;
var expectedOpen = parseInt(WScript.Arguments(0), 10);
var control = WScript.Arguments(1);

function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAIL: " + what);
  }
}

// Arms a fault for the next request(s) of the virtual printer.
function arm(command) {
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  var f = fso.OpenTextFile(control, 8, true);
  f.WriteLine(command);
  f.Close();
}

var o = new ActiveXObject("MolvexECR.TECRFisc");

check(o.GetVerDLL() == "MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014", "GetVerDLL");
check(o.VersionDLL == "MolvexECR OLE v5.20 LT7260R 21.08.2013", "VersionDLL");
check(o.OpenDrawer(5) == false, "OpenDrawer before SetComPort is refused");
check(o.GetError() == 1, "GetError after a refusal");

check(o.SetComPort(1, 9600) == expectedOpen, "SetComPort(1, 9600) = " + expectedOpen);
check(o.SetComPort(1, 0) == -1, "SetComPort at speed 0 is refused");
check(o.IsPresent() == true, "IsPresent over the port kept open by the refused call");
check(o.GetError() == 0 && o.StatusBytes == 0, "GetError and StatusBytes after success");

// Booleans arrive as automation booleans: true is -1 when read as a number.
check(o.ClearRegDisplay() === true, "ClearRegDisplay gives a boolean");
check(o.DisplayUP("\u0421\u0443\u043c\u043c\u0430 \u0447\u0435\u043a\u0430") == true,
      "DisplayUP with Cyrillic text");
check(o.DisplayDown("\u0421\u043f\u0430\u0441\u0438\u0431\u043e!") == true,
      "DisplayDown with Cyrillic text");
check(o.OpenDrawer(150) == true, "OpenDrawer(150)");
check(o.OpenDrawer(0) == false && o.GetError() == 1, "OpenDrawer(0) is refused");

// Before the VBScript client's date and before the Z reports of the run (see client.vbs).
check(o.WriteDateTime("31-12-34", "23:59:00") == 0, "WriteDateTime");
check(o.DateTime.substring(0, 13) == "31-12-34 23:5", "DateTime after WriteDateTime");
check(o.DispDayTime() == 1 && o.ReceiptCut() == 1, "DispDayTime and ReceiptCut");

// Network settings and the exception of an address that is no decimal number.
o.StatIPPr = "10.20.30.40";
o.SubnetMaskPr = "255.0.0.0";
o.BridgeAddrPr = "10.20.30.1";
o.TargetAddrPr = "10.1.2.3";
o.TargetPortPr = 65535;
o.RepeatPeriodPr = 1000;
o.RepeatByErrorPr = 0;
check(o.WriteNetParams() == 0, "WriteNetParams");
o.TargetAddrPr = "10.1.2.x";  // the last address: nothing is sent
var caught = null;
try {
  o.WriteNetParams();
} catch (e) {
  caught = e;
}
// The error number is the script engine's business (DISP_E_EXCEPTION on Windows, E_FAIL under
// Wine); the description is the object's.
check(caught != null && caught.number < 0, "the call raises an error");
check(caught != null && caught.description == "'x' is not a valid decimal number",
      "its description: " + (caught ? caught.description : "none"));
check(o.GetNetParams() == 0 && o.StatIPPr == "10.20.30.40" && o.TargetPortPr == 65535 &&
          o.RepeatPeriodPr == 1000 && o.TargetAddrPr == "10.1.2.3",
      "GetNetParams reads back what was written");
o.DHCPworkPr = true;
check(o.DHCPworkPr === true && o.StatIPPr == "10.20.30.40",
      "DHCPworkPr put changes only itself");

// Each armed fault takes one request; IsPresent decides on its second status read.
arm("nak");
arm("silence");
check(o.IsPresent() == false, "IsPresent without an answer");
check(o.GetError() == 19 && o.TimeOutFP == true, "GetError 19 and TimeOutFP after silence");
arm("nak 2");
check(o.DisplayUP("x") == false, "DisplayUP answered with NAK fails");
check(o.GetError() == 18 && o.StatusBytes == -2, "GetError 18 after NAK");

// Articles and operators; ClearOperatorPassword takes its declared-input result as a value.
check(o.ProgramArt(0xC3, 14301, 12, 0.5, "", "\u0421\u043e\u043b\u044c") == true, "ProgramArt");
check(o.GetArtInfo(14301) == "14301,\u0413,12,0.50,0.000,0.00,0,0,\u0421\u043e\u043b\u044c",
      "GetArtInfo: " + o.GetArtInfo(14301));
check(o.DeleteArt(14301, "") == true && o.GetArtInfo(14301) == "", "DeleteArt");
check(o.SetOperatorPassword(11, "", "77") == true, "SetOperatorPassword");
o.ClearOperatorPassword("", 11, false);
check(o.StatusBytes == 0 && o.SetOperatorName(11, "any", "Anna") == true,
      "ClearOperatorPassword lets any password pass again");
o.ServiceIn = 20;
check(o.StatusBytes == 0 && o.CashInfo >= 20, "ServiceIn and CashInfo");
o.TotalIdx = 1;
check(o.CurrentTotals.split(",").length == 6, "CurrentTotals with TotalIdx 1");
o.TotalIdx = -1;
var raised = null;
try {
  o.LastZReport;
} catch (e) {
  raised = e;
}
check(raised != null && raised.number == -1 &&
          raised.description.indexOf("LastZReport: the printer's totals could not be read: ") == 0,
      "a failed LastZReport raises error -1 with a description of what happened: " +
          (raised ? raised.description : "no error"));
o.TotalIdx = 0;
o.FPIndexStatus = -1;
check(o.FPIndexStatus == 0, "FPIndexStatus -1 reads back as 0");
check(o.CloseComPort(1) == 1, "CloseComPort(1)");

o = null;
CollectGarbage();
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(40 + failed);
