// A native client bound early to ITECRFisc: creates the object out of process with
// CoCreateInstance and calls through the vtable, as a compiled POS application does.
// Usage: early_client <com port number>   (the port must reach the virtual printer)
//        early_client churn <rounds> <step in ms>
//          creates and releases objects in a row (see Churn)
//        early_client hold <com port number> <flag file> [gone]
//          opens the port, prints "holding", keeps the object until the flag file exists, then
//          calls it again: it must answer, or with "gone" (the server was closed meanwhile)
//          the call must fail
//        early_client fresh <rounds> <step in ms>
//          against a server registered per object: like churn, each object must be alone in
//          its server (see FreshServers)
//        early_client sell <com port number> <price> <flag file>
//          a receipt that spans other clients' work (see SellAcross)
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "MolvexECR_TLB.h"
#include "tests/wine/check.h"
#include "tests/wine/exception_checks.h"

namespace {

using exception_checks::SameText;

void CheckVersions(ITECRFisc* fisc, CheckCount& c) {
  BSTR text = nullptr;
  c.Expect(fisc->GetVerDLL(&text) == S_OK &&
               SameText(text, L"MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014"),
           "GetVerDLL text");
  SysFreeString(text);
  text = nullptr;
  c.Expect(fisc->get_VersionDLL(&text) == S_OK &&
               SameText(text, L"MolvexECR OLE v5.20 LT7260R 21.08.2013"),
           "VersionDLL text");
  SysFreeString(text);
}

void CheckRefusalWithoutPort(ITECRFisc* fisc, CheckCount& c) {
  VARIANT_BOOL present = VARIANT_TRUE;
  c.Expect(fisc->IsPresent(&present) == S_OK && present == VARIANT_FALSE,
           "IsPresent before SetComPort is false");
  LONG error = 0;
  c.Expect(fisc->GetError(&error) == S_OK && error == 1, "GetError after a refusal is 1");
  LONG status = 0;
  c.Expect(fisc->get_StatusBytes(&status) == S_OK && status == -1,
           "StatusBytes after a refusal is -1");
}

// Error information: the object says it leaves some for ITECRFisc, through the proxy.
void CheckErrorInfoSupport(ITECRFisc* fisc, CheckCount& c) {
  ISupportErrorInfo* support = nullptr;
  const HRESULT hr =
      fisc->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support));
  c.Expect(hr == S_OK && support != nullptr &&
               support->InterfaceSupportsErrorInfo(IID_ITECRFisc) == S_OK &&
               support->InterfaceSupportsErrorInfo(IID_IDispatch) == S_FALSE,
           "ISupportErrorInfo names ITECRFisc only");
  if (support != nullptr) support->Release();
}

// An exception inside the server: DISP_E_EXCEPTION through the vtable, with description and
// source through GetErrorInfo, and the same through IDispatch in EXCEPINFO. Some COM runtimes
// (Wine's among them) carry no error information back from another process with a vtable
// call; that is reported on a line of its own and the in-process run checks the information.
void CheckException(ITECRFisc* fisc, CheckCount& c) {
  const wchar_t* const source = L"MolvexECR.TECRFisc";
  if (!exception_checks::CheckVtableException(
          fisc, L"192.168.1.x", L"'x' is not a valid decimal number", source, false, c)) {
    std::printf(
        "note: GetErrorInfo after the vtable call: no error information carried across "
        "processes by this COM runtime\n");
  }
  exception_checks::CheckDispatchException(fisc, L"192.168.1.x",
                                           L"'x' is not a valid decimal number", source, c);
  // The object goes on working after the exception.
  VARIANT_BOOL present = VARIANT_TRUE;
  c.Expect(fisc->IsPresent(&present) == S_OK && present == VARIANT_FALSE,
           "the object answers after an exception");
}

void CheckPrinterCalls(ITECRFisc* fisc, int port, CheckCount& c) {
  int result = 0;
  c.Expect(fisc->SetComPort(port, 19200, &result) == S_OK && (result == 1 || result == 100),
           "SetComPort opens the port");
  VARIANT_BOOL present = VARIANT_FALSE;
  c.Expect(fisc->IsPresent(&present) == S_OK && present == VARIANT_TRUE,
           "IsPresent over the port is true");
  LONG error = -1;
  c.Expect(fisc->GetError(&error) == S_OK && error == 0, "GetError after success is 0");
  BSTR number = nullptr;
  LONG got = 0;
  c.Expect(fisc->GetSerNumber(&number, &got) == S_OK && got == 1 && number != nullptr &&
               SysStringLen(number) > 0,
           "GetSerNumber fills its plain out parameter");
  SysFreeString(number);
  BSTR when = nullptr;
  c.Expect(fisc->get_DateTime(&when) == S_OK && when != nullptr && SysStringLen(when) > 0,
           "DateTime reads the printer's clock");
  SysFreeString(when);
  c.Expect(fisc->CloseComPort(port, &result) == S_OK && result == 1, "CloseComPort");
}

LONG CallStatus(ITECRFisc* fisc) {
  LONG status = 99;
  return fisc->get_StatusBytes(&status) == S_OK ? status : 99;
}

LONG ErrorCode(ITECRFisc* fisc) {
  LONG error = 99;
  return fisc->GetError(&error) == S_OK ? error : 99;
}

// Articles, operators, service cash and totals through the vtable.
void CheckArticlesAndTotals(ITECRFisc* fisc, int port, CheckCount& c) {
  int result = 0;
  c.Expect(fisc->SetComPort(port, 115200, &result) == S_OK && (result == 1 || result == 100),
           "SetComPort for the articles");
  BSTR empty = SysAllocString(L"");
  BSTR name = SysAllocString(L"\u0421\u044b\u0440");  // Сыр
  VARIANT_BOOL ok = VARIANT_FALSE;
  c.Expect(fisc->ProgramArt(0xC2, 14201, 7, 99.99, empty, name, &ok) == S_OK && ok == VARIANT_TRUE,
           "ProgramArt");
  BSTR record = nullptr;
  c.Expect(fisc->GetArtInfo(14201, &record) == S_OK &&
               SameText(record, L"14201,\u0412,7,99.99,0.000,0.00,0,0,\u0421\u044b\u0440"),
           "GetArtInfo reads the article back");
  SysFreeString(record);
  record = nullptr;
  c.Expect(fisc->get_FirstArt(&record) == S_OK && SysStringLen(record) > 0, "FirstArt");
  SysFreeString(record);
  c.Expect(fisc->DeleteArt(14201, empty, &ok) == S_OK && ok == VARIANT_TRUE, "DeleteArt");
  record = nullptr;
  c.Expect(
      fisc->GetArtInfo(14201, &record) == S_OK && SameText(record, L"") && CallStatus(fisc) == -2,
      "a deleted article reads as an empty text, the printer's F");
  SysFreeString(record);

  // A 10,000-character operator name: refused with nothing sent.
  BSTR long_name = SysAllocStringLen(nullptr, 10000);
  for (UINT i = 0; i < 10000; ++i) long_name[i] = L'W';
  ok = VARIANT_TRUE;
  c.Expect(fisc->SetOperatorName(3, empty, long_name, &ok) == S_OK && ok == VARIANT_FALSE &&
               CallStatus(fisc) == -1 && ErrorCode(fisc) == 1,
           "a 10,000-character operator name is refused");
  SysFreeString(long_name);
  // The result of ClearOperatorPassword is declared an input: the call works, and the value the
  // server writes stays in the server (an input travels one way only).
  VARIANT_BOOL cleared = 7;
  c.Expect(fisc->ClearOperatorPassword(empty, 3, &cleared) == S_OK && CallStatus(fisc) == 0,
           "ClearOperatorPassword");
  c.Expect(cleared == 7, "ClearOperatorPassword's declared input does not travel back");
  c.Expect(fisc->ClearOperatorPassword(empty, 16, &cleared) == S_OK && CallStatus(fisc) == -1,
           "ClearOperatorPassword(16) is refused");

  double before = -5;
  c.Expect(fisc->get_ServiceIn(&before) == S_OK && before >= 0, "ServiceIn read");
  c.Expect(fisc->put_ServiceIn(12.5) == S_OK && CallStatus(fisc) == 0, "ServiceIn write");
  double after = -5;
  c.Expect(fisc->get_ServiceIn(&after) == S_OK && after - before > 12.49 && after - before < 12.51,
           "ServiceIn reads the day's sum");
  c.Expect(fisc->put_ServiceOut(-1) == S_OK && CallStatus(fisc) == -1,
           "ServiceOut with a minus sign is refused");

  // A failed totals reply: the HRESULT -1, the kept state unchanged.
  c.Expect(fisc->put_TotalIdx(9) == S_OK, "TotalIdx = 9");
  BSTR totals = nullptr;
  const HRESULT hr = fisc->get_CurrentTotals(&totals);
  c.Expect(hr == static_cast<HRESULT>(0xFFFFFFFFu) && totals == nullptr,
           "a failed CurrentTotals gives the HRESULT -1");
  c.Expect(CallStatus(fisc) == -1 && ErrorCode(fisc) == 1, "and leaves StatusBytes and GetError");
  IDispatch* dispatch = nullptr;
  if (fisc->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)) == S_OK) {
    const DISPID last_z_report = 62;
    const exception_checks::InvokeForException call(dispatch, last_z_report, DISPATCH_PROPERTYGET);
    // Through IDispatch the failure arrives as an exception whose code is the entry's HRESULT,
    // with the entry's description of what happened.
    const wchar_t* const lead = L"LastZReport: the printer's totals could not be read: ";
    c.Expect(call.hr == DISP_E_EXCEPTION && call.excep.scode == static_cast<SCODE>(0xFFFFFFFFu) &&
                 call.excep.bstrDescription != nullptr &&
                 std::wcsncmp(call.excep.bstrDescription, lead, std::wcslen(lead)) == 0,
             "a failed LastZReport through IDispatch: an exception with the code -1 and a "
             "description");
    dispatch->Release();
  } else {
    c.Expect(false, "QueryInterface for IDispatch");
  }
  c.Expect(fisc->put_TotalIdx(0) == S_OK, "TotalIdx = 0");
  totals = nullptr;
  c.Expect(fisc->get_LastZReport(&totals) == S_OK && SysStringLen(totals) > 0, "LastZReport");
  SysFreeString(totals);
  SysFreeString(name);
  SysFreeString(empty);
  c.Expect(fisc->CloseComPort(port, &result) == S_OK && result == 1, "CloseComPort");
}

void Hold(ITECRFisc* fisc, int port, const wchar_t* flag, bool gone, CheckCount& c) {
  int result = 0;
  c.Expect(fisc->SetComPort(port, 115200, &result) == S_OK && (result == 1 || result == 100),
           "SetComPort opens the port");
  std::printf("holding\n");
  std::fflush(stdout);
  for (int i = 0; i < 600 && GetFileAttributesW(flag) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  VARIANT_BOOL present = VARIANT_FALSE;
  const HRESULT hr = fisc->IsPresent(&present);
  if (gone) {
    c.Expect(FAILED(hr), "a call after the server was closed fails");
  } else {
    c.Expect(hr == S_OK && present == VARIANT_TRUE, "IsPresent after the other client");
  }
}

// Opens the port and a fiscal receipt with one line at the price, prints "holding", waits until
// the flag file exists, then checks that its port is still open, pays, closes the receipt and
// the port. Every step must succeed: another client that closed this port meanwhile, or began a
// receipt of its own on it, makes a step fail.
void SellAcross(ITECRFisc* fisc, int port, double price, const wchar_t* flag, CheckCount& c) {
  int result = 0;
  c.Expect(fisc->SetComPort(port, 115200, &result) == S_OK && (result == 1 || result == 100),
           "SetComPort opens the port");
  BSTR empty = SysAllocString(L"");
  BSTR name = SysAllocString(L"Held line");
  VARIANT_BOOL ok = VARIANT_FALSE;
  c.Expect(fisc->OpenFiscReceipt(1, 1, empty, &ok) == S_OK && ok == VARIANT_TRUE,
           "OpenFiscReceipt");
  LONG sold = 0;
  c.Expect(fisc->SellArticul(name, price, 1, 1, 1, empty, 0, 0, &sold) == S_OK && sold == 1,
           "SellArticul");
  std::printf("holding\n");
  std::fflush(stdout);
  for (int i = 0; i < 600 && GetFileAttributesW(flag) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  VARIANT_BOOL present = VARIANT_FALSE;
  c.Expect(fisc->IsPresent(&present) == S_OK && present == VARIANT_TRUE,
           "IsPresent: the port is still open after the other client");
  double sum = 0;
  c.Expect(fisc->GetReceiptSum(&sum) == S_OK && sum > price - 0.005 && sum < price + 0.005,
           "GetReceiptSum: the receipt holds its one line");
  c.Expect(fisc->Payment(0, 0, &ok) == S_OK && ok == VARIANT_TRUE, "Payment of the rest");
  c.Expect(fisc->CloseFiscReceipt(&ok) == S_OK && ok == VARIANT_TRUE, "CloseFiscReceipt");
  c.Expect(fisc->CloseComPort(port, &result) == S_OK && result == 1, "CloseComPort");
  SysFreeString(name);
  SysFreeString(empty);
}

}  // namespace

// Creates and releases an object again and again; every release starts the end of an
// automation server, and the next creation may meet it ending. Round i waits i * step_ms
// (modulo 1600 ms) before it creates, so that the creations sweep across the moments the
// server revokes its class object and ends. Every round must get an object that answers.
void Churn(int rounds, int step_ms, CheckCount& c) {
  for (int i = 0; i < rounds; ++i) {
    Sleep(static_cast<DWORD>((i * step_ms) % 1600));
    ITECRFisc* fisc = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_TECRFisc, nullptr, CLSCTX_LOCAL_SERVER, IID_ITECRFisc,
                                        reinterpret_cast<void**>(&fisc));
    BSTR text = nullptr;
    const HRESULT call = fisc != nullptr ? fisc->GetVerDLL(&text) : E_POINTER;
    if (FAILED(hr) || FAILED(call)) {
      std::printf("round %d: CoCreateInstance 0x%08lX, GetVerDLL 0x%08lX\n", i + 1,
                  static_cast<unsigned long>(hr), static_cast<unsigned long>(call));
    }
    c.Expect(SUCCEEDED(hr) && call == S_OK, "a new object in every round");
    SysFreeString(text);
    if (fisc != nullptr) fisc->Release();
  }
}

// Against a server registered per object: creates and releases objects in a row as Churn does,
// each leaving a mark in the state of its server (TargetPortPr, a value the object only holds).
// Every new object must find no mark, that is a server of its own, also when its creation meets
// the end of the server before.
void FreshServers(int rounds, int step_ms, CheckCount& c) {
  for (int i = 0; i < rounds; ++i) {
    Sleep(static_cast<DWORD>((i * step_ms) % 1600));
    ITECRFisc* fisc = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_TECRFisc, nullptr, CLSCTX_LOCAL_SERVER, IID_ITECRFisc,
                                        reinterpret_cast<void**>(&fisc));
    LONG mark = -1;
    const HRESULT read = fisc != nullptr ? fisc->get_TargetPortPr(&mark) : E_POINTER;
    if (FAILED(hr) || read != S_OK || mark != 0) {
      std::printf("round %d: CoCreateInstance 0x%08lX, TargetPortPr 0x%08lX, mark %ld\n", i + 1,
                  static_cast<unsigned long>(hr), static_cast<unsigned long>(read),
                  static_cast<long>(mark));
    }
    c.Expect(SUCCEEDED(hr) && read == S_OK && mark == 0, "every object in a server of its own");
    if (fisc != nullptr) {
      c.Expect(fisc->put_TargetPortPr(1000 + i) == S_OK, "the mark is left");
      fisc->Release();
    }
  }
}

int wmain(int argc, wchar_t** argv) {
  const bool fresh = argc >= 4 && std::wcscmp(argv[1], L"fresh") == 0;
  if (argc >= 4 && (fresh || std::wcscmp(argv[1], L"churn") == 0)) {
    CheckCount c;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 90;
    const int rounds = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    const int step_ms = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
    if (fresh) {
      FreshServers(rounds, step_ms, c);
    } else {
      Churn(rounds, step_ms, c);
    }
    CoUninitialize();
    return c.Finish();
  }
  if (argc >= 5 && std::wcscmp(argv[1], L"sell") == 0) {
    CheckCount c;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 90;
    ITECRFisc* fisc = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_TECRFisc, nullptr, CLSCTX_LOCAL_SERVER, IID_ITECRFisc,
                                        reinterpret_cast<void**>(&fisc));
    c.Expect(SUCCEEDED(hr) && fisc != nullptr, "CoCreateInstance through the vtable interface");
    if (fisc != nullptr) {
      SellAcross(fisc, static_cast<int>(std::wcstol(argv[2], nullptr, 10)),
                 std::wcstod(argv[3], nullptr), argv[4], c);
      fisc->Release();
    }
    CoUninitialize();
    return c.Finish();
  }
  const bool hold = argc >= 4 && std::wcscmp(argv[1], L"hold") == 0;
  const bool gone = hold && argc >= 5 && std::wcscmp(argv[4], L"gone") == 0;
  const int port = argc > 1 ? static_cast<int>(std::wcstol(argv[hold ? 2 : 1], nullptr, 10)) : 1;
  CheckCount c;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 90;
  ITECRFisc* fisc = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_TECRFisc, nullptr, CLSCTX_LOCAL_SERVER, IID_ITECRFisc,
                                      reinterpret_cast<void**>(&fisc));
  c.Expect(SUCCEEDED(hr) && fisc != nullptr, "CoCreateInstance through the vtable interface");
  if (fisc != nullptr && hold) {
    Hold(fisc, port, argv[3], gone, c);
    fisc->Release();
  } else if (fisc != nullptr) {
    CheckVersions(fisc, c);
    CheckRefusalWithoutPort(fisc, c);
    CheckErrorInfoSupport(fisc, c);
    CheckException(fisc, c);
    CheckPrinterCalls(fisc, port, c);
    CheckArticlesAndTotals(fisc, port, c);
    fisc->Release();
  }
  CoUninitialize();
  return c.Finish();
}
