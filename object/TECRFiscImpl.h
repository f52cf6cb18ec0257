// TTECRFiscImpl: the automation object. One public method per slot of ITECRFisc, in slot
// order, with the names, parameters and automation types of the type library; property reads
// are get_<Name>, property writes put_<Name>. Every method returns an HRESULT (0 in all
// ordinary cases) and gives its functional result through its last pointer parameter.
//
// On Windows the class derives from the generated ITECRFisc and the server's COM class adds
// IUnknown and IDispatch. Elsewhere it is a plain native object with the same methods.
// The object keeps no data of its own: every instance works on the process-wide ObjectState.
#pragma once

#include "platform/automation.h"

#ifdef _WIN32
#include "MolvexECR_TLB.h"
#endif

namespace molvex {

#ifdef _WIN32
using TTECRFiscBase = ::ITECRFisc;
#else
class TTECRFiscBase {
 public:
  virtual ~TTECRFiscBase() = default;
};
#endif

#ifdef _WIN32
// COM interfaces are released through Release, never deleted through the interface, so their
// destructors are not virtual; this class's own destructor is.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class TTECRFiscImpl : public TTECRFiscBase {
 public:
  TTECRFiscImpl() = default;
  virtual ~TTECRFiscImpl() = default;
  TTECRFiscImpl(const TTECRFiscImpl&) = delete;
  TTECRFiscImpl& operator=(const TTECRFiscImpl&) = delete;

  HRESULT STDMETHODCALLTYPE GetVerDLL(BSTR* Version) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SetComPort(int NumPort, int Speed, int* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE CloseComPort(int NumPort, int* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE IsPresent(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE StrPrntCash(BSTR Str1, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE CloseFiscReceipt(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_NumbRec(int* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE Payment(double Summa, int type, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SellArtCash(VARIANT_BOOL Sign, LONG NumArt, double Quant, double Perc,
                                        double dc, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ZReport(BSTR Password, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE XReport(BSTR Password, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PeriodRepByNumb(BSTR Password, LONG NumStart, LONG NumEnd,
                                            VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PeriodRepByDate(BSTR Password, BSTR DateStart, BSTR DateEnd,
                                            VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE NullReceipt(int OperatorNum, int POSNum, BSTR OperatorPSW,
                                        VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SellArtCashDS(VARIANT_BOOL Sign, LONG NumArt, double Quant, double Perc,
                                          double dc, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ClearRegDisplay(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE DisplayUP(BSTR TextDisp, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE DisplayDown(BSTR TextDisp, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE CloseNonFiscReceipt(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE OpenFiscReceipt(int OperatorNum, int POSNum, BSTR OperatorPSW,
                                            VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE OpenNonFiscReceipt(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ReceiptCancel(VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_ServiceIn(double* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_ServiceIn(double Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_ServiceOut(double* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_ServiceOut(double Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PeriodRepByNumbFull(BSTR Password, LONG NumStart, LONG NumEnd,
                                                VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PeriodRepByDateFull(BSTR Password, BSTR DateStart, BSTR DateEnd,
                                                VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_StatusBytes(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE OpenRefundReceipt(int OperatorNum, int POSNum, BSTR OperatorPSW,
                                              VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ProgramArt(unsigned char Tax, int NumArt, int Group, double Price,
                                       BSTR Password, BSTR Name,
                                       VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE DeleteArt(int NumArt, BSTR Password,
                                      VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ChangePrice(int NumArt, double NewPrice, BSTR Password,
                                        VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetArtInfo(int NumArt, BSTR* InfoArt) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_FirstArt(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_NextArt(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PrntNonFiscal(BSTR Str1, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SubTotalDS(VARIANT_BOOL Print, VARIANT_BOOL Display, double Perc,
                                       double DS, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SetOperatorName(LONG OperatorNum, BSTR Password, BSTR OperatorName,
                                            VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SetOperatorPassword(LONG OperatorNum, BSTR OldPassword,
                                                BSTR NewPassword,
                                                VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ClearOperatorPassword(BSTR AdministatorPassword, LONG OperatorNum,
                                                  VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ArticulsReports(LONG TypeReport, BSTR Password,
                                            VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetReceiptSum(double* Sum) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetReceiptPay(double* Pay) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetError(LONG* Error) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Receipt(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status0(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status1(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status2(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status3(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status4(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Status5(char* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetStatusFP(VARIANT_BOOL NoWait, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TimeOutFP(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE DoCopy(LONG Num, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE OpenDrawer(LONG Num, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_FPIndexStatus(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_FPIndexStatus(LONG Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_FPStatus(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE WriteDateTime(BSTR Date, BSTR Time, LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_DateTime(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE DispDayTime(LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetSerNumber(BSTR* Number, LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_LastZReport(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_CurrentTotals(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_TotalIdx(LONG Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE SellArticul(BSTR NameArt, double Price, double Quantity,
                                        unsigned char Tax, int Group, BSTR Password, double Perc,
                                        double dc, LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_VersionDLL(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_NonFiscal(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ReceiptCut(LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_CashInfo(double* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_ID_DEV(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE ReportModem(LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE WriteNetParams(LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE GetNetParams(LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_PrintReportModem(VARIANT_BOOL Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_DataDocPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TimeDocPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TimePersPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_PersReportPr(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_MBSAM_ErrPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_MemCrd_ErrPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_KSEF_ErrPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_IDDEF_SetPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TechReg_PrfPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Person_PrfPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_NetCbl_ConPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_Ready_SndPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_DatePersPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_DHCPworkPr(VARIANT_BOOL* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_DHCPworkPr(VARIANT_BOOL Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_StatIPPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_StatIPPr(BSTR Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_SubnetMaskPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_SubnetMaskPr(BSTR Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_BridgeAddrPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_BridgeAddrPr(BSTR Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TargetAddrPr(BSTR* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_TargetAddrPr(BSTR Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_TargetPortPr(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_TargetPortPr(LONG Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_RepeatPeriodPr(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_RepeatPeriodPr(LONG Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE get_RepeatByErrorPr(LONG* Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE put_RepeatByErrorPr(LONG Value) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE NewPayment(VARIANT_BOOL KSEF, double Summa, int TypePmt,
                                       BSTR CodeTrasaction, VARIANT_BOOL* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PrintFiscalCopyKSEF(LONG NumFis, LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PrintFiscalCopiesKSEF(LONG Num1, LONG Num2,
                                                  LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE PrintReportsTaxKSEF(LONG NumFis, LONG* Result) MOLVEX_OVERRIDE;
  HRESULT STDMETHODCALLTYPE MakeBarcode(LONG type, BSTR Data, LONG* Result) MOLVEX_OVERRIDE;
};
#ifdef _WIN32
#pragma GCC diagnostic pop
#endif

}  // namespace molvex
