// Late-bound client in JScript for the receipt entries: a sale by name, a refund, a cancelled
// receipt, a non-fiscal receipt and the receipt reads, a sale on the display with payments for
// the control tape, a copy, a zero receipt and a journal copy, on a printer of its own.
// Argument: the COM port of that printer.
// Ends with "N passed, N failed" and quits with 40 + failures: a script error that aborts the
// run silently exits with 0, which the runner does not take as a pass.
var passed = 0, failed = 0;
var port = parseInt(WScript.Arguments(0), 10);

function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAIL: " + what);
  }
}

var o = new ActiveXObject("MolvexECR.TECRFisc");
var juice = "\u0421\u043e\u043a \u0430\u043f\u0435\u043b\u044c\u0441\u0438\u043d\u043e\u0432\u044b\u0439";  // Сок апельсиновый
var tea = "\u0427\u0430\u0439 \u0447\u0451\u0440\u043d\u044b\u0439";  // Чай чёрный

check(o.SetComPort(port, 115200) != -1, "SetComPort");
var first = o.NumbRec;
check(first >= 0, "NumbRec before the sale: " + first);

// A sale by name and price, paid in two parts.
check(o.OpenFiscReceipt(1, 1, "") === true, "OpenFiscReceipt");
check(o.Receipt == 1, "Receipt while a sale is open: " + o.Receipt);
check(o.SellArticul(juice, 64.5, 2, 0, 5, "", 0, 0) == 1, "SellArticul with a Cyrillic name");
check(o.SellArticul(tea, 99.99, 1, 1, 5, "", -10, 0) == 1, "SellArticul with a percentage");
check(o.GetReceiptSum() == 218.99, "GetReceiptSum: " + o.GetReceiptSum());
check(o.GetReceiptPay() == 0, "GetReceiptPay before any payment");
check(o.Payment(18.99, 1) === true, "Payment by card");
check(o.GetReceiptPay() == 18.99, "GetReceiptPay after the card: " + o.GetReceiptPay());
check(o.Payment(0, 0) === true, "Payment of the rest in cash");
check(o.GetReceiptPay() == 218.99, "GetReceiptPay after the rest");
check(o.CloseFiscReceipt() === true, "CloseFiscReceipt");
check(o.NumbRec == first + 1, "NumbRec after the sale: " + o.NumbRec);
check(o.Receipt == 0, "Receipt after closing");

// A refund of one juice: found in the article table where the sale programmed it.
check(o.OpenRefundReceipt(1, 1, "") === true, "OpenRefundReceipt");
check(o.Receipt == 2, "Receipt while a refund is open: " + o.Receipt);
check(o.SellArticul(juice, 64.5, 1, 0, 5, "", 0, 0) == 1, "SellArticul in the refund");
check(o.GetReceiptSum() == 64.5, "GetReceiptSum of the refund: " + o.GetReceiptSum());
check(o.Payment(0, 0) === true, "refund paid out in cash");
check(o.CloseFiscReceipt() === true, "CloseFiscReceipt of the refund");
check(o.NumbRec == first + 2, "NumbRec after the refund: " + o.NumbRec);

// A receipt cancelled before payment, and a negative price: a failed call with error -4.
check(o.OpenFiscReceipt(1, 1, "") === true, "OpenFiscReceipt to cancel");
check(o.SellArticul(tea, 99.99, 1, 1, 5, "", 0, 0) == 1, "SellArticul before the cancel");
var caught = null;
try {
  o.SellArticul(tea, -1, 1, 1, 5, "", 0, 0);
} catch (e) {
  caught = e;
}
check(caught != null && caught.number == -4 &&
          caught.description.indexOf("SellArticul: the price is negative; nothing was sold.") == 0,
      "a negative price fails the call with -4 and says so: " +
          (caught ? caught.number + " " + caught.description : "no error"));
check(o.ReceiptCancel() === true, "ReceiptCancel");
check(o.Receipt == 0 && o.GetReceiptSum() == 0, "nothing open after the cancel");
check(o.NumbRec == first + 2, "a cancelled receipt gets no number");

// A non-fiscal receipt.
check(o.OpenNonFiscReceipt() === true, "OpenNonFiscReceipt");
check(o.NonFiscal == 1 && o.Receipt == 3, "NonFiscal and Receipt while it is open");
check(o.PrntNonFiscal("\u0421\u043f\u0430\u0441\u0438\u0431\u043e!") === true, "PrntNonFiscal");
check(o.PrntNonFiscal("123456789012345678901234567890123456") === false && o.GetError() == 1,
      "a line of 36 characters is refused");
check(o.CloseNonFiscReceipt() === true, "CloseNonFiscReceipt");
check(o.NonFiscal == 0, "NonFiscal after closing");
check(o.StatusBytes == 0 && o.GetError() == 0, "StatusBytes and GetError at the end");

// A sale shown on the customer display, a text line and bar codes inside the receipt, and two
// payments with a transaction code for the control tape, the second one of the rest (the runner
// finds both data texts on the line).
var before = o.NumbRec;
check(o.OpenFiscReceipt(1, 1, "") === true, "OpenFiscReceipt for the display sale");
check(o.SellArtCashDS(true, 1, 2, 0, 0) === true, "SellArtCashDS: two of article 1");
var delivery = "\u0414\u043e\u0441\u0442\u0430\u0432\u043a\u0430 \u0437\u0430\u0432\u0442\u0440\u0430";  // Доставка завтра
check(o.StrPrntCash(delivery) === true, "StrPrntCash with Cyrillic text");
check(o.StrPrntCash("1234567890123456789012345") === false && o.StatusBytes == -1 &&
          o.GetError() == 1,
      "StrPrntCash with 25 characters is refused");
check(o.MakeBarcode(1, "4820001234567") == 13, "MakeBarcode gives the printer's count of characters");
check(o.MakeBarcode(1, "\u0448\u0442\u0440\u0438\u0445") == -3 && o.StatusBytes == -2 &&
          o.GetError() == 2,
      "a bar code the printer cannot print: -3 and its syntax error");
check(o.GetReceiptSum() == 25, "GetReceiptSum: " + o.GetReceiptSum());
check(o.NewPayment(true, 10, 1, "TX-0001") === true, "NewPayment of 10.00 by card with a code");
check(o.GetReceiptPay() == 10, "GetReceiptPay after it: " + o.GetReceiptPay());
check(o.NewPayment(true, -1, 1, "TX") === false && o.StatusBytes == -1, "a negative NewPayment is refused");
check(o.NewPayment(true, 0, 1, "TX-0002") === true, "NewPayment of the rest by card with a code");
check(o.GetReceiptPay() == 25, "GetReceiptPay after the rest: " + o.GetReceiptPay());
check(o.CloseFiscReceipt() === true, "CloseFiscReceipt of the display sale");
check(o.NumbRec == before + 1, "NumbRec after the display sale: " + o.NumbRec);

// A copy of that receipt, a zero receipt, and a document of the control tape.
check(o.DoCopy(1) === true, "DoCopy(1)");
check(o.DoCopy(3) === false && o.StatusBytes == -1 && o.GetError() == 1, "DoCopy(3) is refused");
check(o.NullReceipt(1, 1, "") === true, "NullReceipt");
check(o.NumbRec == before + 2 && o.Receipt == 0, "the zero receipt is numbered and closed");
check(o.PrintFiscalCopyKSEF(1) == 1, "PrintFiscalCopyKSEF of document 1");
check(o.PrintFiscalCopyKSEF(99999) == -3 && o.StatusBytes == -2 && o.GetError() == 7,
      "PrintFiscalCopyKSEF of a document never printed");

check(o.CloseComPort(port) == 1, "CloseComPort");
o = null;
CollectGarbage();
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(40 + failed);
