#include "object/interface_table.h"

#include <array>

namespace molvex {
namespace {

using T = AutoType;
using D = ParamDir;
using K = EntryKind;

constexpr ParamInfo Retval(std::string_view name, AutoType type) {
  return {name, type, D::Retval};
}
constexpr ParamInfo In(std::string_view name, AutoType type) {
  return {name, type, D::In};
}

// Parameter lists shared by many entries.
constexpr ParamInfo kBoolResult[] = {Retval("Result", T::Bool)};
constexpr ParamInfo kI4Result[] = {Retval("Result", T::I4)};
constexpr ParamInfo kGetInt[] = {Retval("Value", T::Int)};
constexpr ParamInfo kGetI4[] = {Retval("Value", T::I4)};
constexpr ParamInfo kGetI1[] = {Retval("Value", T::I1)};
constexpr ParamInfo kGetR8[] = {Retval("Value", T::R8)};
constexpr ParamInfo kGetBool[] = {Retval("Value", T::Bool)};
constexpr ParamInfo kGetBstr[] = {Retval("Value", T::Bstr)};
constexpr ParamInfo kPutI4[] = {In("Value", T::I4)};
constexpr ParamInfo kPutR8[] = {In("Value", T::R8)};
constexpr ParamInfo kPutBool[] = {In("Value", T::Bool)};
constexpr ParamInfo kPutBstr[] = {In("Value", T::Bstr)};
constexpr ParamInfo kPassword[] = {In("Password", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kTextDisp[] = {In("TextDisp", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kStr1[] = {In("Str1", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kNumI4[] = {In("Num", T::I4), Retval("Result", T::Bool)};
constexpr ParamInfo kNumFis[] = {In("NumFis", T::I4), Retval("Result", T::I4)};
constexpr ParamInfo kOperatorOpen[] = {In("OperatorNum", T::Int), In("POSNum", T::Int),
                                       In("OperatorPSW", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kSellArt[] = {In("Sign", T::Bool), In("NumArt", T::I4),
                                  In("Quant", T::R8),  In("Perc", T::R8),
                                  In("dc", T::R8),     Retval("Result", T::Bool)};
constexpr ParamInfo kPeriodByNumb[] = {In("Password", T::Bstr), In("NumStart", T::I4),
                                       In("NumEnd", T::I4), Retval("Result", T::Bool)};
constexpr ParamInfo kPeriodByDate[] = {In("Password", T::Bstr), In("DateStart", T::Bstr),
                                       In("DateEnd", T::Bstr), Retval("Result", T::Bool)};

// Lists of single entries.
constexpr ParamInfo kGetVerDLL[] = {Retval("Version", T::Bstr)};
constexpr ParamInfo kSetComPort[] = {In("NumPort", T::Int), In("Speed", T::Int),
                                     Retval("Result", T::Int)};
constexpr ParamInfo kCloseComPort[] = {In("NumPort", T::Int), Retval("Result", T::Int)};
constexpr ParamInfo kPayment[] = {In("Summa", T::R8), In("type", T::Int),
                                  Retval("Result", T::Bool)};
constexpr ParamInfo kProgramArt[] = {
    In("Tax", T::UI1),       In("NumArt", T::Int), In("Group", T::Int),      In("Price", T::R8),
    In("Password", T::Bstr), In("Name", T::Bstr),  Retval("Result", T::Bool)};
constexpr ParamInfo kDeleteArt[] = {In("NumArt", T::Int), In("Password", T::Bstr),
                                    Retval("Result", T::Bool)};
constexpr ParamInfo kChangePrice[] = {In("NumArt", T::Int), In("NewPrice", T::R8),
                                      In("Password", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kGetArtInfo[] = {In("NumArt", T::Int), Retval("InfoArt", T::Bstr)};
constexpr ParamInfo kSubTotalDS[] = {In("Print", T::Bool), In("Display", T::Bool),
                                     In("Perc", T::R8), In("DS", T::R8), Retval("Result", T::Bool)};
constexpr ParamInfo kSetOperatorName[] = {In("OperatorNum", T::I4), In("Password", T::Bstr),
                                          In("OperatorName", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kSetOperatorPassword[] = {In("OperatorNum", T::I4), In("OldPassword", T::Bstr),
                                              In("NewPassword", T::Bstr),
                                              Retval("Result", T::Bool)};
constexpr ParamInfo kClearOperatorPassword[] = {
    In("AdministatorPassword", T::Bstr), In("OperatorNum", T::I4), {"Result", T::Bool, D::InRef}};
constexpr ParamInfo kArticulsReports[] = {In("TypeReport", T::I4), In("Password", T::Bstr),
                                          Retval("Result", T::Bool)};
constexpr ParamInfo kGetReceiptSum[] = {Retval("Sum", T::R8)};
constexpr ParamInfo kGetReceiptPay[] = {Retval("Pay", T::R8)};
constexpr ParamInfo kGetError[] = {Retval("Error", T::I4)};
constexpr ParamInfo kGetStatusFP[] = {In("NoWait", T::Bool), Retval("Result", T::Bool)};
constexpr ParamInfo kWriteDateTime[] = {In("Date", T::Bstr), In("Time", T::Bstr),
                                        Retval("Result", T::I4)};
constexpr ParamInfo kGetSerNumber[] = {{"Number", T::Bstr, D::Out}, Retval("Result", T::I4)};
constexpr ParamInfo kSellArticul[] = {
    In("NameArt", T::Bstr), In("Price", T::R8),  In("Quantity", T::R8),
    In("Tax", T::UI1),      In("Group", T::Int), In("Password", T::Bstr),
    In("Perc", T::R8),      In("dc", T::R8),     Retval("Result", T::I4)};
constexpr ParamInfo kNewPayment[] = {In("KSEF", T::Bool), In("Summa", T::R8), In("TypePmt", T::Int),
                                     In("CodeTrasaction", T::Bstr), Retval("Result", T::Bool)};
constexpr ParamInfo kPrintFiscalCopiesKSEF[] = {In("Num1", T::I4), In("Num2", T::I4),
                                                Retval("Result", T::I4)};
constexpr ParamInfo kMakeBarcode[] = {In("type", T::I4), In("Data", T::Bstr),
                                      Retval("Result", T::I4)};

constexpr SlotInfo kSlots[] = {
    {1, "GetVerDLL", K::Method, 1, kGetVerDLL},
    {2, "SetComPort", K::Method, 5, kSetComPort},
    {3, "CloseComPort", K::Method, 6, kCloseComPort},
    {4, "IsPresent", K::Method, 8, kBoolResult},
    {5, "StrPrntCash", K::Method, 9, kStr1},
    {6, "CloseFiscReceipt", K::Method, 11, kBoolResult},
    {7, "NumbRec", K::PropGet, 15, kGetInt},
    {8, "Payment", K::Method, 16, kPayment},
    {9, "SellArtCash", K::Method, 10, kSellArt},
    {10, "ZReport", K::Method, 20, kPassword},
    {11, "XReport", K::Method, 21, kPassword},
    {12, "PeriodRepByNumb", K::Method, 22, kPeriodByNumb},
    {13, "PeriodRepByDate", K::Method, 23, kPeriodByDate},
    {14, "NullReceipt", K::Method, 24, kOperatorOpen},
    {15, "SellArtCashDS", K::Method, 25, kSellArt},
    {16, "ClearRegDisplay", K::Method, 26, kBoolResult},
    {17, "DisplayUP", K::Method, 27, kTextDisp},
    {18, "DisplayDown", K::Method, 28, kTextDisp},
    {19, "CloseNonFiscReceipt", K::Method, 3, kBoolResult},
    {20, "OpenFiscReceipt", K::Method, 4, kOperatorOpen},
    {21, "OpenNonFiscReceipt", K::Method, 7, kBoolResult},
    {22, "ReceiptCancel", K::Method, 13, kBoolResult},
    {23, "ServiceIn", K::PropGet, 17, kGetR8},
    {24, "ServiceIn", K::PropPut, 17, kPutR8},
    {25, "ServiceOut", K::PropGet, 18, kGetR8},
    {26, "ServiceOut", K::PropPut, 18, kPutR8},
    {27, "PeriodRepByNumbFull", K::Method, 12, kPeriodByNumb},
    {28, "PeriodRepByDateFull", K::Method, 19, kPeriodByDate},
    {29, "StatusBytes", K::PropGet, 29, kGetI4},
    {30, "OpenRefundReceipt", K::Method, 30, kOperatorOpen},
    {31, "ProgramArt", K::Method, 31, kProgramArt},
    {32, "DeleteArt", K::Method, 32, kDeleteArt},
    {33, "ChangePrice", K::Method, 33, kChangePrice},
    {34, "GetArtInfo", K::Method, 34, kGetArtInfo},
    {35, "FirstArt", K::PropGet, 37, kGetBstr},
    {36, "NextArt", K::PropGet, 38, kGetBstr},
    {37, "PrntNonFiscal", K::Method, 14, kStr1},
    {38, "SubTotalDS", K::Method, 35, kSubTotalDS},
    {39, "SetOperatorName", K::Method, 36, kSetOperatorName},
    {40, "SetOperatorPassword", K::Method, 39, kSetOperatorPassword},
    {41, "ClearOperatorPassword", K::Method, 40, kClearOperatorPassword},
    {42, "ArticulsReports", K::Method, 41, kArticulsReports},
    {43, "GetReceiptSum", K::Method, 42, kGetReceiptSum},
    {44, "GetReceiptPay", K::Method, 43, kGetReceiptPay},
    {45, "GetError", K::Method, 44, kGetError},
    {46, "Receipt", K::PropGet, 45, kGetI4},
    {47, "Status0", K::PropGet, 46, kGetI1},
    {48, "Status1", K::PropGet, 47, kGetI1},
    {49, "Status2", K::PropGet, 48, kGetI1},
    {50, "Status3", K::PropGet, 49, kGetI1},
    {51, "Status4", K::PropGet, 50, kGetI1},
    {52, "Status5", K::PropGet, 51, kGetI1},
    {53, "GetStatusFP", K::Method, 52, kGetStatusFP},
    {54, "TimeOutFP", K::PropGet, 53, kGetBool},
    {55, "DoCopy", K::Method, 54, kNumI4},
    {56, "OpenDrawer", K::Method, 55, kNumI4},
    {57, "FPIndexStatus", K::PropGet, 56, kGetI4},
    {58, "FPIndexStatus", K::PropPut, 56, kPutI4},
    {59, "FPStatus", K::PropGet, 57, kGetI4},
    {60, "WriteDateTime", K::Method, 59, kWriteDateTime},
    {61, "DateTime", K::PropGet, 60, kGetBstr},
    {62, "DispDayTime", K::Method, 58, kI4Result},
    {63, "GetSerNumber", K::Method, 61, kGetSerNumber},
    {64, "LastZReport", K::PropGet, 62, kGetBstr},
    {65, "CurrentTotals", K::PropGet, 63, kGetBstr},
    {66, "TotalIdx", K::PropPut, 64, kPutI4},
    {67, "SellArticul", K::Method, 65, kSellArticul},
    {68, "VersionDLL", K::PropGet, 66, kGetBstr},
    {69, "NonFiscal", K::PropGet, 67, kGetI4},
    {70, "ReceiptCut", K::Method, 68, kI4Result},
    {71, "CashInfo", K::PropGet, 69, kGetR8},
    {72, "ID_DEV", K::PropGet, 70, kGetBstr},
    {73, "ReportModem", K::Method, 71, kI4Result},
    {74, "WriteNetParams", K::Method, 72, kI4Result},
    {75, "GetNetParams", K::Method, 73, kI4Result},
    {76, "PrintReportModem", K::PropPut, 74, kPutBool},
    {77, "DataDocPr", K::PropGet, 75, kGetBstr},
    {78, "TimeDocPr", K::PropGet, 76, kGetBstr},
    {79, "TimePersPr", K::PropGet, 78, kGetBstr},
    {80, "PersReportPr", K::PropGet, 79, kGetI4},
    {81, "MBSAM_ErrPr", K::PropGet, 80, kGetBool},
    {82, "MemCrd_ErrPr", K::PropGet, 81, kGetBool},
    {83, "KSEF_ErrPr", K::PropGet, 82, kGetBool},
    {84, "IDDEF_SetPr", K::PropGet, 83, kGetBool},
    {85, "TechReg_PrfPr", K::PropGet, 84, kGetBool},
    {86, "Person_PrfPr", K::PropGet, 85, kGetBool},
    {87, "NetCbl_ConPr", K::PropGet, 86, kGetBool},
    {88, "Ready_SndPr", K::PropGet, 87, kGetBool},
    {89, "DatePersPr", K::PropGet, 89, kGetBstr},
    {90, "DHCPworkPr", K::PropGet, 77, kGetBool},
    {91, "DHCPworkPr", K::PropPut, 77, kPutBool},
    {92, "StatIPPr", K::PropGet, 88, kGetBstr},
    {93, "StatIPPr", K::PropPut, 88, kPutBstr},
    {94, "SubnetMaskPr", K::PropGet, 90, kGetBstr},
    {95, "SubnetMaskPr", K::PropPut, 90, kPutBstr},
    {96, "BridgeAddrPr", K::PropGet, 91, kGetBstr},
    {97, "BridgeAddrPr", K::PropPut, 91, kPutBstr},
    {98, "TargetAddrPr", K::PropGet, 92, kGetBstr},
    {99, "TargetAddrPr", K::PropPut, 92, kPutBstr},
    {100, "TargetPortPr", K::PropGet, 93, kGetI4},
    {101, "TargetPortPr", K::PropPut, 93, kPutI4},
    {102, "RepeatPeriodPr", K::PropGet, 94, kGetI4},
    {103, "RepeatPeriodPr", K::PropPut, 94, kPutI4},
    {104, "RepeatByErrorPr", K::PropGet, 95, kGetI4},
    {105, "RepeatByErrorPr", K::PropPut, 95, kPutI4},
    {106, "NewPayment", K::Method, 96, kNewPayment},
    {107, "PrintFiscalCopyKSEF", K::Method, 97, kNumFis},
    {108, "PrintFiscalCopiesKSEF", K::Method, 98, kPrintFiscalCopiesKSEF},
    {109, "PrintReportsTaxKSEF", K::Method, 99, kNumFis},
    {110, "MakeBarcode", K::Method, 100, kMakeBarcode},
};
static_assert(std::size(kSlots) == kInterfaceSlotCount);

constexpr bool SlotsNumberedInOrder() {
  for (std::size_t i = 0; i < std::size(kSlots); ++i) {
    if (kSlots[i].slot != static_cast<int>(i) + 1) return false;
  }
  return true;
}
static_assert(SlotsNumberedInOrder());

}  // namespace

std::span<const SlotInfo> InterfaceSlots() {
  return kSlots;
}

const SlotInfo* FindSlot(std::string_view name, EntryKind kind) {
  for (const SlotInfo& s : kSlots) {
    if (s.kind == kind && s.name == name) return &s;
  }
  return nullptr;
}

std::string_view AutoTypeName(AutoType type) {
  switch (type) {
    case T::Int:
      return "INT";
    case T::I4:
      return "I4";
    case T::I1:
      return "I1";
    case T::UI1:
      return "UI1";
    case T::R8:
      return "R8";
    case T::Bool:
      return "BOOL";
    case T::Bstr:
      return "BSTR";
  }
  return "?";
}

std::string_view EntryKindName(EntryKind kind) {
  switch (kind) {
    case K::Method:
      return "method";
    case K::PropGet:
      return "propget";
    case K::PropPut:
      return "propput";
  }
  return "?";
}

std::string SlotLine(const SlotInfo& slot) {
  std::string line = "slot ";
  line += std::to_string(slot.slot);
  line += ' ';
  line += slot.name;
  line += ' ';
  line += EntryKindName(slot.kind);
  line += ' ';
  line += std::to_string(slot.dispid);
  for (const ParamInfo& p : slot.params) {
    line += ' ';
    line += p.name;
    line += ':';
    line += AutoTypeName(p.type);
    if (p.dir != D::In) line += "*";
    line += p.dir == D::Retval ? ":retval" : p.dir == D::Out ? ":out" : ":in";
  }
  return line;
}

}  // namespace molvex
