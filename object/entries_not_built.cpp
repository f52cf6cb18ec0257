// Entries of the interface whose printer logic is not built yet (the receipts). Each answers
// E_NOTIMPL and leaves the object state alone, so that a client can tell them apart from a
// printer refusal.
#include "object/TECRFiscImpl.h"

namespace molvex {

HRESULT STDMETHODCALLTYPE TTECRFiscImpl::StrPrntCash(BSTR /*Str1*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::CloseFiscReceipt(VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_NumbRec(int* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::Payment(double /*Summa*/, int /*type*/,
                                                 VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SellArtCash(VARIANT_BOOL /*Sign*/, LONG /*NumArt*/,
                                                     double /*Quant*/, double /*Perc*/,
                                                     double /*dc*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::NullReceipt(int /*OperatorNum*/, int /*POSNum*/,
                                                     BSTR /*OperatorPSW*/,
                                                     VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SellArtCashDS(VARIANT_BOOL /*Sign*/, LONG /*NumArt*/,
                                                       double /*Quant*/, double /*Perc*/,
                                                       double /*dc*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::CloseNonFiscReceipt(VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::OpenFiscReceipt(int /*OperatorNum*/, int /*POSNum*/,
                                                         BSTR /*OperatorPSW*/,
                                                         VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::OpenNonFiscReceipt(VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::ReceiptCancel(VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::OpenRefundReceipt(int /*OperatorNum*/, int /*POSNum*/,
                                                           BSTR /*OperatorPSW*/,
                                                           VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::PrntNonFiscal(BSTR /*Str1*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SubTotalDS(VARIANT_BOOL /*Print*/,
                                                    VARIANT_BOOL /*Display*/, double /*Perc*/,
                                                    double /*DS*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::GetReceiptSum(double* /*Sum*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::GetReceiptPay(double* /*Pay*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_Receipt(LONG* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::DoCopy(LONG /*Num*/, VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::SellArticul(BSTR /*NameArt*/, double /*Price*/,
                                                     double /*Quantity*/, unsigned char /*Tax*/,
                                                     int /*Group*/, BSTR /*Password*/,
                                                     double /*Perc*/, double /*dc*/,
                                                     LONG* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::get_NonFiscal(LONG* /*Value*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::NewPayment(VARIANT_BOOL /*KSEF*/, double /*Summa*/,
                                                    int /*TypePmt*/, BSTR /*CodeTrasaction*/,
                                                    VARIANT_BOOL* /*Result*/) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TTECRFiscImpl::MakeBarcode(LONG /*type*/, BSTR /*Data*/,
                                                     LONG* /*Result*/) {
  return E_NOTIMPL;
}

}  // namespace molvex
